// The dialog that edits one address of the address book: the name and
// postal fields, the four telephone numbers (each in its own small dialog),
// e-mail, web address and comments. Cancel leaves the address as it was.
#pragma once

#include <QDialog>
#include <array>
#include <ctime>

#include "address_book.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// One telephone number: country code, prefix and number.
class CPhoneDlg : public QDialog {
    Q_OBJECT
public:
    CPhoneDlg(PhoneType type, const PhoneNumber& number, QWidget* parent = nullptr);

    // "Private Telefonnummer", "Geschäftliche Telefonnummer", "Faxnummer", "Handynummer".
    static QString TitleOf(PhoneType type);

    // The number as entered; confirming marks it present, unless all three
    // fields were left empty, which takes the number away.
    PhoneNumber Number() const;

    QLineEdit* CountryCodeEdit() const { return countryCode_; }
    QLineEdit* PrefixEdit() const { return prefix_; }
    QLineEdit* NumberEdit() const { return number_; }

private:
    QLineEdit* countryCode_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* number_ = nullptr;
};

class CAddressDlg : public QDialog {
    Q_OBJECT
public:
    CAddressDlg(const Address& address, QWidget* parent = nullptr);

    // The address with what the dialog shows, its last change set to now.
    Address Result(std::time_t now = std::time(nullptr)) const;

    // The edit of a text field of the address, e.g. &Address::city.
    QLineEdit* Field(std::string Address::*field) const;
    QPlainTextEdit* CommentsEdit() const { return comments_; }
    // The long display form of a number, read-only; its button opens CPhoneDlg.
    QLineEdit* PhoneText(PhoneType type) const { return phoneTexts_[type]; }
    QPushButton* PhoneButton(PhoneType type) const { return phoneButtons_[type]; }
    const PhoneNumber& Phone(PhoneType type) const { return address_.phones[type]; }
    void SetPhone(PhoneType type, const PhoneNumber& number);

private:
    void EditPhone(PhoneType type);

    struct TextRow {
        std::string Address::*field;
        QLineEdit* edit;
    };
    Address address_;
    std::vector<TextRow> rows_;
    QPlainTextEdit* comments_ = nullptr;
    std::array<QLineEdit*, kPhoneTypes> phoneTexts_{};
    std::array<QPushButton*, kPhoneTypes> phoneButtons_{};
};
