#include "profile_lists_dialog.h"

#include <QHBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app_caption.h"
#include "config_keys.h"
#include "filter_profile_dialog.h"
#include "item_list.h"
#include "msgbox.h"
#include "relay_profile_dialog.h"
#include "template_profile_dialog.h"

namespace {

struct PageInfo {
    const char* title;
    const char* section;
    size_t fieldCount;
};

const PageInfo kPageInfo[] = {
    {"&Weiterleitung", cfg::kRelayProfiles, cfg::kRelayProfileFields},
    {"&Filter", cfg::kFilterProfiles, cfg::kFilterProfileFields},
    {"&Vorlagen", cfg::kTemplateProfiles, cfg::kTemplateProfileFields},
};

// Field 1 holds the name in each of the three lists.
constexpr size_t kNameField = 1;

const char* ProfileKindTitle(const std::string& code) {
    static const char* const kNames[] = {"", "Email", "Datei", "SMS D1", "SMS D2", "SMS E-Plus"};
    int n = std::atoi(code.c_str());
    return n >= 1 && n <= 5 ? kNames[n] : "?";
}

}  // namespace

CProfileListsDlg::CProfileListsDlg(const std::string& config, QWidget* parent)
    : QDialog(parent), settings_(config) {
    setWindowTitle(QStringLiteral("Weiterleitungsprofile"));
    pages_ = new QTabWidget(this);
    for (int p = 0; p < kPageCount; ++p) {
        Page page = static_cast<Page>(p);
        auto* tab = new QWidget(pages_);
        auto* list = new QTreeWidget(tab);
        list->setObjectName(QStringLiteral("list%1").arg(p));
        list->setRootIsDecorated(false);
        list->setHeaderLabels(page == kRelayPage
                                  ? QStringList{QStringLiteral("Name"), QStringLiteral("Art")}
                                  : QStringList{QStringLiteral("Name")});
        list->header()->setStretchLastSection(true);
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this, page] { EditProfile(page); });
        lists_[p] = list;
        auto* add = new QPushButton(QStringLiteral("&Neu..."), tab);
        auto* edit = new QPushButton(QStringLiteral("&Bearbeiten..."), tab);
        auto* remove = new QPushButton(QStringLiteral("&Löschen"), tab);
        connect(add, &QPushButton::clicked, this, [this, page] { NewProfile(page); });
        connect(edit, &QPushButton::clicked, this, [this, page] { EditProfile(page); });
        connect(remove, &QPushButton::clicked, this, [this, page] { DeleteProfile(page); });
        auto* buttons = new QVBoxLayout;
        for (QPushButton* b : {add, edit, remove}) buttons->addWidget(b);
        buttons->addStretch(1);
        auto* row = new QHBoxLayout(tab);
        row->addWidget(list, 1);
        row->addLayout(buttons);
        pages_->addTab(tab, QString::fromUtf8(kPageInfo[p].title));
        Fill(page);
    }
    auto* close = new QPushButton(QStringLiteral("Schließen"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(480, 320);
}

void CProfileListsDlg::Fill(Page page) {
    const PageInfo& info = kPageInfo[page];
    ItemList items(info.fieldCount);
    items.Load(settings_, info.section);
    QTreeWidget* list = lists_[page];
    list->clear();
    for (const ListItem& item : items.Items()) {
        auto* row = new QTreeWidgetItem(list);
        row->setText(0, QString::fromStdString(item.fields[kNameField]));
        if (page == kRelayPage) row->setText(1, QString::fromUtf8(ProfileKindTitle(item.fields[0])));
        row->setData(0, Qt::UserRole, item.id);
    }
    if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
}

int CProfileListsDlg::SelectedId(Page page) const {
    QTreeWidgetItem* row = lists_[page]->currentItem();
    return row ? row->data(0, Qt::UserRole).toInt() : 0;
}

bool CProfileListsDlg::RunEditor(QDialog& editor) {
    if (editorShown_) QTimer::singleShot(0, &editor, [this, &editor] { editorShown_(editor); });
    return editor.exec() == QDialog::Accepted;
}

void CProfileListsDlg::NewProfile(Page page) {
    std::unique_ptr<QDialog> editor;
    if (page == kRelayPage) {
        editor = std::make_unique<CRelayProfileDlg>(settings_, 0, relay_op::kMail, this);
    } else if (page == kFilterPage) {
        editor = std::make_unique<CFilterProfileDlg>(settings_, 0, this);
    } else {
        editor = std::make_unique<CTemplateProfileDlg>(settings_, 0, this);
    }
    if (RunEditor(*editor)) Fill(page);
}

void CProfileListsDlg::EditProfile(Page page) {
    int id = SelectedId(page);
    if (id == 0) return;
    std::unique_ptr<QDialog> editor;
    if (page == kRelayPage) {
        editor = std::make_unique<CRelayProfileDlg>(settings_, id, relay_op::kMail, this);
    } else if (page == kFilterPage) {
        editor = std::make_unique<CFilterProfileDlg>(settings_, id, this);
    } else {
        editor = std::make_unique<CTemplateProfileDlg>(settings_, id, this);
    }
    if (RunEditor(*editor)) Fill(page);
}

void CProfileListsDlg::DeleteProfile(Page page) {
    int id = SelectedId(page);
    if (id == 0) return;
    const PageInfo& info = kPageInfo[page];
    std::string name = lists_[page]->currentItem()->text(0).toStdString();
    if (ShowMessageBox("Soll das Profil '" + name + "' gelöscht werden?", kAppCaption,
                       MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    ItemList items(info.fieldCount);
    if (!items.Load(settings_, info.section)) return;
    auto& all = items.Items();
    all.erase(std::remove_if(all.begin(), all.end(), [id](const ListItem& i) { return i.id == id; }),
              all.end());
    if (!items.Save(settings_, info.section)) {
        ShowMessageBox("Das Profil kann nicht gelöscht werden: '" + settings_.Path() +
                           "' ist nicht beschreibbar.",
                       kAppCaption, MB_ICONSTOP);
    }
    Fill(page);
}
