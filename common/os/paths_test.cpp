#include "paths.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "scoped_env.h"
#include "test_dir.h"

namespace {

struct DirState {
    bool exists = false;
    mode_t mode = 0;
};

DirState StatDir(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return {true, static_cast<mode_t>(st.st_mode & 07777)};
}

TEST(InstallDir, TelvoraHomeWinsAndIsNeverMade) {
    TestDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.File("data").c_str());
    ScopedEnv station("TELVORA_HOME", dir.File("station").c_str());
    EXPECT_EQ(InstallDir(), dir.File("station"));
    std::string error = "old";
    EXPECT_TRUE(PrepareInstallDir(error));
    EXPECT_EQ(error, "");
    // A station named by TELVORA_HOME exists or is a mistake; neither it nor
    // the per-user folder is made for it.
    EXPECT_FALSE(StatDir(dir.File("station")).exists);
    EXPECT_FALSE(StatDir(dir.File("data")).exists);
}

TEST(InstallDir, WithoutTelvoraHomeIsThePerUserFolder) {
    TestDir dir;
    ScopedEnv home("HOME", dir.File("home").c_str());
    const std::string inHome = dir.File("home/.local/share/telvora");
    const std::string data = dir.File("data"), dataSlash = dir.File("data/");
    struct Case {
        const char* telvoraHome;
        const char* xdgDataHome;
        std::string expected;
    } cases[] = {
        {nullptr, nullptr, inHome},
        {"", nullptr, inHome},
        {nullptr, "", inHome},
        {nullptr, "relative/data", inHome},
        {nullptr, "./data", inHome},
        {nullptr, data.c_str(), dir.File("data/telvora")},
        {"", dataSlash.c_str(), dir.File("data/telvora")},
    };
    for (const Case& c : cases) {
        ScopedEnv station("TELVORA_HOME", c.telvoraHome);
        ScopedEnv data("XDG_DATA_HOME", c.xdgDataHome);
        SCOPED_TRACE(std::string("XDG_DATA_HOME=") + (c.xdgDataHome ? c.xdgDataHome : "(unset)"));
        EXPECT_EQ(UserInstallDir(), c.expected);
        EXPECT_EQ(InstallDir(), c.expected);
    }
}

TEST(InstallDir, WithoutHomeVariableIsInTheUsersHomeFolder) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    ScopedEnv station("TELVORA_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(InstallDir(), JoinPath(user->pw_dir, ".local/share/telvora"));
}

TEST(PrepareInstallDir, MakesThePrivateFolderWithItsParentsOnce) {
    TestDir dir;
    ScopedEnv station("TELVORA_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", dir.File("home").c_str());
    std::string error;
    ASSERT_TRUE(PrepareInstallDir(error)) << error;
    EXPECT_EQ(error, "");
    DirState made = StatDir(dir.File("home/.local/share/telvora"));
    EXPECT_TRUE(made.exists);
    EXPECT_EQ(made.mode, 0700u);
    EXPECT_TRUE(StatDir(dir.File("home/.local/share")).exists);

    // The next start finds the folder and what is in it as it was.
    dir.Put("home/.local/share/telvora/Telvora.cfg", "[Sender]\nmsn=5551001\n");
    chmod(dir.File("home/.local/share/telvora").c_str(), 0750);
    ASSERT_TRUE(PrepareInstallDir(error)) << error;
    EXPECT_EQ(StatDir(dir.File("home/.local/share/telvora")).mode, 0750u);
    EXPECT_EQ(dir.Get("home/.local/share/telvora/Telvora.cfg"), "[Sender]\nmsn=5551001\n");

    ScopedEnv xdg("XDG_DATA_HOME", dir.File("xdg/data").c_str());
    ASSERT_TRUE(PrepareInstallDir(error)) << error;
    EXPECT_EQ(StatDir(dir.File("xdg/data/telvora")).mode, 0700u);
}

TEST(PrepareInstallDir, SaysInGermanWhyTheFolderCannotBeMade) {
    TestDir dir;
    ScopedEnv station("TELVORA_HOME", nullptr);
    ScopedEnv home("HOME", dir.File("home").c_str());
    // A file where a folder of the path should be stops even root.
    dir.Put("blocked", "");
    ScopedEnv data("XDG_DATA_HOME", dir.File("blocked/data").c_str());
    std::string error;
    EXPECT_FALSE(PrepareInstallDir(error));
    EXPECT_EQ(error, "Das Installationsverzeichnis " + dir.File("blocked/data/telvora") +
                         " kann nicht angelegt werden: ein Teil des Pfades ist kein Verzeichnis."
                         " TELVORA_HOME kann ein anderes angeben.");

    dir.Put("file", "");
    ScopedEnv onFile("XDG_DATA_HOME", dir.Path().c_str());
    std::rename(dir.File("file").c_str(), dir.File("telvora").c_str());
    EXPECT_FALSE(PrepareInstallDir(error));
    EXPECT_NE(error.find("ein Teil des Pfades ist kein Verzeichnis"), std::string::npos) << error;
}

}  // namespace
