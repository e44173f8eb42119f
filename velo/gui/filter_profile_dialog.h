// One filter profile of [FilterProfiles]: which calls and notes are
// forwarded. Three include tests (MSN, number, name or subject) and three
// exclude tests, each switched on by a check box and holding the values
// that the item's value is looked for in.
#pragma once

#include <QDialog>
#include <array>

#include "profile_record.h"
#include "settings_file.h"

class QCheckBox;
class QLineEdit;

class CFilterProfileDlg : public QDialog {
    Q_OBJECT
public:
    // The six tests in the order of their flags 2, 4, 8, 16, 32, 64.
    enum Test { kInMsn, kInNumber, kInText, kOutMsn, kOutNumber, kOutText, kTestCount };

    // id 0 edits a new profile.
    CFilterProfileDlg(const SettingsFile& settings, int id, QWidget* parent = nullptr);

    int ProfileId() const { return record_.id; }
    QLineEdit* NameEdit() const { return name_; }
    QCheckBox* TestBox(Test t) const { return boxes_[t]; }
    QLineEdit* TestEdit(Test t) const { return edits_[t]; }

    // Writes the profile when it changed and closes; a profile without a
    // name or one too long for the file is refused with a message.
    void accept() override;

private:
    std::vector<std::string> Fields() const;

    const SettingsFile& settings_;
    ProfileRecord record_;
    QLineEdit* name_ = nullptr;
    std::array<QCheckBox*, kTestCount> boxes_{};
    std::array<QLineEdit*, kTestCount> edits_{};
};
