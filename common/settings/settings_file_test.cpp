#include "settings_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "locations.h"
#include "test_dir.h"

namespace {

TEST(SettingsFile, FreshInstallationReadsTheDefaults) {
    TestDir dir;
    SettingsFile cfg(dir.File("Telvora.cfg"));
    EXPECT_EQ(cfg.Read(cfg::kMainWindow), "40,20,600,400");
    EXPECT_EQ(cfg.Read(cfg::kFolderView), -1);
    EXPECT_EQ(cfg.Read(cfg::kRelayNoteKeys.relay), 0);
    EXPECT_EQ(cfg.Read(cfg::kRelayCallKeys.profile), 1);
    EXPECT_EQ(cfg.Read(cfg::kSignatureFlag), 0);
    EXPECT_EQ(cfg.Read(cfg::kRespMsgId), "1");
    EXPECT_EQ(cfg.Read(cfg::kNotesSent), "0");
    EXPECT_EQ(cfg.Read(cfg::kD2CallerPhoneNumberForSms), "0");
    EXPECT_FALSE(cfg::IsOn(cfg.Read(cfg::kSendToTray)));
}

TEST(SettingsFile, WritesIntegersAsDecimalAndRemovesKeys) {
    TestDir dir;
    SettingsFile cfg(dir.File("Telvora.cfg"));
    ASSERT_TRUE(cfg.Write(cfg::kFolderView, -3));
    ASSERT_TRUE(cfg.Write(cfg::kSenderMsn, "4711"));
    ASSERT_TRUE(cfg.WriteText("Parameters", "respMsg2", "respMsg2.txt"));
    EXPECT_EQ(dir.Get("Telvora.cfg"),
              "[Parameters]\nfolderView=-3\nrespMsg2=respMsg2.txt\n[Sender]\nmsn=4711\n");
    EXPECT_EQ(cfg.Read(cfg::kFolderView), -3);
    ASSERT_TRUE(cfg.RemoveKey("Parameters", "folderView"));
    ASSERT_TRUE(cfg.WriteText("Sender", "msn", nullptr));
    EXPECT_EQ(dir.Get("Telvora.cfg"), "[Parameters]\nrespMsg2=respMsg2.txt\n[Sender]\n");
}

// The counters of sent notes and SMS as a user may have edited them: one
// past the largest int is no overflow, the largest number there is stays.
TEST(SettingsFile, CountersCountUpFromWhateverTheFileHolds) {
    TestDir dir;
    SettingsFile cfg(dir.File("Telvora.cfg"));
    struct Case {
        const char* stored;
        const char* counted;
    } cases[] = {
        {nullptr, "1"},
        {"41", "42"},
        {"kaputt", "1"},
        {"2147483647", "2147483648"},
        {"9223372036854775807", "9223372036854775807"},
        {"99999999999999999999", "9223372036854775807"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(cfg.WriteText("Parameters", "notesSent", c.stored));
        ASSERT_TRUE(cfg.CountUp(cfg::kNotesSent));
        EXPECT_EQ(cfg.Read(cfg::kNotesSent), c.counted) << (c.stored ? c.stored : "none");
    }
}

TEST(SettingsFile, ReadsAtMost255Characters) {
    TestDir dir;
    SettingsFile cfg(dir.File("t.cfg"));
    std::string umlauts;
    for (int i = 0; i < 300; ++i) umlauts += "\xC3\xBC";
    ASSERT_TRUE(cfg.WriteText("S", "u", umlauts.c_str()));
    ASSERT_TRUE(cfg.WriteText("S", "a", std::string(256, 'a').c_str()));
    EXPECT_EQ(cfg.ReadText("S", "u"), umlauts.substr(0, 510));  // 255 whole characters
    EXPECT_EQ(cfg.ReadText("S", "a"), std::string(255, 'a'));
}

TEST(Locations, RegistryFileDecidesStoreAndDataFolders) {
    TestDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    setenv("TELVORA_HOME", dir.File("home").c_str(), 1);
    EXPECT_EQ(RegistryFile(), dir.File("Quillmark/Telvora.reg"));
    EXPECT_EQ(NotesFile(), dir.File("home/Notes.dat"));  // no registry file yet
    EXPECT_EQ(SettingsFilePath(), dir.File("home/Telvora.cfg"));

    mkdir(dir.File("Quillmark").c_str(), 0777);
    dir.Put("Quillmark/Telvora.reg", "[Software\\Quillmark\\Telvora]\nStoreDir=" +
                                         dir.File("store") + "\nInstallDir1=" + dir.Path() + "\n");
    EXPECT_EQ(NotesFile(), dir.File("store/Notes.dat"));
    EXPECT_EQ(DataDir("AddrBook.xml"), dir.File("Data/AddrBook.xml"));
    struct stat st;
    EXPECT_EQ(stat(dir.File("Data").c_str(), &st), 0);  // created on demand

    dir.Put("Quillmark/Telvora.reg", "[Software\\Quillmark\\Telvora]\nStoreDir=\n");
    EXPECT_EQ(StoreDir(), dir.File("home"));  // an empty value names no folder
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("TELVORA_HOME");
}

}  // namespace
