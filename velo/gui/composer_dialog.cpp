#include "composer_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "address_book_window.h"
#include "locations.h"
#include "paths.h"

namespace {

constexpr int kNoteButton = static_cast<int>(NoteType::Note);
constexpr int kSmsButton = static_cast<int>(NoteType::D1Sms);
constexpr int kEmailButton = static_cast<int>(NoteType::Email);

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

// The recipient label with a mnemonic that no other field of the dialog has.
QString RecipientLabelText(int type) {
    QString label = QString::fromUtf8(RecipientLabel(type));
    return type == kEmailButton ? label.insert(1, '&') : label.insert(0, '&');
}

int ButtonOf(int type) {
    return type == kEmailButton                ? kEmailButton
           : ComposerType(type) != kNoteButton ? kSmsButton
                                               : kNoteButton;
}

}  // namespace

ComposerPaths ComposerPaths::Default() {
    return ComposerPaths{InstallDir(), DataDir()};
}

CComposerDlg::CComposerDlg(CVeloDoc& doc, const std::string& configFile, const ComposerPaths& paths,
                           std::optional<std::pair<int, long>> item, QWidget* parent)
    : QDialog(parent) {
    if (item) {
        composer_.emplace(doc, configFile, paths.installDir, item->first, item->second);
        if (!composer_->Valid()) {
            composer_.reset();
            return;
        }
    } else {
        composer_.emplace(doc, configFile, paths.installDir);
    }
    BuildUi(paths);
    addressBookPath_ = JoinPath(paths.dataDir, "AddrBook.xml");
    // A book that cannot be read is said so; the dialog goes on without it.
    addressBook_->setEnabled(book_.LoadForWindow(addressBookPath_));
    FillFromComposer();
}

void CComposerDlg::BuildUi(const ComposerPaths& paths) {
    setWindowTitle(QString::fromUtf8(composer_->Caption()));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    types_ = new QButtonGroup(this);
    types_->setExclusive(true);
    const struct {
        int id;
        const char* text;
        const char* hint;
    } buttons[] = {
        {kNoteButton, "&Notiz", "Notiz erstellen oder editieren"},
        {kSmsButton, "&SMS", "SMS-Nachricht erstellen oder editieren"},
        {kEmailButton, "&Email", "EMail-Nachricht erstellen oder editieren"},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setToolTip(QString::fromUtf8(b.hint));
        types_->addButton(button, b.id);
        top->addWidget(button);
    }
    connect(types_, &QButtonGroup::idClicked, this, [this](int id) { SetType(id); });
    top->addStretch();
    picture_ = new QLabel(this);
    QPixmap pixmap(Q(JoinPath(paths.dataDir, composer_text::kPicture)));
    picture_->setPixmap(pixmap);
    picture_->setVisible(!pixmap.isNull());
    top->addWidget(picture_);
    layout->addLayout(top);

    auto* form = new QFormLayout;
    name_ = new QLineEdit(this);
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(name_);
    form->addRow(nameLabel, name_);

    recipient_ = new QLineEdit(this);
    recipientLabel_ = new QLabel(this);
    recipientLabel_->setBuddy(recipient_);
    addressBook_ = new QPushButton(QStringLiteral("&Adressbuch..."), this);
    addressBook_->setAutoDefault(false);
    connect(addressBook_, &QPushButton::clicked, this, &CComposerDlg::PickAddress);
    auto* recipientRow = new QHBoxLayout;
    recipientRow->addWidget(recipient_);
    recipientRow->addWidget(addressBook_);
    form->addRow(recipientLabel_, recipientRow);

    cc_ = new QLineEdit(this);
    ccLabel_ = new QLabel(QStringLiteral("&Cc:"), this);
    ccLabel_->setBuddy(cc_);
    form->addRow(ccLabel_, cc_);

    subject_ = new QLineEdit(this);
    auto* subjectLabel = new QLabel(QStringLiteral("&Betreff:"), this);
    subjectLabel->setBuddy(subject_);
    form->addRow(subjectLabel, subject_);
    layout->addLayout(form);

    auto* textLabel = new QLabel(QStringLiteral("&Text:"), this);
    text_ = new QPlainTextEdit(this);
    text_->setTabChangesFocus(true);
    textLabel->setBuddy(text_);
    layout->addWidget(textLabel);
    layout->addWidget(text_, 1);
    connect(text_, &QPlainTextEdit::textChanged, this, &CComposerDlg::TextChanged);

    counter_ = new QLabel(this);
    layout->addWidget(counter_);

    signature_ = new QCheckBox(QStringLiteral("Si&gnatur anfügen"), this);
    connect(signature_, &QCheckBox::toggled, this, &CComposerDlg::TextChanged);
    sendNow_ = new QCheckBox(QStringLiteral("Sofort &senden"), this);
    auto* options = new QHBoxLayout;
    options->addWidget(signature_);
    options->addWidget(sendNow_);
    options->addStretch();
    layout->addLayout(options);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(box, &QDialogButtonBox::accepted, this, &CComposerDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CComposerDlg::reject);
    layout->addWidget(box);
}

