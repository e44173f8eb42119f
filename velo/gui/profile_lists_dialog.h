// The forwarding profiles of Telvora.cfg in one window: a page each for the
// relay profiles, the filter profiles and the templates, with "Neu",
// "Bearbeiten" and "Löschen" opening the editors. Until the settings window
// comes, velo's "Extras" menu opens it.
#pragma once

#include <QDialog>
#include <functional>

#include "settings_file.h"

class QTabWidget;
class QTreeWidget;

class CProfileListsDlg : public QDialog {
    Q_OBJECT
public:
    enum Page { kRelayPage, kFilterPage, kTemplatePage, kPageCount };

    // config: Telvora.cfg.
    explicit CProfileListsDlg(const std::string& config, QWidget* parent = nullptr);

    QTabWidget* Pages() const { return pages_; }
    QTreeWidget* List(Page page) const { return lists_[page]; }

    // The page's commands on its selected profile (tests call them too).
    void NewProfile(Page page);
    void EditProfile(Page page);
    void DeleteProfile(Page page);

    // Tests see each editor before it runs (and may fill and close it).
    void SetEditorHook(std::function<void(QDialog&)> hook) { editorShown_ = std::move(hook); }

private:
    void Fill(Page page);
    int SelectedId(Page page) const;
    bool RunEditor(QDialog& editor);

    SettingsFile settings_;
    QTabWidget* pages_;
    QTreeWidget* lists_[kPageCount] = {};
    std::function<void(QDialog&)> editorShown_;
};
