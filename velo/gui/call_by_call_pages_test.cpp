// The call-by-call pages: providers and tariff plans made, refused and
// kept through their dialogs, written only on OK, and the lists' column
// layouts kept between runs.
#include "call_by_call_pages.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>
#include <ctime>

#include "msgbox_recorder.h"
#include "settings_dialog.h"
#include "tariff_dialogs.h"
#include "tariffs.h"
#include "test_dir.h"

namespace {

// 2026-12-07 is a Monday.
std::time_t InDecemberWeek(int weekday, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 7 + weekday;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::vector<std::string> Column(const QTreeWidget* list, int column) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts.push_back(list->topLevelItem(i)->text(column).toStdString());
    return texts;
}

class CallByCallPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Put("Telvora.cfg",
                 "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Telco|01013\n"
                 "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Werktags|CBCT_01\n"
                 "[CBCT_01]\nItems=1\nitem-001=1|1|0|4|8|17|CBCP_01\n");
    }
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    std::string PrefixAt(const std::string& plan, std::time_t when) const {
        return tariff::PrefixAt(SettingsFile(Config()), plan, when);
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

TEST_F(CallByCallPagesTest, ProvidersAreRefusedRenamedAndDeletedAndWrittenOnlyOnSave) {
    CProviderListDlg page(Config(), nullptr);
    const std::string before = dir_.Get("Telvora.cfg");

    // A name that another provider has keeps the dialog open with the
    // name selected; another name closes it.
    bool stayedOpen = false;
    page.SetDialogHook([&](QDialog& dialog) {
        auto& d = dynamic_cast<CProviderDlg&>(dialog);
        d.NameEdit()->setText("Telco");
        d.PrefixEdit()->setText("01088");
        d.accept();
        stayedOpen = d.isVisible() && d.NameEdit()->selectedText() == "Telco";
        d.NameEdit()->setText("Fernruf");
        d.accept();
    });
    page.NewProvider();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Provider wurde bereits definiert!"});
    EXPECT_EQ(Column(page.List(), 0), (std::vector<std::string>{"Telco", "Fernruf"}));
    EXPECT_EQ(Column(page.List(), 1), (std::vector<std::string>{"01013", "01088"}));

    // Renamed, the provider keeps its key, so the plan naming it still dials it.
    page.List()->setCurrentItem(page.List()->topLevelItem(0));
    page.SetDialogHook([](QDialog& dialog) {
        auto& d = dynamic_cast<CProviderDlg&>(dialog);
        EXPECT_EQ(d.PrefixEdit()->text(), "01013");
        d.NameEdit()->setText("Telco | Spar");
        d.accept();
    });
    page.EditProvider();
    EXPECT_EQ(page.List()->topLevelItem(0)->text(0), "Telco | Spar");

    page.List()->setCurrentItem(nullptr);
    page.EditProvider();
    EXPECT_EQ(boxes_.Texts().back(), "Das Objekt kann nicht ausgawählt werden!");
    page.List()->setCurrentItem(page.List()->topLevelItem(1));
    boxes_.QueueAnswer(IDYES);
    page.DeleteProvider();
    EXPECT_EQ(boxes_.Texts().back(), "Möchten Sie den Eintrag für 'Fernruf' löschen?");

    EXPECT_EQ(dir_.Get("Telvora.cfg"), before) << "nothing is written before OK";
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(PrefixAt("CBCT_01", InDecemberWeek(2, 12, 30)), "01013");
    CProviderListDlg again(Config(), nullptr);
    EXPECT_EQ(Column(again.List(), 0), std::vector<std::string>{"Telco | Spar"});
}

TEST_F(CallByCallPagesTest, PlansAndTariffsAreCheckedAsTheyAreMade) {
    CProviderListDlg providers(Config(), nullptr);
    CTariffPlanDlg page(Config(), &providers, nullptr);
    ASSERT_EQ(page.PlanBox()->currentText(), "Werktags");
    EXPECT_EQ(Column(page.List(), 1), std::vector<std::string>{"Mo"});
    EXPECT_EQ(Column(page.List(), 3), std::vector<std::string>{"08:00"});
    EXPECT_EQ(Column(page.List(), 4), std::vector<std::string>{"17:59"});
    EXPECT_EQ(Column(page.List(), 5), std::vector<std::string>{"Telco"});

    bool stayedOpen = false;
    page.SetDialogHook([&](QDialog& dialog) {
        auto& d = dynamic_cast<CPlanDlg&>(dialog);
        d.NameEdit()->setText("Werktags");
        d.accept();
        stayedOpen = d.isVisible();
        d.NameEdit()->setText("Abends");
        d.accept();
    });
    page.NewPlan();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(boxes_.Texts().back(), "Tarifplan wurde bereits definiert!");
    EXPECT_EQ(page.PlanBox()->currentText(), "Abends");
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);

    // A provider made on the provider page is offered at once.
    providers.SetDialogHook([](QDialog& dialog) {
        auto& d = dynamic_cast<CProviderDlg&>(dialog);
        d.NameEdit()->setText("Fernruf");
        d.PrefixEdit()->setText("01088");
        d.accept();
    });
    providers.NewProvider();

    // Back to the working-day plan: Monday 17:00 to 20:59 meets 17:00 to
    // 17:59 and is refused; from 18:00 it is taken. A first day after the
    // last one is refused at once and goes back to Monday.
    page.PlanBox()->setCurrentIndex(0);
    std::vector<std::string> offered;
    std::vector<std::string> texts;
    page.SetDialogHook([&](QDialog& dialog) {
        auto& d = dynamic_cast<CTariffDlg&>(dialog);
        for (int i = 0; i < d.ProviderBox()->count(); ++i)
            offered.push_back(d.ProviderBox()->itemText(i).toStdString());
        d.LastDayBox()->setCurrentIndex(4);
        d.FirstDayBox()->setCurrentIndex(6);
        texts.push_back(boxes_.Texts().back());
        EXPECT_EQ(d.FirstDayBox()->currentIndex(), 0);
        d.LastDayBox()->setCurrentIndex(0);
        d.FirstHourBox()->setCurrentIndex(17);
        d.LastHourBox()->setCurrentIndex(20);
        d.ProviderBox()->setCurrentText("Fernruf");
        d.accept();
        EXPECT_TRUE(d.isVisible());
        texts.push_back(boxes_.Texts().back());
        d.FirstHourBox()->setCurrentIndex(18);
        d.accept();
    });
    page.NewTariff();
    EXPECT_EQ(offered, (std::vector<std::string>{"Telco", "Fernruf"}));
    EXPECT_EQ(texts, (std::vector<std::string>{"Falsche Auswahl",
                                               "Tariff überschneidet sich mit den anderen!"}));
    EXPECT_EQ(Column(page.List(), 0), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Column(page.List(), 3), (std::vector<std::string>{"08:00", "18:00"}));

    // Nothing is dialled differently until both pages are kept.
    EXPECT_EQ(PrefixAt("CBCT_01", InDecemberWeek(0, 19, 0)), "");
    ASSERT_TRUE(providers.Save());
    ASSERT_TRUE(page.Save());
    EXPECT_EQ(PrefixAt("CBCT_01", InDecemberWeek(0, 19, 0)), "01088");
    EXPECT_EQ(PrefixAt("CBCT_01", InDecemberWeek(1, 19, 0)), "");
    EXPECT_EQ(tariff::PlanChoices(SettingsFile(Config())).back().name, "Abends");
}