void CComposerDlg::FillFromComposer() {
    const ComposerFields& f = composer_->Fields();
    name_->setText(Q(f.name));
    recipient_->setText(Q(f.recipient));
    cc_->setText(Q(f.cc));
    subject_->setText(Q(f.subject));
    {
        // Opening is no change that the limit message is for.
        QSignalBlocker quiet(text_);
        text_->setPlainText(Q(f.text));
    }
    signature_->setChecked(false);
    types_->button(ButtonOf(f.type))->setChecked(true);
    ShowType();
}

void CComposerDlg::TakeFields() {
    ComposerFields& f = composer_->Fields();
    f.name = S(name_->text());
    f.recipient = S(recipient_->text());
    f.cc = S(cc_->text());
    f.subject = S(subject_->text());
    f.text = S(text_->toPlainText());
    f.signature = signature_->isChecked();
}

int CComposerDlg::Type() const {
    return composer_ ? composer_->Fields().type : kNoteButton;
}

QAbstractButton* CComposerDlg::TypeButton(int type) const {
    return types_->button(ButtonOf(type));
}

void CComposerDlg::SetType(int type) {
    // An SMS keeps the network it has; OK chooses it by the number anyway.
    if (ButtonOf(type) != ButtonOf(Type())) composer_->Fields().type = ButtonOf(type);
    types_->button(ButtonOf(type))->setChecked(true);
    ShowType();
    TextChanged();
}

void CComposerDlg::ShowType() {
    int type = Type();
    recipientLabel_->setText(RecipientLabelText(type));
    ccLabel_->setVisible(HasCc(type));
    cc_->setVisible(HasCc(type));
    counter_->setText(Q(composer_->Counter()));
}

void CComposerDlg::TextChanged() {
    TakeFields();
    counter_->setText(Q(composer_->Counter()));
    composer_->Changed();
}

void CComposerDlg::ApplyAddress(const Address& address) {
    name_->setText(Q(AddressName(address)));
    recipient_->setText(Q(AddressRecipient(address, Type())));
}

void CComposerDlg::PickAddress() {
    std::optional<Address> picked = CAddressBookWnd::Pick(addressBookPath_, this);
    if (!picked) return;
    // The window may have added or changed entries on its way.
    book_.Load(addressBookPath_);
    ApplyAddress(*picked);
}

bool CComposerDlg::Accept() {
    TakeFields();
    bool isNew = composer_->IsNew();
    auto stored = composer_->Accept();
    if (!stored) return false;
    stored->sendNow = sendNow_->isChecked();
    result_ = stored;
    const ComposerFields& f = composer_->Fields();
    if (isNew && !HasCc(f.type)) OfferToKeepRecipient(addressBookPath_, f.name, f.recipient);
    QDialog::accept();
    return true;
}

void CComposerDlg::accept() {
    Accept();
}

std::optional<ComposerResult> CComposerDlg::NewNote(CVeloDoc& doc, const std::string& configFile,
                                                    QWidget* parent) {
    CComposerDlg dlg(doc, configFile, ComposerPaths::Default(), std::nullopt, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Result();
}

std::optional<ComposerResult> CComposerDlg::Edit(CVeloDoc& doc, const std::string& configFile,
                                                 int folder, long noteId, QWidget* parent) {
    CComposerDlg dlg(doc, configFile, ComposerPaths::Default(), std::make_pair(folder, noteId),
                     parent);
    if (!dlg.Valid() || dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Result();
}
