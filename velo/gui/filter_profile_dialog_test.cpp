#include "filter_profile_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "config_keys.h"
#include "item_list.h"
#include "msgbox_recorder.h"
#include "relay_filter.h"
#include "test_dir.h"

namespace {

class FilterProfileDlgTest : public ::testing::Test {
protected:
    std::vector<ListItem> Filters() const {
        ItemList list(cfg::kFilterProfileFields);
        list.Load(settings_, cfg::kFilterProfiles);
        return list.Items();
    }

    TestDir dir_;
    SettingsFile settings_{dir_.File("Telvora.cfg")};
    MessageBoxRecorder boxes_;
};

using Dlg = CFilterProfileDlg;

TEST_F(FilterProfileDlgTest, StoredFlagsCheckTheirBoxes) {
    dir_.Put("Telvora.cfg",
             "[FilterProfiles]\nItems=1\nitem-001=3||Nacht|18|||123;456|||456||Werbung\n");
    Dlg dlg(settings_, 3);
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Nacht"));
    const bool expected[] = {true, false, false, true, false, false};
    for (int t = 0; t < Dlg::kTestCount; ++t)
        EXPECT_EQ(dlg.TestBox(Dlg::Test(t))->isChecked(), expected[t]) << "test " << t;
    EXPECT_EQ(dlg.TestEdit(Dlg::kInMsn)->text(), QStringLiteral("123;456"));
    EXPECT_EQ(dlg.TestEdit(Dlg::kOutMsn)->text(), QStringLiteral("456"));
    EXPECT_EQ(dlg.TestEdit(Dlg::kOutText)->text(), QStringLiteral("Werbung"));
}

TEST_F(FilterProfileDlgTest, BoxesWriteTheirFlagsAndListsTheirFields) {
    Dlg dlg(settings_, 0);
    dlg.NameEdit()->setText("Nacht");
    dlg.TestBox(Dlg::kInMsn)->setChecked(true);
    dlg.TestEdit(Dlg::kInMsn)->setText("123;456");
    dlg.TestBox(Dlg::kOutMsn)->setChecked(true);
    dlg.TestEdit(Dlg::kOutMsn)->setText("456");
    dlg.TestEdit(Dlg::kInNumber)->setText("0221");
    dlg.TestEdit(Dlg::kInText)->setText("Kunde");
    dlg.TestEdit(Dlg::kOutNumber)->setText("0800");
    dlg.TestEdit(Dlg::kOutText)->setText("Werbung");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    auto items = Filters();
    ASSERT_EQ(items.size(), 1u);
    const auto& f = items[0].fields;
    EXPECT_EQ(f[1], "Nacht");
    EXPECT_EQ(f[relay_filter::kFlags], "18");
    EXPECT_EQ(f[relay_filter::kMsnIn], "123;456");
    EXPECT_EQ(f[relay_filter::kNumberIn], "0221");
    EXPECT_EQ(f[relay_filter::kTextIn], "Kunde");
    EXPECT_EQ(f[relay_filter::kMsnOut], "456");
    EXPECT_EQ(f[relay_filter::kNumberOut], "0800");
    EXPECT_EQ(f[relay_filter::kTextOut], "Werbung");
    // What the relay thread makes of it.
    EXPECT_TRUE(FilterRelays(f, "123", "", ""));
    EXPECT_FALSE(FilterRelays(f, "456", "", ""));
    EXPECT_FALSE(FilterRelays(f, "789", "", ""));
}

TEST_F(FilterProfileDlgTest, EveryBoxHasItsOwnFlag) {
    const int flags[] = {2, 4, 8, 16, 32, 64};
    for (int t = 0; t < Dlg::kTestCount; ++t) {
        TestDir dir;
        SettingsFile settings(dir.File("Telvora.cfg"));
        Dlg dlg(settings, 0);
        dlg.NameEdit()->setText("F");
        dlg.TestBox(Dlg::Test(t))->setChecked(true);
        dlg.accept();
        ItemList list(cfg::kFilterProfileFields);
        list.Load(settings, cfg::kFilterProfiles);
        ASSERT_EQ(list.Items().size(), 1u);
        EXPECT_EQ(list.Items()[0].fields[relay_filter::kFlags], std::to_string(flags[t]));
        Dlg again(settings, list.Items()[0].id);
        for (int u = 0; u < Dlg::kTestCount; ++u)
            EXPECT_EQ(again.TestBox(Dlg::Test(u))->isChecked(), u == t) << t << " " << u;
    }
}

TEST_F(FilterProfileDlgTest, ABarInAListStaysInItsField) {
    Dlg dlg(settings_, 0);
    dlg.NameEdit()->setText("A|B");
    dlg.TestEdit(Dlg::kInText)->setText("Kunde|Lieferant");
    dlg.TestEdit(Dlg::kOutMsn)->setText("456");
    dlg.accept();
    auto f = Filters()[0].fields;
    EXPECT_EQ(f[1], "A|B");
    EXPECT_EQ(f[relay_filter::kTextIn], "Kunde|Lieferant");
    EXPECT_EQ(f[relay_filter::kMsnOut], "456");
    Dlg again(settings_, dlg.ProfileId());
    EXPECT_EQ(again.TestEdit(Dlg::kInText)->text(), QStringLiteral("Kunde|Lieferant"));
    EXPECT_EQ(again.NameEdit()->text(), QStringLiteral("A|B"));
}

TEST_F(FilterProfileDlgTest, CancelAndUnchangedOkWriteNothing) {
    // Flag 1 is none of the dialog's and stays; fields 0, 3, 4 stay as well.
    const std::string file =
        "[FilterProfiles]\nItems=1\nitem-001=3|x|Nacht|19|y|z|123|||||\n";
    dir_.Put("Telvora.cfg", file);
    {
        Dlg dlg(settings_, 3);
        dlg.TestBox(Dlg::kInText)->setChecked(true);
        dlg.NameEdit()->setText("Tag");
        dlg.reject();
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
    {
        Dlg dlg(settings_, 3);
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(dir_.Get("Telvora.cfg"), file);
    {
        Dlg dlg(settings_, 3);
        dlg.TestBox(Dlg::kInMsn)->setChecked(false);
        dlg.accept();
    }
    EXPECT_EQ(Filters()[0].fields, (std::vector<std::string>{"x", "Nacht", "17", "y", "z", "123",
                                                             "", "", "", "", ""}));
}

TEST_F(FilterProfileDlgTest, ANameIsRequired) {
    Dlg dlg(settings_, 0);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Bitte geben Sie einen Profilnamen ein."});
    EXPECT_TRUE(Filters().empty());
}

}  // namespace
