#include "address_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_buttons.h"

namespace {

// Texts go into the file exactly as typed: no trimming, no replacing.
QString AddrQ(const std::string& text) {
    return QString::fromStdString(text);
}

std::string AddrS(const QString& text) {
    return text.toStdString();
}

struct AddressFieldRow {
    std::string Address::*field;
    const char* label;
};
// The fields above the telephone numbers, and those below them.
const AddressFieldRow kNameRows[] = {{&Address::nick, "&Nick:"},
                                     {&Address::firstname, "&Vorname:"},
                                     {&Address::lastname, "Nach&name:"},
                                     {&Address::address1, "&Anschrift:"},
                                     {&Address::address2, "Anschrift &2:"},
                                     {&Address::zipCode, "&PLZ:"},
                                     {&Address::city, "&Ort:"},
                                     {&Address::country, "&Land:"}};
const AddressFieldRow kOnlineRows[] = {{&Address::email, "&Email:"},
                                       {&Address::webServer, "&Web:"}};
const char* const kPhoneLabels[kPhoneTypes] = {"Tel. Privat:", "Tel. Geschäft:", "Fax:", "Handy:"};

}  // namespace

CPhoneDlg::CPhoneDlg(PhoneType type, const PhoneNumber& number, QWidget* parent) : QDialog(parent) {
    setWindowTitle(TitleOf(type));
    countryCode_ = new QLineEdit(AddrQ(number.countryCode), this);
    prefix_ = new QLineEdit(AddrQ(number.prefix), this);
    number_ = new QLineEdit(AddrQ(number.number), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Landvorwahl"), countryCode_);
    form->addRow(QStringLiteral("&Vorwahl"), prefix_);
    form->addRow(QStringLiteral("&Nummer"), number_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

QString CPhoneDlg::TitleOf(PhoneType type) {
    switch (type) {
        case kPhonePrivate:
            return QStringLiteral("Private Telefonnummer");
        case kPhoneBusiness:
            return QStringLiteral("Geschäftliche Telefonnummer");
        case kPhoneFax:
            return QStringLiteral("Faxnummer");
        default:
            return QStringLiteral("Handynummer");
    }
}

PhoneNumber CPhoneDlg::Number() const {
    PhoneNumber phone{true, AddrS(countryCode_->text()), AddrS(prefix_->text()),
                      AddrS(number_->text())};
    phone.present = !(phone.countryCode.empty() && phone.prefix.empty() && phone.number.empty());
    return phone;
}

CAddressDlg::CAddressDlg(const Address& address, QWidget* parent)
    : QDialog(parent), address_(address) {
    setWindowTitle(QStringLiteral("Adresse"));
    auto* form = new QFormLayout;
    auto addText = [&](const AddressFieldRow& row) {
        auto* edit = new QLineEdit(AddrQ(address_.*row.field), this);
        form->addRow(QString::fromUtf8(row.label), edit);
        rows_.push_back({row.field, edit});
    };
    for (const AddressFieldRow& row : kNameRows) addText(row);
    for (size_t i = 0; i < kPhoneTypes; ++i) {
        auto type = static_cast<PhoneType>(i);
        phoneTexts_[i] = new QLineEdit(this);
        phoneTexts_[i]->setReadOnly(true);
        phoneButtons_[i] = new QPushButton(QStringLiteral("..."), this);
        phoneButtons_[i]->setAutoDefault(false);
        phoneButtons_[i]->setFixedWidth(
            phoneButtons_[i]->fontMetrics().horizontalAdvance(phoneButtons_[i]->text()) + 24);
        phoneButtons_[i]->setToolTip(CPhoneDlg::TitleOf(type));
        connect(phoneButtons_[i], &QPushButton::clicked, this, [this, type] { EditPhone(type); });
        auto* row = new QHBoxLayout;
        row->addWidget(phoneTexts_[i], 1);
        row->addWidget(phoneButtons_[i]);
        form->addRow(QString::fromUtf8(kPhoneLabels[i]), row);
        SetPhone(type, address_.phones[i]);
    }
    for (const AddressFieldRow& row : kOnlineRows) addText(row);
    comments_ = new QPlainTextEdit(AddrQ(address_.comments), this);
    comments_->setTabChangesFocus(true);
    form->addRow(QStringLiteral("&Bemerkungen:"), comments_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

QLineEdit* CAddressDlg::Field(std::string Address::*field) const {
    for (const TextRow& row : rows_) {
        if (row.field == field) return row.edit;
    }
    return nullptr;
}

void CAddressDlg::SetPhone(PhoneType type, const PhoneNumber& number) {
    address_.phones[type] = number;
    phoneTexts_[type]->setText(number.present ? AddrQ(number.LongText()) : QString());
}

void CAddressDlg::EditPhone(PhoneType type) {
    CPhoneDlg dlg(type, address_.phones[type], this);
    if (dlg.exec() == QDialog::Accepted) SetPhone(type, dlg.Number());
}

Address CAddressDlg::Result(std::time_t now) const {
    Address result = address_;
    for (const TextRow& row : rows_) result.*row.field = AddrS(row.edit->text());
    result.comments = AddrS(comments_->toPlainText());
    result.lastChange = now;
    return result;
}
