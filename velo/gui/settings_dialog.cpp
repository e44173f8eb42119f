#include "settings_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QLabel>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app_caption.h"
#include "call_by_call_pages.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "settings_pages.h"

namespace {

// A page with a title and a sentence: the start page and the group pages.
class SettingsTextPage : public SettingsPage {
public:
    SettingsTextPage(const QString& title, const QString& text, QWidget* parent) : SettingsPage(parent) {
        auto* heading = new QLabel(title, this);
        heading->setObjectName(QStringLiteral("title"));
        QFont bold = heading->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.2);
        heading->setFont(bold);
        auto* body = new QLabel(text, this);
        body->setWordWrap(true);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(heading);
        layout->addWidget(body);
        layout->addStretch(1);
    }
    bool Save() override { return true; }
};

}  // namespace

void ShowSettingsNotSaved(const std::string& path) {
    ShowMessageBox("Die Einstellungen können nicht gespeichert werden: '" + path +
                       "' ist nicht beschreibbar.",
                   kAppCaption, MB_ICONSTOP);
}

CVeloSettingsDlg::CVeloSettingsDlg(const std::string& config, const std::string& installDir,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Telvora Optionen"));
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(190);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(new SettingsTextPage(
        QStringLiteral("Telvora Optionen"),
        QStringLiteral("Wenn Sie die Programmeinstellungen ändern wollen, wählen Sie bitte Links "
                       "die entsprechende Menüpunkte aus."),
        stack_));

    QTreeWidgetItem* general = AddGroup(QStringLiteral("Allgemein"),
                                        QStringLiteral("Allgemeine Einstellungen"),
                                        QStringLiteral("Wie velo startet und was es an Ihre Notizen anhängt."));
    AddPage(general, QStringLiteral("TrayIcon"), MakeTrayPage(config, stack_));
    AddPage(general, QStringLiteral("Signatur"), MakeSignaturePage(config, installDir, stack_));
    QTreeWidgetItem* isdn = AddGroup(QStringLiteral("ISDN"), QStringLiteral("ISDN Einstellungen"),
                                     QStringLiteral("Mit welcher Rufnummer und über welche Amtsholung velo wählt."));
    AddPage(isdn, QStringLiteral("MSN/Amtsholung"), MakeIsdnPage(config, stack_));
    QTreeWidgetItem* callByCall = AddGroup(
        QStringLiteral("Call By Call"), QStringLiteral("Call by Call Verwaltung"),
        QStringLiteral("Über welche Anbieter velo zu welcher Stunde wählt: die Anbieter mit ihren "
                       "Vorwahlen und die Tarifpläne."));
    auto* providers = new CProviderListDlg(config, stack_);
    AddPage(callByCall, QStringLiteral("Provider"), providers);
    tariffPage_ = new CTariffPlanDlg(config, providers, stack_);
    AddPage(callByCall, QStringLiteral("Tarifpläne"), tariffPage_);
    QTreeWidgetItem* notes = AddGroup(QStringLiteral("Notizen"),
                                      QStringLiteral("Notizen-Einstellungen"),
                                      QStringLiteral("Wer Notizen sendet und wie sie gewählt werden."));
    AddPage(notes, QStringLiteral("Absender & Call By Call"), MakeNoteSenderPage(config, stack_));
    AddPage(notes, QStringLiteral("Mitteilungstext"), MakeReplyMessagePage(config, installDir, stack_));
    QTreeWidgetItem* sms = AddGroup(QStringLiteral("SMS"), QStringLiteral("SMS-Einstellungen"),
                                    QStringLiteral("Die SMS-Center der drei Mobilfunknetze."));
    AddPage(sms, QStringLiteral("D1"), MakeSmsPage(config, note_kind::kD1Sms, stack_));
    AddPage(sms, QStringLiteral("D2"), MakeSmsPage(config, note_kind::kD2Sms, stack_));
    AddPage(sms, QStringLiteral("E-Plus"), MakeSmsPage(config, note_kind::kEPlusSms, stack_));
    QTreeWidgetItem* email = AddGroup(QStringLiteral("EMAIL"), QStringLiteral("EMAIL-Einstellungen"),
                                      QStringLiteral("Über welchen Server velo E-Mails sendet."));
    AddPage(email, QStringLiteral("Server-Profile"), MakeEmailServerPage(config, stack_));
    QTreeWidgetItem* relay = AddGroup(QStringLiteral("Weiterleitung"),
                                      QStringLiteral("Weiterleitungseinstellungen"),
                                      QStringLiteral("Wie eingehende Notizen und Anrufe weitergeleitet werden."));
    AddPage(relay, QStringLiteral("Notizen"), MakeRelayPage(config, installDir, "RelayNote", stack_));
    AddPage(relay, QStringLiteral("Anrufe"), MakeRelayPage(config, installDir, "RelayCall", stack_));
    tree_->expandAll();
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        stack_->setCurrentIndex(item->data(0, Qt::UserRole).toInt());
        if (auto* page = dynamic_cast<SettingsPage*>(stack_->currentWidget()); page && tariffPage_)
            page->ShowPlans(tariff::PlanChoices(tariffPage_->Plans().Plans()));
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* columns = new QHBoxLayout;
    columns->addWidget(tree_);
    columns->addWidget(stack_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
    resize(720, 440);
}

QTreeWidgetItem* CVeloSettingsDlg::AddGroup(const QString& name, const QString& title,
                                            const QString& text) {
    auto* item = new QTreeWidgetItem(tree_, QStringList{name});
    item->setData(0, Qt::UserRole, stack_->addWidget(new SettingsTextPage(title, text, stack_)));
    return item;
}

void CVeloSettingsDlg::AddPage(QTreeWidgetItem* group, const QString& name, SettingsPage* page) {
    auto* item = new QTreeWidgetItem(group, QStringList{name});
    item->setData(0, Qt::UserRole, stack_->addWidget(page));
    pages_.push_back(page);
}

bool CVeloSettingsDlg::SelectPage(const QString& group, const QString& page) {
    for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* groupItem = tree_->topLevelItem(g);
        if (groupItem->text(0) != group) continue;
        if (page.isEmpty()) {
            tree_->setCurrentItem(groupItem);
            return true;
        }
        for (int p = 0; p < groupItem->childCount(); ++p) {
            if (groupItem->child(p)->text(0) == page) {
                tree_->setCurrentItem(groupItem->child(p));
                return true;
            }
        }
    }
    return false;
}

QWidget* CVeloSettingsDlg::CurrentPage() const {
    return stack_->currentWidget();
}

std::vector<std::pair<QString, QStringList>> CVeloSettingsDlg::Tree() const {
    std::vector<std::pair<QString, QStringList>> tree;
    for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
        QStringList pages;
        for (int p = 0; p < tree_->topLevelItem(g)->childCount(); ++p)
            pages << tree_->topLevelItem(g)->child(p)->text(0);
        tree.emplace_back(tree_->topLevelItem(g)->text(0), pages);
    }
    return tree;
}

void CVeloSettingsDlg::accept() {
    for (SettingsPage* page : pages_) {
        if (!page->Check()) {
            stack_->setCurrentWidget(page);
            return;
        }
    }
    for (SettingsPage* page : pages_) {
        if (!page->Save()) {
            stack_->setCurrentWidget(page);
            return;
        }
    }
    QDialog::accept();
}
