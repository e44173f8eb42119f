#include "filter_profile_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "app_caption.h"
#include "config_keys.h"
#include "msgbox.h"
#include "relay_filter.h"

namespace {

// The field a filter profile is known by in the lists.
constexpr size_t kFilterName = 1;

struct FilterTestRow {
    int flag;
    size_t field;
    const char* label;
    const char* objectName;
};
const FilterTestRow kFilterTests[CFilterProfileDlg::kTestCount] = {
    {relay_filter::kIncludeMsn, relay_filter::kMsnIn, "&MSN:", "msnIn"},
    {relay_filter::kIncludeNumber, relay_filter::kNumberIn, "&Rufnummer:", "numberIn"},
    {relay_filter::kIncludeText, relay_filter::kTextIn, "&Name/Betreff:", "textIn"},
    {relay_filter::kExcludeMsn, relay_filter::kMsnOut, "M&SN:", "msnOut"},
    {relay_filter::kExcludeNumber, relay_filter::kNumberOut, "R&ufnummer:", "numberOut"},
    {relay_filter::kExcludeText, relay_filter::kTextOut, "N&ame/Betreff:", "textOut"},
};
constexpr int kAllFilterFlags = relay_filter::kIncludeMsn | relay_filter::kIncludeNumber |
                                relay_filter::kIncludeText | relay_filter::kExcludeMsn |
                                relay_filter::kExcludeNumber | relay_filter::kExcludeText;

QGroupBox* FilterGroup(QWidget* owner, const QString& title, const QString& hint) {
    auto* box = new QGroupBox(title, owner);
    auto* grid = new QGridLayout(box);
    auto* note = new QLabel(hint, box);
    note->setWordWrap(true);
    grid->addWidget(note, 0, 0, 1, 2);
    return box;
}

}  // namespace

CFilterProfileDlg::CFilterProfileDlg(const SettingsFile& settings, int id, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      record_(LoadProfileRecord(settings, cfg::kFilterProfiles, cfg::kFilterProfileFields, id)) {
    setWindowTitle(QStringLiteral("Filterprofil"));
    auto* top = new QFormLayout;
    name_ = new QLineEdit(QString::fromStdString(record_.fields[kFilterName]), this);
    name_->setObjectName(QStringLiteral("name"));
    auto* nameLabel = new QLabel(QStringLiteral("&Profilname:"), this);
    nameLabel->setBuddy(name_);
    top->addRow(nameLabel, name_);

    int flags = std::atoi(record_.fields[relay_filter::kFlags].c_str());
    QGroupBox* include = FilterGroup(
        this, QStringLiteral("Nur weiterleiten, wenn enthalten in"),
        QStringLiteral("Ein Anruf oder eine Notiz wird weitergeleitet, wenn einer der "
                       "gewählten Einträge ihre MSN, Rufnummer oder ihren Namen bzw. "
                       "Betreff enthält."));
    QGroupBox* exclude = FilterGroup(
        this, QStringLiteral("Nicht weiterleiten, wenn enthalten in"),
        QStringLiteral("Ein Anruf oder eine Notiz wird nicht weitergeleitet, wenn einer der "
                       "gewählten Einträge sie enthält."));
    for (int t = 0; t < kTestCount; ++t) {
        const FilterTestRow& row = kFilterTests[t];
        QGroupBox* group = t < kOutMsn ? include : exclude;
        auto* grid = static_cast<QGridLayout*>(group->layout());
        boxes_[t] = new QCheckBox(QString::fromUtf8(row.label), group);
        boxes_[t]->setObjectName(QString::fromLatin1(row.objectName) + QStringLiteral("On"));
        boxes_[t]->setChecked(flags & row.flag);
        edits_[t] = new QLineEdit(QString::fromStdString(record_.fields[row.field]), group);
        edits_[t]->setObjectName(QString::fromLatin1(row.objectName));
        int line = grid->rowCount();
        grid->addWidget(boxes_[t], line, 0);
        grid->addWidget(edits_[t], line, 1);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFilterProfileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFilterProfileDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(include);
    layout->addWidget(exclude);
    layout->addWidget(buttons);
}

std::vector<std::string> CFilterProfileDlg::Fields() const {
    std::vector<std::string> f = record_.fields;
    f[kFilterName] = name_->text().trimmed().toStdString();
    // Bits that this dialog does not show stay as they were.
    const std::string& oldText = f[relay_filter::kFlags];
    int old = std::atoi(oldText.c_str());
    int flags = old & ~kAllFilterFlags;
    for (int t = 0; t < kTestCount; ++t) {
        if (boxes_[t]->isChecked()) flags |= kFilterTests[t].flag;
        // The values are looked for as they stand: blanks are kept.
        f[kFilterTests[t].field] = edits_[t]->text().toStdString();
    }
    if (record_.id == 0 || oldText.empty() || flags != old) f[relay_filter::kFlags] =
        std::to_string(flags);
    return f;
}

void CFilterProfileDlg::accept() {
    ProfileRecord changed{record_.id, Fields()};
    if (changed.fields[kFilterName].empty()) {
        ShowMessageBox("Bitte geben Sie einen Profilnamen ein.", kAppCaption,
                       MB_OK | MB_ICONEXCLAMATION);
        name_->setFocus();
        return;
    }
    if (changed.id != 0 && changed.fields == record_.fields) {
        QDialog::accept();
        return;
    }
    if (!ProfileRecordFits(changed)) {
        ShowMessageBox(kProfileTooLongText, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!SaveProfileRecord(settings_, cfg::kFilterProfiles, cfg::kFilterProfileFields, changed))
        return;
    record_ = changed;
    QDialog::accept();
}
