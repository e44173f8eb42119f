#include "relay_profile_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "app_caption.h"
#include "config_keys.h"
#include "item_list.h"
#include "msgbox.h"
#include "ras_connection.h"
#include "tariffs.h"

namespace {

namespace rp = cfg::relay_profile;

// Fields of the file and the SMS operations.
constexpr int kRelayFilePath = 2;
constexpr int kSmsCentre = 2, kSmsNumber = 3, kSmsDelay = 4, kSmsTries = 5, kSmsPlan = 6;

// The connection mode of an e-mail profile: 0 for the local network, else
// kDialUpMode with the two option bits.
constexpr int kDialUpMode = 16, kAutoDialBit = 1, kHangUpBit = 2;

constexpr int kSmtpDefaultPort = rp::kDefaultSmtpPort;
constexpr int kDefaultRelayTries = 3;

enum RelayPage { kMailPage, kFilePage, kSmsPage };

struct OperationName {
    int code;
    const char* name;
};
const OperationName kRelayOperations[] = {
    {relay_op::kMail, "Email"},     {relay_op::kFile, "Datei"},
    {relay_op::kSmsD1, "SMS D1"},   {relay_op::kSmsD2, "SMS D2"},
    {relay_op::kSmsEPlus, "SMS E-Plus"},
};

RelayPage PageOf(int operation) {
    if (operation == relay_op::kFile) return kFilePage;
    if (operation >= relay_op::kSmsD1 && operation <= relay_op::kSmsEPlus) return kSmsPage;
    return kMailPage;
}

const TextSetting* SmsCentreSetting(int operation) {
    switch (operation) {
        case relay_op::kSmsD1: return &cfg::kD1SmsCenter;
        case relay_op::kSmsD2: return &cfg::kD2SmsCenter;
        case relay_op::kSmsEPlus: return &cfg::kEPlusSmsCenter;
        default: return nullptr;
    }
}

QString FromField(const std::string& text) {
    return QString::fromStdString(text);
}

std::string FieldOf(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// "host" or "host:port" into its parts; the default port when none is given.
void SplitServer(const std::string& field, std::string& host, int& port) {
    size_t colon = field.find(':');
    host = field.substr(0, colon);
    port = colon == std::string::npos ? kSmtpDefaultPort : std::atoi(field.c_str() + colon + 1);
}

QLineEdit* AddLine(QFormLayout* form, QWidget* owner, const char* label, const std::string& text,
                   const char* objectName) {
    auto* edit = new QLineEdit(FromField(text), owner);
    edit->setObjectName(QString::fromLatin1(objectName));
    auto* caption = new QLabel(QString::fromUtf8(label), owner);
    caption->setBuddy(edit);
    form->addRow(caption, edit);
    return edit;
}

}  // namespace

QString RelayProfileTitle(int operation) {
    switch (PageOf(operation)) {
        case kMailPage: return QStringLiteral("Weiterleiten an Email (Windows Sockets)");
        case kFilePage: return QStringLiteral("Weiterleiten in eine Datei");
        case kSmsPage: break;
    }
    return QStringLiteral("Weiterleiten als SMS");
}

CRelayProfileDlg::CRelayProfileDlg(const SettingsFile& settings, int id, int operation,
                                   QWidget* parent, EntryLister lister)
    : QDialog(parent),
      settings_(settings),
      lister_(lister ? std::move(lister) : EntryLister(&CRasConnection::ListEntries)),
      record_(LoadProfileRecord(settings, cfg::kRelayProfiles, cfg::kRelayProfileFields, id)) {
    if (record_.id != 0) operation = std::atoi(record_.fields[rp::kType].c_str());
    loadedOperation_ = operation;
    SplitServer(record_.fields[rp::kSmtpServer], loadedHost_, loadedPort_);

    auto* top = new QFormLayout;
    name_ = AddLine(top, this, "&Profilname:", record_.fields[rp::kName], "name");
    operation_ = new QComboBox(this);
    operation_->setObjectName(QStringLiteral("operation"));
    for (const OperationName& op : kRelayOperations)
        operation_->addItem(QString::fromUtf8(op.name), op.code);
    if (operation_->findData(operation) < 0)
        operation_->addItem(QStringLiteral("Unbekannt (%1)").arg(operation), operation);
    operation_->setCurrentIndex(operation_->findData(operation));
    auto* opLabel = new QLabel(QStringLiteral("&Weiterleiten als:"), this);
    opLabel->setBuddy(operation_);
    top->addRow(opLabel, operation_);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(MakeMailPage());
    pages_->addWidget(MakeFilePage());
    pages_->addWidget(MakeSmsPage());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CRelayProfileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRelayProfileDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_);
    layout->addWidget(buttons);