TEST_F(CallByCallPagesTest, TheColumnLayoutComesBackAndAnUntouchedListWritesNothing) {
    {
        CTariffPlanDlg page(Config(), nullptr, nullptr);
        ASSERT_TRUE(page.Save());
        EXPECT_EQ(SettingsFile(Config()).ReadText("CallByCallTariffLayout", "colSize", "-"), "-");
        page.List()->header()->resizeSection(5, 222);
        page.List()->header()->setSectionHidden(0, true);
        emit page.List()->header()->sectionClicked(1);
        emit page.List()->header()->sectionClicked(1);
        ASSERT_TRUE(page.Save());
    }
    SettingsFile file(Config());
    EXPECT_EQ(file.ReadText("CallByCallTariffLayout", "colEnable", ""), "0,1,1,1,1,1");
    EXPECT_EQ(file.ReadText("CallByCallTariffLayout", "colSort", ""), "1");
    EXPECT_EQ(file.ReadText("CallByCallTariffLayout", "sortDir", ""), "1");
    CTariffPlanDlg page(Config(), nullptr, nullptr);
    EXPECT_EQ(page.List()->header()->sectionSize(5), 222);
    EXPECT_TRUE(page.List()->header()->isSectionHidden(0));
    EXPECT_EQ(page.List()->header()->sortIndicatorSection(), 1);
    EXPECT_EQ(page.List()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(CallByCallPagesTest, APlanMadeInTheWindowCanBeChosenOnTheOtherPagesAtOnce) {
    CVeloSettingsDlg dialog(Config(), dir_.Path());
    ASSERT_TRUE(dialog.SelectPage("Call By Call", "Tarifpläne"));
    auto* page = dynamic_cast<CTariffPlanDlg*>(dialog.CurrentPage());
    ASSERT_TRUE(page);
    page->SetDialogHook([](QDialog& d) {
        dynamic_cast<CPlanDlg&>(d).NameEdit()->setText("Abends");
        d.accept();
    });
    page->NewPlan();
    ASSERT_TRUE(dialog.SelectPage("Notizen", "Absender & Call By Call"));
    auto* plan = dialog.CurrentPage()->findChild<QComboBox*>();
    ASSERT_EQ(plan->count(), 3);
    plan->setCurrentText("Abends");
    dialog.accept();
    SettingsFile file(Config());
    EXPECT_EQ(file.Read(cfg::kNoteTariffPlan), "CBCT_02");
    EXPECT_EQ(tariff::PlanChoices(file).back().key, "CBCT_02");
}

}  // namespace
