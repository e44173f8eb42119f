// The "Call By Call" pages of the settings window: the providers with
// their prefixes, and the tariff plans with the tariff list of the chosen
// plan. Both edit their lists in memory and write them, with the lists'
// column layouts, only when the settings window is confirmed.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "list_layout.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "tariff_pages.h"

class QComboBox;
class QTreeWidget;

// Tests see each dialog before it runs (and may fill and close it).
using DialogHook = std::function<void(QDialog&)>;

// A page around one list whose column layout is kept in a ListLayout
// section: its list and layout are written on OK, the list only when it
// was changed and the layout only when the user changed it.
class ListSettingsPage : public SettingsPage {
public:
    QTreeWidget* List() const { return list_; }
    void SetDialogHook(DialogHook hook) { hook_ = std::move(hook); }

    bool Save() override;

protected:
    ListSettingsPage(const std::string& config, const char* layoutSection, QWidget* parent);
    // Writes the page's list to the settings file.
    virtual bool SaveList() = 0;
    // Shows the stored layout on the list, once it is filled.
    void ShowLayout(const std::vector<int>& widths);
    // Runs an editing dialog; true when it was confirmed.
    bool Run(QDialog& dialog);

    SettingsFile settings_;
    bool changed_ = false;
    QTreeWidget* list_ = nullptr;

private:
    const char* layoutSection_;
    ListLayout read_, shown_;
    DialogHook hook_;
};

class CProviderListDlg : public ListSettingsPage {
public:
    CProviderListDlg(const std::string& config, QWidget* parent);

    const tariff::ProviderPage& Providers() const { return providers_; }

    void NewProvider();
    void EditProvider();
    void DeleteProvider();

protected:
    bool SaveList() override;

private:
    void Fill();
    std::optional<int> Selected() const;

    tariff::ProviderPage providers_;
};

class CTariffPlanDlg : public ListSettingsPage {
public:
    // providers: the provider page of the same window, whose list the
    // entry dialog offers as it is being edited.
    CTariffPlanDlg(const std::string& config, const CProviderListDlg* providers, QWidget* parent);

    QComboBox* PlanBox() const { return plan_; }
    const tariff::TariffPlanPage& Plans() const { return plans_; }

    void NewPlan();
    void EditPlan();
    void DeletePlan();
    void NewTariff();
    void EditTariff();
    void DeleteTariff();

protected:
    bool SaveList() override;
    void showEvent(QShowEvent* event) override;

private:
    void FillPlans(std::optional<int> select);
    void FillTariffs();
    std::optional<int> SelectedPlan() const;
    std::string SelectedPlanKey() const;
    std::optional<int> SelectedTariff() const;
    void TakeProviders();

    const CProviderListDlg* providerPage_;
    tariff::TariffPlanPage plans_;
    QComboBox* plan_;
};
