// The "Call By Call" pages of the settings window: the providers with
// their prefixes, and the tariff plans with the tariff list of the chosen
// plan. Both edit their lists in memory and write them, with the lists'
// column layouts, only when the settings window is confirmed.
#pragma once

#include <functional>
#include <optional>

#include "list_layout.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "tariff_pages.h"

class QComboBox;
class QTreeWidget;

// Tests see each dialog before it runs (and may fill and close it).
using DialogHook = std::function<void(QDialog&)>;

class CProviderListDlg : public SettingsPage {
public:
    CProviderListDlg(const std::string& config, QWidget* parent);

    QTreeWidget* List() const { return list_; }
    const tariff::ProviderPage& Providers() const { return providers_; }
    void SetDialogHook(DialogHook hook) { hook_ = std::move(hook); }

    void NewProvider();
    void EditProvider();
    void DeleteProvider();

    bool Save() override;

private:
    void Fill();
    std::optional<int> Selected() const;
    bool Run(QDialog& dialog);

    SettingsFile settings_;
    tariff::ProviderPage providers_;
    bool changed_ = false;
    ListLayout read_, shown_;
    QTreeWidget* list_;
    DialogHook hook_;
};

class CTariffPlanDlg : public SettingsPage {
public:
    // providers: the provider page of the same window, whose list the
    // entry dialog offers as it is being edited.
    CTariffPlanDlg(const std::string& config, const CProviderListDlg* providers, QWidget* parent);

    QComboBox* PlanBox() const { return plan_; }
    QTreeWidget* List() const { return list_; }
    const tariff::TariffPlanPage& Plans() const { return plans_; }
    void SetDialogHook(DialogHook hook) { hook_ = std::move(hook); }

    void NewPlan();
    void EditPlan();
    void DeletePlan();
    void NewTariff();
    void EditTariff();
    void DeleteTariff();

    bool Save() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillPlans(std::optional<int> select);
    void FillTariffs();
    std::optional<int> SelectedPlan() const;
    std::string SelectedPlanKey() const;
    std::optional<int> SelectedTariff() const;
    void TakeProviders();
    bool Run(QDialog& dialog);

    SettingsFile settings_;
    const CProviderListDlg* providerPage_;
    tariff::TariffPlanPage plans_;
    bool changed_ = false;
    ListLayout read_, shown_;
    QComboBox* plan_;
    QTreeWidget* list_;
    DialogHook hook_;
};
