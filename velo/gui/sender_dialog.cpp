#include "sender_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_caption.h"
#include "msgbox.h"
#include "profile.h"
#include "utf8.h"

namespace {

struct FieldSpec {
    const TextSetting* setting;
    const char* label;
};

const FieldSpec kFields[] = {
    {&cfg::kSenderName, "&Name:"},
    {&cfg::kSenderTelephone, "&Rufnummer mit Vorwahl:"},
    {&cfg::kSenderMsn, "&MSN:"},
    {&cfg::kIsdnPrefix, "&Amtsholung:"},
};

// What the file gives back for a value: blanks around it do not survive.
std::string Value(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

}  // namespace

CSenderDlg::CSenderDlg(const SettingsFile& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Absenderangaben"));
    auto* form = new QFormLayout;
    for (const FieldSpec& f : kFields) {
        auto* edit = new QLineEdit(QString::fromStdString(settings_.Read(*f.setting)), this);
        edit->setObjectName(QString::fromLatin1(f.setting->key));
        auto* label = new QLabel(QString::fromUtf8(f.label), this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        rows_.push_back({f.setting, f.label, edit});
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CSenderDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSenderDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLineEdit* CSenderDlg::Field(const TextSetting& s) const {
    for (const Row& r : rows_) {
        if (r.setting == &s) return r.edit;
    }
    return nullptr;
}

void CSenderDlg::accept() {
    if (!CheckLengths() || !WriteChanges()) return;
    QDialog::accept();
}

bool CSenderDlg::CheckLengths() {
    // The file gives a value back with at most 255 characters: a longer one
    // would be sent cut without the user knowing.
    for (const Row& r : rows_) {
        if (Utf8Chars(Value(r.edit)) <= SettingsFile::kMaxValueChars) continue;
        QString label =
            QString::fromUtf8(r.label).remove(QLatin1Char('&')).remove(QLatin1Char(':'));
        ShowMessageBox("Die Angabe \"" + label.toStdString() +
                           "\" ist zu lang. Erlaubt sind höchstens 255 Zeichen.",
                       kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        r.edit->setFocus();
        r.edit->selectAll();
        return false;
    }
    return true;
}

bool CSenderDlg::WriteChanges() {
    ProfileTransaction changes(settings_.Path());
    bool changed = false;
    for (const Row& r : rows_) {
        std::string value = Value(r.edit);
        if (value == settings_.Read(*r.setting)) continue;
        changes.Write(r.setting->section, r.setting->key, value);
        changed = true;
    }
    if (!changed || changes.Commit()) return true;
    ShowMessageBox("Die Absenderangaben konnten nicht gespeichert werden:\n" + settings_.Path(),
                   kAppCaption, MB_OK | MB_ICONSTOP);
    return false;
}
