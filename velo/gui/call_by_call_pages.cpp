#include "call_by_call_pages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "app_caption.h"
#include "config_keys.h"
#include "list_layout_view.h"
#include "msgbox.h"
#include "sortable_row.h"
#include "tariff_dialogs.h"

namespace {

constexpr int kRecordIdRole = Qt::UserRole;
constexpr const char* kNameMissing = "Bitte geben Sie einen Namen ein.";

QTreeWidget* NewList(const char* const* titles, size_t count, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    QStringList headings;
    for (size_t i = 0; i < count; ++i) headings << QString::fromUtf8(titles[i]);
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    return list;
}

// "&Neu", "&Bearbeiten", "&Löschen" beside a list, wired to the commands.
QVBoxLayout* CommandButtons(QWidget* page, const std::function<void()>& add,
                            const std::function<void()>& edit, const std::function<void()>& remove) {
    auto* column = new QVBoxLayout;
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"&Neu", add}, {"&Bearbeiten", edit}, {"&Löschen", remove}};
    for (const auto& [text, command] : commands) {
        auto* button = new QPushButton(QString::fromUtf8(text), page);
        QObject::connect(button, &QPushButton::clicked, page, command);
        column->addWidget(button);
    }
    column->addStretch(1);
    return column;
}

std::optional<int> CurrentId(const QTreeWidget* list) {
    const QTreeWidgetItem* item = list->currentItem();
    if (!item) return std::nullopt;
    return item->data(0, kRecordIdRole).toInt();
}

void SelectId(QTreeWidget* list, std::optional<int> id) {
    if (!id) return;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->data(0, kRecordIdRole).toInt() == *id) {
            list->setCurrentItem(list->topLevelItem(i));
            return;
        }
    }
}

bool NameGiven(const std::string& name) {
    if (!name.empty()) return true;
    ShowMessageBox(kNameMissing, kAppCaption, MB_ICONEXCLAMATION);
    return false;
}

}  // namespace

ListSettingsPage::ListSettingsPage(const std::string& config, const char* layoutSection,
                                   QWidget* parent)
    : SettingsPage(parent), settings_(config), layoutSection_(layoutSection) {}

void ListSettingsPage::ShowLayout(const std::vector<int>& widths) {
    read_.Load(settings_, layoutSection_);
    ShowListLayout(list_, read_, widths);
    shown_ = TakeListLayout(list_, read_);
}

bool ListSettingsPage::Run(QDialog& dialog) {
    if (hook_) QTimer::singleShot(0, &dialog, [this, &dialog] { hook_(dialog); });
    return dialog.exec() == QDialog::Accepted;
}

bool ListSettingsPage::Save() {
    ListLayout now = TakeListLayout(list_, read_);
    if ((changed_ && !SaveList()) ||
        !(SameLayout(now, shown_) || now.Save(settings_, layoutSection_))) {
        ShowSettingsNotSaved(settings_.Path());
        return false;
    }
    return true;
}

CProviderListDlg::CProviderListDlg(const std::string& config, QWidget* parent)
    : ListSettingsPage(config, cfg::kCallByCallProvidersLayout, parent) {
    providers_.Load(settings_);
    list_ = NewList(tariff::kProviderColumns.data(), tariff::kProviderColumns.size(), this);
    list_->setObjectName(QStringLiteral("providers"));
    Fill();
    ShowLayout({180, 100});
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditProvider(); });

    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(CommandButtons(this, [this] { NewProvider(); }, [this] { EditProvider(); },
                                  [this] { DeleteProvider(); }));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Call By Call Provider"), this));
    layout->addLayout(row, 1);
}

void CProviderListDlg::Fill() {
    std::optional<int> selected = Selected();
    list_->clear();
    for (const ListItem& p : providers_.List().Items()) {
        auto* row = new SortableRow(list_);
        row->setText(0, QString::fromStdString(p.fields[tariff::kProviderName]));
        row->setText(1, QString::fromStdString(p.fields[tariff::kProviderPrefix]));
        row->setData(0, kRecordIdRole, p.id);
    }
    KeepSorted(list_);
    SelectId(list_, selected);
}

std::optional<int> CProviderListDlg::Selected() const {
    return CurrentId(list_);
}

