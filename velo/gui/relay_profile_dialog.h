// One relay profile of [RelayProfiles]: its name, its operation (e-mail,
// file, SMS D1, D2 or E-Plus) and the operation's fields, in the order in
// which the relay dispatch reads them into the parameter file.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "profile_record.h"
#include "settings_file.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace relay_op {
inline constexpr int kMail = 1, kFile = 2, kSmsD1 = 3, kSmsD2 = 4, kSmsEPlus = 5;
}  // namespace relay_op

class CRelayProfileDlg : public QDialog {
    Q_OBJECT
public:
    // Lists the dial-up entries; false when they cannot be listed.
    using EntryLister = std::function<bool(std::vector<std::string>&)>;

    // id 0 edits a new profile of the given operation; the entries are
    // listed (through nmcli unless tests give a lister) only once the
    // dial-up connection is chosen.
    CRelayProfileDlg(const SettingsFile& settings, int id, int operation = relay_op::kMail,
                     QWidget* parent = nullptr, EntryLister lister = {});

    // The profile's id once saved (a new one has 0 before).
    int ProfileId() const { return record_.id; }
    int Operation() const;

    QLineEdit* NameEdit() const { return name_; }
    QComboBox* OperationBox() const { return operation_; }
    QLineEdit* ServerEdit() const { return server_; }
    QLineEdit* PortEdit() const { return port_; }
    QLineEdit* SenderEdit() const { return sender_; }
    QLineEdit* ToEdit() const { return to_; }
    QLineEdit* CcEdit() const { return cc_; }
    QRadioButton* LanButton() const { return lan_; }
    QRadioButton* DialUpButton() const { return dialUp_; }
    QComboBox* EntryBox() const { return entry_; }
    QLabel* EntryNote() const { return entryNote_; }
    QCheckBox* AutoDialBox() const { return autoDial_; }
    QCheckBox* HangUpBox() const { return hangUp_; }
    QLineEdit* FileEdit() const { return file_; }
    QLineEdit* CentreEdit() const { return centre_; }
    QLineEdit* NumberEdit() const { return number_; }
    QSpinBox* DelayBox() const { return delay_; }
    QSpinBox* TriesBox() const { return tries_; }
    QComboBox* PlanBox() const { return plan_; }

    // Checks the input, writes the profile when it changed and closes; on
    // a fault a message says what is missing and the dialog stays open.
    void accept() override;

private:
    QWidget* MakeMailPage();
    QWidget* MakeFilePage();
    QWidget* MakeSmsPage();
    void ShowFields();
    void OperationChanged();
    void ConnectionChanged();
    void ListEntries();
    bool Check();
    std::vector<std::string> Fields() const;
    bool Refuse(const char* text, QWidget* field);

    const SettingsFile& settings_;
    EntryLister lister_;
    ProfileRecord record_;
    int loadedOperation_;
    bool entriesListed_ = false;
    std::string loadedHost_;
    int loadedPort_ = 0;

    QLineEdit* name_ = nullptr;
    QComboBox* operation_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* sender_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* cc_ = nullptr;
    QRadioButton* lan_ = nullptr;
    QRadioButton* dialUp_ = nullptr;
    QComboBox* entry_ = nullptr;
    QLabel* entryNote_ = nullptr;
    QCheckBox* autoDial_ = nullptr;
    QCheckBox* hangUp_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLineEdit* centre_ = nullptr;
    QLineEdit* number_ = nullptr;
    QSpinBox* delay_ = nullptr;
    QSpinBox* tries_ = nullptr;
    QComboBox* plan_ = nullptr;
};

// The window title of the editor for an operation.
QString RelayProfileTitle(int operation);
