#include "template_profile_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_caption.h"
#include "config_keys.h"
#include "msgbox.h"
#include "relay_template.h"

namespace {

constexpr size_t kTemplateSubject = 3, kTemplateText = 4;

}  // namespace

CTemplateProfileDlg::CTemplateProfileDlg(const SettingsFile& settings, int id, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      record_(LoadProfileRecord(settings, cfg::kTemplateProfiles, cfg::kTemplateProfileFields,
                                id)) {
    setWindowTitle(QStringLiteral("Vorlage"));
    auto* form = new QFormLayout;
    name_ = new QLineEdit(QString::fromStdString(record_.fields[cfg::kTemplateName]), this);
    name_->setObjectName(QStringLiteral("name"));
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(name_);
    form->addRow(nameLabel, name_);
    subject_ = new QLineEdit(QString::fromStdString(record_.fields[kTemplateSubject]), this);
    subject_->setObjectName(QStringLiteral("subject"));
    auto* subjectLabel = new QLabel(QStringLiteral("&Betreff:"), this);
    subjectLabel->setBuddy(subject_);
    form->addRow(subjectLabel, subject_);
    // A value of the file holds one line, and so does the text template.
    text_ = new QLineEdit(QString::fromStdString(record_.fields[kTemplateText]), this);
    text_->setObjectName(QStringLiteral("text"));
    auto* textLabel = new QLabel(QStringLiteral("&Text:"), this);
    textLabel->setBuddy(text_);
    form->addRow(textLabel, text_);

    help_ = new QPlainTextEdit(QString::fromUtf8(kRelayTemplateHelp), this);
    help_->setObjectName(QStringLiteral("help"));
    help_->setReadOnly(true);
    help_->setTabStopDistance(QFontMetrics(help_->font()).horizontalAdvance(QStringLiteral("%PROGRAMM%  ")));
    help_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Wide and tall enough for the whole help without scrolling.
    QFontMetrics metrics(help_->font());
    help_->setMinimumSize(metrics.horizontalAdvance(QStringLiteral(
                              "%NUMMER%  Rufnummer des Absenders oder Anrufers (a)")) +
                              24,
                          metrics.lineSpacing() * 14);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CTemplateProfileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTemplateProfileDlg::reject);
    auto* columns = new QHBoxLayout;
    columns->addLayout(form, 3);
    columns->addWidget(help_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
}

void CTemplateProfileDlg::accept() {
    ProfileRecord changed{record_.id, record_.fields};
    changed.fields[cfg::kTemplateName] = name_->text().trimmed().toStdString();
    changed.fields[kTemplateSubject] = subject_->text().toStdString();
    changed.fields[kTemplateText] = text_->text().toStdString();
    if (changed.fields[cfg::kTemplateName].empty()) {
        ShowMessageBox("Bitte geben Sie einen Namen für die Vorlage ein.", kAppCaption,
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
    if (!SaveProfileRecord(settings_, cfg::kTemplateProfiles, cfg::kTemplateProfileFields,
                           changed))
        return;
    record_ = changed;
    QDialog::accept();
}