void CProviderListDlg::NewProvider() {
    CProviderDlg dialog("", "", [this](const std::string& name, const std::string& prefix) {
        return NameGiven(name) && providers_.Store(std::nullopt, name, prefix);
    }, this);
    if (!Run(dialog)) return;
    changed_ = true;
    Fill();
    SelectId(list_, providers_.List().Items().back().id);
}

void CProviderListDlg::EditProvider() {
    std::optional<int> id = Selected();
    const ListItem* provider = providers_.SelectForEdit(id);
    if (!provider) return;
    CProviderDlg dialog(provider->fields[tariff::kProviderName],
                        provider->fields[tariff::kProviderPrefix],
                        [this, id](const std::string& name, const std::string& prefix) {
                            return NameGiven(name) && providers_.Store(id, name, prefix);
                        },
                        this);
    if (!Run(dialog)) return;
    changed_ = true;
    Fill();
}

void CProviderListDlg::DeleteProvider() {
    if (!providers_.Remove(Selected())) return;
    changed_ = true;
    Fill();
}

bool CProviderListDlg::SaveList() {
    return providers_.Save(settings_);
}

CTariffPlanDlg::CTariffPlanDlg(const std::string& config, const CProviderListDlg* providers,
                               QWidget* parent)
    : ListSettingsPage(config, cfg::kCallByCallTariffLayout, parent), providerPage_(providers) {
    plans_.Load(settings_);
    plan_ = new QComboBox(this);
    plan_->setObjectName(QStringLiteral("plan"));
    plan_->setMinimumContentsLength(20);
    list_ = NewList(tariff::kTariffColumns.data(), tariff::kTariffColumns.size(), this);
    list_->setObjectName(QStringLiteral("tariffs"));
    TakeProviders();
    FillPlans(std::nullopt);
    ShowLayout({40, 45, 45, 55, 55, 150});
    connect(plan_, &QComboBox::currentIndexChanged, this, [this] { FillTariffs(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditTariff(); });

    auto* planBox = new QGroupBox(QStringLiteral("Tarifplan"), this);
    auto* planRow = new QHBoxLayout(planBox);
    auto* planLabel = new QLabel(QStringLiteral("&Tarifplan:"), planBox);
    planLabel->setBuddy(plan_);
    planRow->addWidget(planLabel);
    planRow->addWidget(plan_, 1);
    const std::pair<const char*, void (CTariffPlanDlg::*)()> planCommands[] = {
        {"N&eu", &CTariffPlanDlg::NewPlan},
        {"Bea&rbeiten", &CTariffPlanDlg::EditPlan},
        {"L&öschen", &CTariffPlanDlg::DeletePlan}};
    for (const auto& [text, command] : planCommands) {
        auto* button = new QPushButton(QString::fromUtf8(text), planBox);
        connect(button, &QPushButton::clicked, this, command);
        planRow->addWidget(button);
    }

    auto* tariffBox = new QGroupBox(QStringLiteral("Tarife"), this);
    auto* tariffRow = new QHBoxLayout(tariffBox);
    tariffRow->addWidget(list_, 1);
    tariffRow->addLayout(CommandButtons(this, [this] { NewTariff(); }, [this] { EditTariff(); },
                                        [this] { DeleteTariff(); }));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(planBox);
    layout->addWidget(tariffBox, 1);
}

void CTariffPlanDlg::showEvent(QShowEvent* event) {
    // Providers made or renamed on the provider page show here at once.
    TakeProviders();
    FillTariffs();
    SettingsPage::showEvent(event);
}

void CTariffPlanDlg::TakeProviders() {
    if (providerPage_) plans_.SetProviders(providerPage_->Providers().List());
}

void CTariffPlanDlg::FillPlans(std::optional<int> select) {
    if (!select) select = SelectedPlan();
    {
        QSignalBlocker block(plan_);
        plan_->clear();
        for (const ListItem& plan : plans_.Plans().Items()) {
            plan_->addItem(QString::fromStdString(plan.fields[tariff::kPlanName]), plan.id);
            if (select && plan.id == *select) plan_->setCurrentIndex(plan_->count() - 1);
        }
    }
    FillTariffs();
}

void CTariffPlanDlg::FillTariffs() {
    std::optional<int> selected = SelectedTariff();
    list_->clear();
    const ItemList* entries = plans_.Entries(SelectedPlanKey());
    if (!entries) return;
    for (const ListItem& item : entries->Items()) {
        std::vector<std::string> cells = plans_.Row(item);
        tariff::Entry entry = tariff::Entry::FromItem(item);
        const long long keys[] = {std::atoll(entry.number.c_str()), entry.firstDay, entry.lastDay,
                                  entry.firstHour, entry.lastHour};
        auto* row = new SortableRow(list_);
        for (size_t c = 0; c < cells.size(); ++c) {
            row->setText(static_cast<int>(c), QString::fromStdString(cells[c]));
            if (c < std::size(keys)) row->setData(static_cast<int>(c), kSortKeyRole, keys[c]);
        }
        row->setData(0, kRecordIdRole, item.id);
    }
    KeepSorted(list_);
    SelectId(list_, selected);
}

std::optional<int> CTariffPlanDlg::SelectedPlan() const {
    if (plan_->currentIndex() < 0) return std::nullopt;
    return plan_->currentData().toInt();
}

std::string CTariffPlanDlg::SelectedPlanKey() const {
    std::optional<int> id = SelectedPlan();
    const ListItem* plan = nullptr;
    for (const ListItem& p : plans_.Plans().Items())
        if (id && p.id == *id) plan = &p;
    return plan ? plan->fields[tariff::kPlanKey] : "";
}

std::optional<int> CTariffPlanDlg::SelectedTariff() const {
    return CurrentId(list_);
}

void CTariffPlanDlg::NewPlan() {
    CPlanDlg dialog("", [this](const std::string& name) {
        return NameGiven(name) && plans_.StorePlan(std::nullopt, name);
    }, this);
    if (!Run(dialog)) return;
    changed_ = true;
    FillPlans(plans_.Plans().Items().back().id);
}

void CTariffPlanDlg::EditPlan() {
    std::optional<int> id = SelectedPlan();
    const ListItem* plan = plans_.SelectForEdit(id);
    if (!plan) return;
    CPlanDlg dialog(plan->fields[tariff::kPlanName], [this, id](const std::string& name) {
        return NameGiven(name) && plans_.StorePlan(id, name);
    }, this);
    if (!Run(dialog)) return;
    changed_ = true;
    FillPlans(id);
}

void CTariffPlanDlg::DeletePlan() {
    if (!plans_.RemovePlan(SelectedPlan())) return;
    changed_ = true;
    FillPlans(std::nullopt);
}

void CTariffPlanDlg::NewTariff() {
    if (!plans_.SelectForEdit(SelectedPlan())) return;
    TakeProviders();
    std::vector<std::string> names;
    for (const ListItem& p : plans_.Providers().Items()) names.push_back(p.fields[tariff::kProviderName]);
    std::string key = SelectedPlanKey();
    CTariffDlg dialog(tariff::EntryRanges{}, names, "",
                      [this, key](const tariff::EntryRanges& ranges, const std::string& provider) {
                          return plans_.StoreEntry(key, "", ranges, provider);
                      },
                      this);
    if (!Run(dialog)) return;
    changed_ = true;
    FillTariffs();
}

void CTariffPlanDlg::EditTariff() {
    std::string key = SelectedPlanKey();
    const ListItem* item = plans_.SelectEntryForEdit(key, SelectedTariff());
    if (!item) return;
    TakeProviders();
    tariff::Entry entry = tariff::Entry::FromItem(*item);
    std::vector<std::string> names;
    std::string current;
    for (const ListItem& p : plans_.Providers().Items()) {
        names.push_back(p.fields[tariff::kProviderName]);
        if (p.fields[tariff::kProviderKey] == entry.providerKey) current = names.back();
    }
    CTariffDlg dialog({entry.firstDay, entry.lastDay, entry.firstHour, entry.lastHour}, names, current,
                      [this, key, number = entry.number](const tariff::EntryRanges& ranges,
                                                         const std::string& provider) {
                          return plans_.StoreEntry(key, number, ranges, provider);
                      },
                      this);
    if (!Run(dialog)) return;
    changed_ = true;
    FillTariffs();
}

void CTariffPlanDlg::DeleteTariff() {
    if (!plans_.RemoveEntry(SelectedPlanKey(), SelectedTariff())) return;
    changed_ = true;
    FillTariffs();
}

bool CTariffPlanDlg::SaveList() {
    return plans_.Save(settings_);
}
