// One template profile of [TemplateProfiles]: the subject and the text that
// forwarding fills from the item, with the placeholders listed beside them.
#pragma once

#include <QDialog>

#include "profile_record.h"
#include "settings_file.h"

class QLineEdit;
class QPlainTextEdit;

class CTemplateProfileDlg : public QDialog {
    Q_OBJECT
public:
    // id 0 edits a new template.
    CTemplateProfileDlg(const SettingsFile& settings, int id, QWidget* parent = nullptr);

    int ProfileId() const { return record_.id; }
    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* SubjectEdit() const { return subject_; }
    QLineEdit* TextEdit() const { return text_; }
    QPlainTextEdit* HelpView() const { return help_; }

    // Writes the template when it changed and closes; one without a name
    // or too long for the file is refused with a message.
    void accept() override;

private:
    const SettingsFile& settings_;
    ProfileRecord record_;
    QLineEdit* name_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QLineEdit* text_ = nullptr;
    QPlainTextEdit* help_ = nullptr;
};