    connect(operation_, &QComboBox::currentIndexChanged, this, &CRelayProfileDlg::OperationChanged);
    ShowFields();
}

QWidget* CRelayProfileDlg::MakeMailPage() {
    const auto& f = record_.fields;
    bool mail = PageOf(loadedOperation_) == kMailPage;
    auto* page = new QWidget(this);
    auto* form = new QFormLayout;
    server_ = AddLine(form, page, "&SMTP-Server:", mail ? loadedHost_ : "", "server");
    port_ = AddLine(form, page, "Por&tnummer:",
                    std::to_string(mail ? loadedPort_ : kSmtpDefaultPort), "port");
    port_->setValidator(new QIntValidator(1, 65535, port_));
    sender_ = AddLine(form, page, "&Email-Adresse:", mail ? f[rp::kSender] : "", "sender");
    to_ = AddLine(form, page, "&An:", mail ? f[rp::kTo] : "", "to");
    cc_ = AddLine(form, page, "&Cc:", mail ? f[rp::kCc] : "", "cc");

    // "0" or an empty field is the local network; anything else dials.
    int mode = mail ? std::atoi(f[rp::kConnectionMode].c_str()) : 0;
    auto* box = new QGroupBox(QStringLiteral("Verbindung zum Server"), page);
    lan_ = new QRadioButton(QStringLiteral("Lokales Netzwerk (LAN)"), box);
    lan_->setObjectName(QStringLiteral("lan"));
    dialUp_ = new QRadioButton(QStringLiteral("DFÜ-&Netzwerk"), box);
    dialUp_->setObjectName(QStringLiteral("dialUp"));
    auto* group = new QButtonGroup(box);
    group->addButton(lan_);
    group->addButton(dialUp_);
    entry_ = new QComboBox(box);
    entry_->setObjectName(QStringLiteral("dialUpEntry"));
    std::string storedEntry = mail ? f[rp::kDialUpEntry] : "";
    if (!storedEntry.empty()) entry_->addItem(FromField(storedEntry));
    auto* entryLabel = new QLabel(QStringLiteral("&Verbindung:"), box);
    entryLabel->setBuddy(entry_);
    entryNote_ = new QLabel(box);
    entryNote_->setObjectName(QStringLiteral("dialUpNote"));
    entryNote_->setWordWrap(true);
    entryNote_->hide();
    autoDial_ = new QCheckBox(QStringLiteral("Automatische Verbin&dung"), box);
    autoDial_->setObjectName(QStringLiteral("autoDial"));
    hangUp_ = new QCheckBox(QStringLiteral("Verb&indung nach der Übermittlung trennen"), box);
    hangUp_->setObjectName(QStringLiteral("hangUp"));
    (mode == 0 ? lan_ : dialUp_)->setChecked(true);
    autoDial_->setChecked(mode != 0 && (mode & kAutoDialBit));
    hangUp_->setChecked(mode != 0 && (mode & kHangUpBit));

    auto* boxForm = new QFormLayout;
    boxForm->addRow(entryLabel, entry_);
    boxForm->addRow(entryNote_);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(lan_);
    boxLayout->addWidget(dialUp_);
    boxLayout->addLayout(boxForm);
    boxLayout->addWidget(autoDial_);
    boxLayout->addWidget(hangUp_);
    connect(dialUp_, &QRadioButton::toggled, this, &CRelayProfileDlg::ConnectionChanged);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addWidget(box);
    return page;
}

QWidget* CRelayProfileDlg::MakeFilePage() {
    bool file = PageOf(loadedOperation_) == kFilePage;
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    file_ = AddLine(form, page, "&Datei:", file ? record_.fields[kRelayFilePath] : "", "file");
    return page;
}

