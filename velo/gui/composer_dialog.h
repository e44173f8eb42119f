// The dialog in which a note, SMS or e-mail is written or edited. It shows
// the composer's fields and asks; the checks and the storing are the
// composer's (composer.h).
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "address_book.h"
#include "composer.h"

class CVeloDoc;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Where the dialog finds the signature file (installDir), the picture and
// the address book (dataDir).
struct ComposerPaths {
    std::string installDir;
    std::string dataDir;
    // The installation and data directories of this station.
    static ComposerPaths Default();
};

class CComposerDlg : public QDialog {
    Q_OBJECT

public:
    // A new note, or with noteId the item of folder.
    CComposerDlg(CVeloDoc& doc, const std::string& configFile, const ComposerPaths& paths,
                 std::optional<std::pair<int, long>> item = std::nullopt,
                 QWidget* parent = nullptr);

    // Runs the dialog on a new note; the stored message, or nullopt when
    // it was cancelled.
    static std::optional<ComposerResult> NewNote(CVeloDoc& doc, const std::string& configFile,
                                                 QWidget* parent = nullptr);
    // Runs the dialog on the item noteId of folder.
    static std::optional<ComposerResult> Edit(CVeloDoc& doc, const std::string& configFile,
                                              int folder, long noteId, QWidget* parent = nullptr);

    // False when the item to edit could not be opened (it was said so).
    bool Valid() const { return composer_.has_value(); }
    // OK: true when the message was stored and the dialog closed.
    bool Accept();
    const std::optional<ComposerResult>& Result() const { return result_; }

    int Type() const;
    // As the type buttons do: 0 note, 2 SMS, 6 e-mail.
    void SetType(int type);
    // Takes name and recipient from an address-book entry.
    void ApplyAddress(const Address& address);
    const AddressBook& Book() const { return book_; }

    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* RecipientEdit() const { return recipient_; }
    QLineEdit* CcEdit() const { return cc_; }
    QLineEdit* SubjectEdit() const { return subject_; }
    QPlainTextEdit* TextEdit() const { return text_; }
    QCheckBox* SignatureBox() const { return signature_; }
    QCheckBox* SendNowBox() const { return sendNow_; }
    QLabel* RecipientLabelWidget() const { return recipientLabel_; }
    QLabel* CcLabel() const { return ccLabel_; }
    QLabel* CounterLabel() const { return counter_; }
    QLabel* Picture() const { return picture_; }
    QAbstractButton* TypeButton(int type) const;
    QPushButton* AddressBookButton() const { return addressBook_; }

public slots:
    void accept() override;

private:
    void BuildUi(const ComposerPaths& paths);
    void FillFromComposer();
    void TakeFields();
    void ShowType();
    void TextChanged();
    void PickAddress();

    std::optional<Composer> composer_;
    std::optional<ComposerResult> result_;
    AddressBook book_;
    std::string addressBookPath_;

    QButtonGroup* types_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* recipient_ = nullptr;
    QLineEdit* cc_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* signature_ = nullptr;
    QCheckBox* sendNow_ = nullptr;
    QLabel* recipientLabel_ = nullptr;
    QLabel* ccLabel_ = nullptr;
    QLabel* counter_ = nullptr;
    QLabel* picture_ = nullptr;
    QPushButton* addressBook_ = nullptr;
};
