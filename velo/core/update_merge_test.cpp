#include "update_merge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "address_book.h"
#include "file_size_limit.h"
#include "item_list.h"
#include "msgbox_recorder.h"
#include "profile.h"
#include "settings_file.h"
#include "tariffs.h"
#include "test_dir.h"

namespace {

constexpr std::time_t kMergeTime = 1700000000;
// A Wednesday, 12:00 local time, for the prefix a plan gives.
std::time_t Wednesday() {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 10;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class UpdateMerge : public testing::Test {
protected:
    UpdateMergeResult Merge() {
        return MergeUpdateFile(dir_.File("VeloUpdate.dat"), Config(), dir_.File("AddrBook.xml"),
                               kMergeTime);
    }
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    std::vector<std::string> Records(const std::string& section) const {
        auto doc = ReadProfile(Config());
        return doc ? ItemList::ReadRecords(ProfileReader(*doc), section)
                   : std::vector<std::string>{};
    }
    std::string Read(const char* section, const char* key) const {
        return SettingsFile(Config()).ReadText(section, key, "-");
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

using Strings = std::vector<std::string>;

TEST_F(UpdateMerge, ShippedTemplatesReplaceTheirOlderVersionAndJoinWithoutTakingAnId) {
    dir_.Put("Telvora.cfg",
             "[RelayCall]\ntemplateId=2\n"
             "[TemplateProfiles]\nItems=2\n"
             "item-001=1|0|Standard|0|Anruf von %s|alt\n"
             "item-002=2|0|Eigene|0|Mein Betreff|Mein Text\n");
    dir_.Put("VeloUpdate.dat",
             "[TemplateProfiles]\nItems=5\n"
             "item-001=1|0|Standard|0|Anruf von %s|neu ¦ besser\n"
             "item-002=2|0|Kurz|0|Anruf|%s\n"
             "item-003=4|0|Neu|0|Notiz|%s\n"
             "item-004=7|0|Eigene|0|fremder Betreff|fremder Text\n"
             "item-005=0|0|Ohne Nummer|0|x|y\n");
    UpdateMergeResult result = Merge();
    EXPECT_TRUE(result.merged);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(
        Records("TemplateProfiles"),
        (Strings{"1|0|Standard|0|Anruf von %s|neu ¦ besser", "2|0|Eigene|0|Mein Betreff|Mein Text",
                 "3|0|Kurz|0|Anruf|%s", "4|0|Neu|0|Notiz|%s", "5|0|Ohne Nummer|0|x|y"}));
    EXPECT_EQ(result.added, 3);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.kept, 1);
    EXPECT_EQ(Read("RelayCall", "templateId"), "2");
    ItemList templates(cfg::kTemplateProfileFields);
    ASSERT_TRUE(templates.Load(SettingsFile(Config()), "TemplateProfiles"));
    EXPECT_EQ(templates.FindById(1)->fields[4], "neu | besser");
}

TEST_F(UpdateMerge, TariffPlansComeWithTheirEntriesAndKeepEveryReferenceValid) {
    dir_.Put("Telvora.cfg",
             "[Parameters]\nD1CallByCallTariffPlan=CBCT_02\n"
             "[CallByCallProviders]\nItems=2\n"
             "item-001=1|CBCP_01|Telco|01019\n"
             "item-002=2|CBCP_02|Eigener|01070\n"
             "[CallByCallTariffPlan]\nItems=2\n"
             "item-001=1|Standard|CBCT_01\n"
             "item-002=2|Nacht|CBCT_02\n"
             "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n"
             "[CBCT_02]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_02\n"
             // left behind by a plan deleted long ago
             "[CBCT_04]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    dir_.Put("VeloUpdate.dat",
             "[CallByCallProviders]\nItems=2\n"
             "item-001=1|CBCP_01|Telco|01013\n"
             "item-002=2|CBCP_02|Billig|01088\n"
             "[CallByCallTariffPlan]\nItems=3\n"
             "item-001=1|Standard|CBCT_01\n"
             "item-002=2|Wochenende|CBCT_02\n"
             "item-003=3|Sparen|CBCT_04\n"
             "[CBCT_01]\nItems=2\n"
             "item-001=1|1|0|4|0|23|CBCP_02\n"
             "item-002=2|2|5|6|0|23|CBCP_01\n"
             "[CBCT_02]\nItems=1\nitem-001=1|1|5|6|0|23|CBCP_02\n"
             "[CBCT_04]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    UpdateMergeResult result = Merge();
    ASSERT_TRUE(result.merged) << result.message;
    EXPECT_EQ(
        Records("CallByCallProviders"),
        (Strings{"1|CBCP_01|Telco|01013", "2|CBCP_02|Eigener|01070", "3|CBCP_03|Billig|01088"}));
    EXPECT_EQ(Records("CallByCallTariffPlan"),
              (Strings{"1|Standard|CBCT_01", "2|Nacht|CBCT_02", "3|Wochenende|CBCT_03",
                       "4|Sparen|CBCT_05"}));
    // The changed plan replaces its entries; entries follow Billig to its new key.
    EXPECT_EQ(Records("CBCT_01"), (Strings{"1|1|0|4|0|23|CBCP_03", "2|2|5|6|0|23|CBCP_01"}));
    EXPECT_EQ(Records("CBCT_02"), (Strings{"1|1|0|6|0|23|CBCP_02"}));
    EXPECT_EQ(Records("CBCT_03"), (Strings{"1|1|5|6|0|23|CBCP_03"}));
    EXPECT_EQ(Records("CBCT_04"), (Strings{"1|1|0|6|0|23|CBCP_01"}));
    EXPECT_EQ(Records("CBCT_05"), (Strings{"1|1|0|6|0|23|CBCP_01"}));
    EXPECT_EQ(result.added, 3);
    EXPECT_EQ(result.replaced, 2);

    SettingsFile config(Config());
    EXPECT_EQ(tariff::PrefixAt(config, "CBCT_01", Wednesday()), "01088");
    EXPECT_EQ(tariff::PrefixAt(config, config.Read(cfg::kD1TariffPlan), Wednesday()), "01070");
}

TEST_F(UpdateMerge, AnUpdateIsMergedOnceAndALaterEditSurvives) {
    dir_.Put("Telvora.cfg", "[TemplateProfiles]\nItems=1\nitem-001=1|0|Standard|0|S|alt\n");
    dir_.Put("VeloUpdate.dat", "[TemplateProfiles]\nItems=1\nitem-001=1|0|Standard|0|S|neu\n");
    ASSERT_TRUE(Merge().merged);
    EXPECT_NE(Read("Parameters", "mergedUpdate"), "-");

    WritePrivateProfileString("TemplateProfiles", "item-001", "1|0|Standard|0|S|meins",
                              Config().c_str());
    std::string edited = dir_.Get("Telvora.cfg");
    UpdateMergeResult again = Merge();
    EXPECT_FALSE(again.merged);
    EXPECT_EQ(again.message, "");
    EXPECT_EQ(dir_.Get("Telvora.cfg"), edited);

    // The next version's file is merged in its turn.
    dir_.Put("VeloUpdate.dat", "[TemplateProfiles]\nItems=1\nitem-001=1|0|Standard|0|S|v3\n");
    EXPECT_TRUE(Merge().merged);
    EXPECT_EQ(Records("TemplateProfiles"), (Strings{"1|0|Standard|0|S|v3"}));
}

TEST_F(UpdateMerge, AnUpdateThatCannotBeReadChangesNothing) {
    const std::string config = "[TemplateProfiles]\nItems=1\nitem-001=1|0|Standard|0|S|T\n";
    const std::string shipped = "[TemplateProfiles]\nItems=1\nitem-001=2|0|Neu|0|S|T\n";
    struct Case {
        const char* what;
        std::string text;  // empty: a folder of that name
        const char* message;
    };
    const Case cases[] = {
        {"folder", "", update_msg::kUnreadable},
        {"binary",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0",
                     10) +
             shipped,
         update_msg::kDamaged},
        {"no sections", "Dies ist keine Profildatei.\nitem-001=2|0|Neu\n", update_msg::kDamaged},
        {"too large", shipped + std::string(2 << 20, ';'), update_msg::kDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir_.File("VeloUpdate.dat"));
        if (c.text.empty()) {
            std::filesystem::create_directory(dir_.File("VeloUpdate.dat"));
        } else {
            dir_.Put("VeloUpdate.dat", c.text);
        }
        dir_.Put("Telvora.cfg", config);
        UpdateMergeResult result = Merge();
        EXPECT_FALSE(result.merged);
        char expected[512];
        std::snprintf(expected, sizeof expected, c.message, dir_.File("VeloUpdate.dat").c_str());
        EXPECT_EQ(result.message, expected);
        EXPECT_EQ(dir_.Get("Telvora.cfg"), config);
    }
    std::filesystem::remove_all(dir_.File("VeloUpdate.dat"));
    UpdateMergeResult none = Merge();
    EXPECT_FALSE(none.merged);
    EXPECT_EQ(none.message, "");
    EXPECT_EQ(dir_.Get("Telvora.cfg"), config);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("AddrBook.xml")));
}

TEST_F(UpdateMerge, AConfigurationThatCannotBeWrittenStaysAsItWas) {
    const std::string config = "[TemplateProfiles]\nItems=1\nitem-001=1|0|Standard|0|S|T\n";
    dir_.Put("Telvora.cfg", config);
    dir_.Put("VeloUpdate.dat", "[TemplateProfiles]\nItems=1\nitem-001=2|0|Neu|0|S|T\n");
    UpdateMergeResult result;
    {
        FileSizeLimit full(config.size());
        result = Merge();
    }
    EXPECT_FALSE(result.merged);
    EXPECT_NE(result.message.find("kann nicht geschrieben werden"), std::string::npos);
    EXPECT_EQ(dir_.Get("Telvora.cfg"), config);
    EXPECT_TRUE(Merge().merged);
}

TEST_F(UpdateMerge, TheUsersColumnsStayUnlessTheShippedListHasOtherColumns) {
    dir_.Put("Telvora.cfg",
             "[CallByCallProvidersLayout]\ncolHidden=1,0\ncolSize=120,40\n"
             "[CallByCallTariffLayout]\ncolHidden=1,1,1,1,1,1\ncolOrder=5,4,3,2,1,0\n"
             "colSize=9,9,9,9,9,9\n");
    dir_.Put("VeloUpdate.dat",
             "[CallByCallProvidersLayout]\ncolHidden=1,1\ncolSize=80,80\n"
             "[CallByCallTariffLayout]\ncolHidden=1,1,1,1,1,1,1\ncolSize=30,40,40,40,40,90,60\n");
    UpdateMergeResult result = Merge();
    ASSERT_TRUE(result.merged) << result.message;
    EXPECT_EQ(result.layouts, 1);
    EXPECT_EQ(Read("CallByCallProvidersLayout", "colHidden"), "1,0");
    EXPECT_EQ(Read("CallByCallProvidersLayout", "colSize"), "120,40");
    EXPECT_EQ(Read("CallByCallTariffLayout", "colHidden"), "1,1,1,1,1,1,1");
    EXPECT_EQ(Read("CallByCallTariffLayout", "colSize"), "30,40,40,40,40,90,60");
    EXPECT_EQ(Read("CallByCallTariffLayout", "colOrder"), "-");  // was for the old columns

    // A user without a layout of the list gets the shipped one.
    dir_.Put("Telvora.cfg", "");
    ASSERT_TRUE(Merge().merged);
    EXPECT_EQ(Read("CallByCallProvidersLayout", "colSize"), "80,80");
}

TEST_F(UpdateMerge, ShippedAddressesJoinTheBookOnce) {
    dir_.Put("AddrBook.xml",
             "<addressbook><address_item id='3'><nick>Meier</nick></address_item>"
             "</addressbook>");
    const std::string shipped =
        "[AddressBook]\nupdate=1\nItems=3\n"
        "item-001=3|Meier neu|0221 1||||\n"
        "item-002=9|Schulz & Sohn|0228 2|0171 3|||Lager ¦ Büro\n"
        "item-003=9|Schulz doppelt||||\n";
    dir_.Put("VeloUpdate.dat", shipped);
    UpdateMergeResult result = Merge();
    ASSERT_TRUE(result.merged) << result.message;
    EXPECT_EQ(result.addresses, 1);
    EXPECT_EQ(dir_.Get("VeloUpdate.dat"), shipped);

    AddressBook book;
    ASSERT_TRUE(book.Load(dir_.File("AddrBook.xml"), kMergeTime));
    ASSERT_EQ(book.Addresses().size(), 2u);
    EXPECT_EQ(book.Addresses()[0].nick, "Meier");
    const Address& schulz = book.Addresses()[1];
    EXPECT_EQ(schulz.id, "9");
    EXPECT_EQ(schulz.nick, "Schulz   Sohn");
    EXPECT_EQ(schulz.phones[kPhonePrivate].LongText(), "+49 0228 2");
    EXPECT_EQ(schulz.phones[kPhoneMobile].LongText(), "+49 0171 3");
    EXPECT_EQ(schulz.comments, "Lager | Büro");

    // The next version ships the same addresses again.
    dir_.Put("VeloUpdate.dat", shipped + "[TemplateProfiles]\nItems=0\n");
    ASSERT_TRUE(Merge().merged);
    ASSERT_TRUE(book.Load(dir_.File("AddrBook.xml"), kMergeTime));
    EXPECT_EQ(book.Addresses().size(), 2u);
    EXPECT_EQ(boxes_.Count(), 0u);
}

// The update file that showed the overflow: a shipped provider with the
// largest int in its key, then one whose key the user's provider holds.
TEST_F(UpdateMerge, AProviderKeyOfAnySizeGivesTheNextKeyWithoutWrapping) {
    dir_.Put("Telvora.cfg", "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Telco|01019\n");
    dir_.Put("VeloUpdate.dat",
             "[CallByCallProviders]\nItems=2\nitem-001=1|CBCP_2147483647|Erster|01013\n"
             "item-002=2|CBCP_01|Billig|01088\n");
    UpdateMergeResult result = Merge();
    ASSERT_TRUE(result.merged) << result.message;
    EXPECT_EQ(Records("CallByCallProviders"),
              (Strings{"1|CBCP_01|Telco|01019", "2|CBCP_2147483647|Erster|01013",
                       "3|CBCP_2147483648|Billig|01088"}));
}

// A shipped template with the largest int as its id, then one whose id the
// user's template holds: it joins with a free id.
TEST_F(UpdateMerge, ATemplateIdOfTheLargestIntGivesAFreeIdWithoutWrapping) {
    dir_.Put("Telvora.cfg",
             "[TemplateProfiles]\nItems=2\n"
             "item-001=1|0|Standard|0|Anruf von %s|alt\n"
             "item-002=2|0|Eigene|0|Mein Betreff|Mein Text\n");
    dir_.Put("VeloUpdate.dat",
             "[TemplateProfiles]\nItems=2\nitem-001=2147483647|0|Erste|0|B|T\n"
             "item-002=1|0|Zweite|0|B|T\n");
    UpdateMergeResult result = Merge();
    ASSERT_TRUE(result.merged) << result.message;
    EXPECT_EQ(Records("TemplateProfiles"),
              (Strings{"1|0|Standard|0|Anruf von %s|alt", "2|0|Eigene|0|Mein Betreff|Mein Text",
                       "2147483647|0|Erste|0|B|T", "3|0|Zweite|0|B|T"}));
}

}  // namespace