QWidget* CRelayProfileDlg::MakeSmsPage() {
    const auto& f = record_.fields;
    bool sms = PageOf(loadedOperation_) == kSmsPage;
    std::string centre = sms ? f[kSmsCentre] : "";
    if (record_.id == 0) {
        if (const TextSetting* s = SmsCentreSetting(loadedOperation_)) centre = settings_.Read(*s);
    }
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    centre_ = AddLine(form, page, "SMS-&Zentrale:", centre, "centre");
    number_ = AddLine(form, page, "&Empfänger (Rufnummer):", sms ? f[kSmsNumber] : "", "number");

    delay_ = new QSpinBox(page);
    delay_->setObjectName(QStringLiteral("delay"));
    delay_->setRange(0, 3600);
    delay_->setSuffix(QStringLiteral(" s"));
    delay_->setValue(sms ? std::atoi(f[kSmsDelay].c_str()) : 0);
    auto* delayLabel = new QLabel(QStringLiteral("&Wartezeit vor jedem Versuch:"), page);
    delayLabel->setBuddy(delay_);
    form->addRow(delayLabel, delay_);

    tries_ = new QSpinBox(page);
    tries_->setObjectName(QStringLiteral("tries"));
    tries_->setRange(1, 99);
    tries_->setValue(sms && !f[kSmsTries].empty() ? std::atoi(f[kSmsTries].c_str())
                                                  : kDefaultRelayTries);
    auto* triesLabel = new QLabel(QStringLiteral("&Anzahl Versuche:"), page);
    triesLabel->setBuddy(tries_);
    form->addRow(triesLabel, tries_);

    // "Kein" and the plans by name; the profile keeps the plan's key.
    plan_ = new QComboBox(page);
    plan_->setObjectName(QStringLiteral("plan"));
    plan_->addItem(QStringLiteral("Kein"), QString());
    ItemList plans(cfg::kTariffPlanFields);
    plans.Load(settings_, cfg::kCallByCallTariffPlan);
    for (const ListItem& p : plans.Items()) {
        plan_->addItem(FromField(p.fields[tariff::kPlanName]), FromField(p.fields[tariff::kPlanKey]));
    }
    std::string stored = sms ? f[kSmsPlan] : "";
    int index = plan_->findData(FromField(stored));
    if (index < 0) index = plan_->findText(FromField(stored), Qt::MatchExactly);
    if (index < 0) {
        // A plan that is no longer listed stays as it is unless changed.
        plan_->addItem(FromField(stored), FromField(stored));
        index = plan_->count() - 1;
    }
    plan_->setCurrentIndex(index);
    auto* planLabel = new QLabel(QStringLiteral("&Tarifplan:"), page);
    planLabel->setBuddy(plan_);
    form->addRow(planLabel, plan_);
    return page;
}

int CRelayProfileDlg::Operation() const {
    return operation_->currentData().toInt();
}

void CRelayProfileDlg::OperationChanged() {
    ShowFields();
}

void CRelayProfileDlg::ShowFields() {
    setWindowTitle(RelayProfileTitle(Operation()));
    pages_->setCurrentIndex(PageOf(Operation()));
    ConnectionChanged();
}

void CRelayProfileDlg::ConnectionChanged() {
    bool dial = dialUp_->isChecked();
    entry_->setEnabled(dial);
    autoDial_->setEnabled(dial);
    hangUp_->setEnabled(dial);
    if (dial && PageOf(Operation()) == kMailPage) ListEntries();
}

void CRelayProfileDlg::ListEntries() {
    if (entriesListed_) return;
    entriesListed_ = true;
    std::vector<std::string> names;
    bool listed = lister_(names);
    QString kept = entry_->currentText();
    for (const std::string& n : names) {
        if (entry_->findText(FromField(n), Qt::MatchExactly) < 0) entry_->addItem(FromField(n));
    }
    if (!kept.isEmpty()) entry_->setCurrentIndex(entry_->findText(kept, Qt::MatchExactly));
    if (!listed) {
        entryNote_->setText(QStringLiteral(
            "Die Verbindungen des NetworkManager konnten nicht gelesen werden (nmcli fehlt "
            "oder meldet einen Fehler)."));
        entryNote_->show();
    } else if (names.empty()) {
        entryNote_->setText(QStringLiteral("Der NetworkManager kennt keine Verbindungen."));
        entryNote_->show();
    }
}

