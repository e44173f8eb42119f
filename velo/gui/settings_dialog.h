// velo's settings window "Telvora Optionen": a tree of groups and pages on
// the left, the chosen page on the right. Each page shows what Telvora.cfg
// holds and, on OK, writes only what the user changed; Cancel writes
// nothing.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

namespace tariff {
struct PlanChoice;
}

class CTariffPlanDlg;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// One page: what it shows and how it is checked and kept.
class SettingsPage : public QWidget {
public:
    using QWidget::QWidget;
    // False, after saying why, when the page cannot be kept as it is.
    virtual bool Check() { return true; }
    // Writes what changed; false after a message when it cannot.
    virtual bool Save() = 0;
    // The tariff plans as the plan page holds them now, for the pages that
    // offer a plan to choose.
    virtual void ShowPlans(const std::vector<tariff::PlanChoice>&) {}
};

// Says that the settings file cannot be written.
void ShowSettingsNotSaved(const std::string& path);

class CVeloSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // config: Telvora.cfg; installDir: where the signature and the reply
    // message files lie.
    CVeloSettingsDlg(const std::string& config, const std::string& installDir,
                     QWidget* parent = nullptr);

    // Shows the page of that group and title; false when there is none.
    bool SelectPage(const QString& group, const QString& page);
    QWidget* CurrentPage() const;
    // The titles of every group and its pages, in tree order.
    std::vector<std::pair<QString, QStringList>> Tree() const;

    // Checks every page, then keeps every page; stays open on a failure.
    void accept() override;

private:
    QTreeWidgetItem* AddGroup(const QString& name, const QString& title, const QString& text);
    void AddPage(QTreeWidgetItem* group, const QString& name, SettingsPage* page);

    QTreeWidget* tree_;
    QStackedWidget* stack_;
    std::vector<SettingsPage*> pages_;
    CTariffPlanDlg* tariffPage_ = nullptr;
};
