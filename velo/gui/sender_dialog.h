// The sender's own data of [Sender] in Telvora.cfg: name, number with area
// code, MSN and the prefix that gets an outside line. The send dialog opens
// it when the data is missing.
#pragma once

#include <QDialog>
#include <vector>

#include "settings_file.h"

class QLineEdit;

class CSenderDlg : public QDialog {
    Q_OBJECT
public:
    CSenderDlg(const SettingsFile& settings, QWidget* parent = nullptr);

    // The field that edits setting s; null for a setting not edited here.
    QLineEdit* Field(const TextSetting& s) const;

    // Writes what the user changed and closes; an over-long value is
    // refused with a message and the dialog stays open.
    void accept() override;

private:
    struct Row {
        const TextSetting* setting;
        const char* label;
        QLineEdit* edit;
    };
    bool CheckLengths();
    bool WriteChanges();

    const SettingsFile& settings_;
    std::vector<Row> rows_;
};