std::vector<std::string> CRelayProfileDlg::Fields() const {
    std::vector<std::string> f = record_.fields;
    int op = Operation();
    if (op != loadedOperation_ && PageOf(op) != PageOf(loadedOperation_)) {
        // The fields of another operation mean nothing to this one.
        f.assign(cfg::kRelayProfileFields, "");
    }
    if (record_.id == 0 || op != loadedOperation_) f[rp::kType] = std::to_string(op);
    f[rp::kName] = FieldOf(name_);
    switch (PageOf(op)) {
        case kMailPage: {
            std::string host = FieldOf(server_);
            int port = port_->text().toInt();
            bool same = host == loadedHost_ && port == loadedPort_ && PageOf(loadedOperation_) ==
                                                                          kMailPage;
            if (!same) {
                f[rp::kSmtpServer] =
                    port == kSmtpDefaultPort ? host : host + ":" + std::to_string(port);
            }
            f[rp::kSender] = FieldOf(sender_);
            f[rp::kTo] = FieldOf(to_);
            f[rp::kCc] = FieldOf(cc_);
            int mode = 0;
            if (dialUp_->isChecked()) {
                mode = kDialUpMode | (autoDial_->isChecked() ? kAutoDialBit : 0) |
                       (hangUp_->isChecked() ? kHangUpBit : 0);
            }
            // A stored mode that reads the same stays as written.
            const std::string& oldMode = record_.fields[rp::kConnectionMode];
            int oldValue = std::atoi(oldMode.c_str());
            bool oldLan = oldValue == 0;
            int oldShown = oldLan ? 0
                                  : kDialUpMode | (oldValue & kAutoDialBit) | (oldValue & kHangUpBit);
            if (record_.id == 0 || f[rp::kConnectionMode].empty() || oldShown != mode ||
                PageOf(loadedOperation_) != kMailPage) {
                f[rp::kConnectionMode] = std::to_string(mode);
            }
            f[rp::kDialUpEntry] = dialUp_->isChecked() ? entry_->currentText().toStdString()
                                                       : f[rp::kDialUpEntry];
            break;
        }
        case kFilePage:
            f[kRelayFilePath] = FieldOf(file_);
            break;
        case kSmsPage:
            f[kSmsCentre] = FieldOf(centre_);
            f[kSmsNumber] = FieldOf(number_);
            if (f[kSmsDelay].empty() || std::atoi(f[kSmsDelay].c_str()) != delay_->value())
                f[kSmsDelay] = std::to_string(delay_->value());
            if (f[kSmsTries].empty() || std::atoi(f[kSmsTries].c_str()) != tries_->value())
                f[kSmsTries] = std::to_string(tries_->value());
            f[kSmsPlan] = plan_->currentData().toString().toStdString();
            break;
    }
    return f;
}

bool CRelayProfileDlg::Refuse(const char* text, QWidget* field) {
    ShowMessageBox(text, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    if (field) field->setFocus();
    return false;
}

bool CRelayProfileDlg::Check() {
    if (FieldOf(name_).empty()) return Refuse("Bitte geben Sie einen Profilnamen ein.", name_);
    switch (PageOf(Operation())) {
        case kMailPage:
            if (FieldOf(server_).empty())
                return Refuse("Bitte geben Sie den SMTP-Server ein.", server_);
            if (!port_->hasAcceptableInput())
                return Refuse("Die Portnummer muss zwischen 1 und 65535 liegen.", port_);
            if (FieldOf(sender_).empty())
                return Refuse("Bitte geben Sie Ihre Email-Adresse ein.", sender_);
            if (FieldOf(to_).empty())
                return Refuse("Bitte geben Sie den Empfänger (An) ein.", to_);
            if (dialUp_->isChecked() && entry_->currentText().isEmpty())
                return Refuse("Bitte wählen Sie eine Verbindung aus.", entry_);
            break;
        case kFilePage:
            if (FieldOf(file_).empty()) return Refuse("Bitte geben Sie die Datei ein.", file_);
            break;
        case kSmsPage:
            if (!AllDigits(FieldOf(centre_)))
                return Refuse("Die Rufnummer der SMS-Zentrale darf nur aus Ziffern bestehen.",
                              centre_);
            if (!AllDigits(FieldOf(number_)))
                return Refuse("Die Rufnummer des Empfängers darf nur aus Ziffern bestehen.",
                              number_);
            break;
    }
    return true;
}

void CRelayProfileDlg::accept() {
    if (!Check()) return;
    ProfileRecord changed{record_.id, Fields()};
    if (changed.id != 0 && changed.fields == record_.fields) {
        QDialog::accept();
        return;
    }
    if (!ProfileRecordFits(changed)) {
        Refuse(kProfileTooLongText, name_);
        return;
    }
    if (!SaveProfileRecord(settings_, cfg::kRelayProfiles, cfg::kRelayProfileFields, changed))
        return;
    record_ = changed;
    loadedOperation_ = Operation();
    QDialog::accept();
}
