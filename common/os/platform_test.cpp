#include "platform.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "scoped_env.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "telvora-platform-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a test body with TZ set, and puts the process's time zone back after.
class TimeZone {
public:
    explicit TimeZone(const char* tz) : env_("TZ", tz) { tzset(); }

private:
    struct Reload {
        ~Reload() { tzset(); }
    } reload_;  // destroyed after env_ has put TZ back
    ScopedEnv env_;
};

TEST(CTimeText, IsTheTwentyFourCharacterLocalCtimeText) {
    struct Case {
        const char* tz;
        std::time_t when;
        const char* text;
    } cases[] = {
        {"UTC", 0, "Thu Jan  1 00:00:00 1970"},
        {"UTC", 1796545881, "Sun Dec  6 08:31:21 2026"},
        {"UTC", 1797235999, "Mon Dec 14 08:13:19 2026"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1797235999, "Mon Dec 14 09:13:19 2026"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1782900000, "Wed Jul  1 12:00:00 2026"},
    };
    for (const auto& c : cases) {
        TimeZone zone(c.tz);
        EXPECT_EQ(CTimeText(c.when), c.text) << c.tz;
    }
}

TEST(MakeTempFile, CreatesAnEmptyUniqueFileInTmpdir) {
    TempDir dir;
    ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
    std::string first = MakeTempFile("relay", ".par");
    std::string second = MakeTempFile("relay", ".par");
    for (const auto& path : {first, second}) {
        ASSERT_FALSE(path.empty());
        fs::path p(path);
        EXPECT_EQ(p.parent_path(), dir.path());
        std::string name = p.filename().string();
        EXPECT_EQ(name.size(), std::string("relayXXXXXX.par").size()) << name;
        EXPECT_EQ(name.substr(0, 5), "relay");
        EXPECT_EQ(p.extension(), ".par");
        EXPECT_TRUE(fs::is_regular_file(p));
        EXPECT_EQ(fs::file_size(p), 0u);
    }
    EXPECT_NE(first, second);
}

TEST(MakeTempFile, FallsBackToTmpAndFailsCleanly) {
    {
        ScopedEnv tmpdir("TMPDIR", nullptr);
        std::string path = MakeTempFile("telvora-test-");
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(fs::path(path).parent_path(), "/tmp");
        fs::remove(path);
    }
    TempDir dir;
    ScopedEnv tmpdir("TMPDIR", (dir.path() / "missing").c_str());
    EXPECT_EQ(MakeTempFile("x"), "");
}

TEST(StartProgram, PassesArgumentsLiterallyAndInheritsTheEnvironment) {
    TempDir dir;
    fs::path out = dir.path() / "out.txt";
    ScopedEnv var("TELVORA_TEST_VALUE", "from parent");
    // The arguments carry what a shell would expand or split; they must
    // arrive exactly as given.
    pid_t pid =
        StartProgram("/bin/sh", {"-c", "printf '%s|' \"$@\" \"$TELVORA_TEST_VALUE\" > \"$0\"",
                                 out.string(), "a b", "$HOME", "x;y", ""});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitProgram(pid, seconds(10)), 0);
    EXPECT_EQ(ReadFile(out), "a b|$HOME|x;y||from parent|");
}

TEST(StartProgram, ReportsExitCodesAndSignals) {
    pid_t exits = StartProgram("/bin/sh", {"-c", "exit 7"});
    pid_t killed = StartProgram("/bin/sh", {"-c", "kill -TERM $$"});
    ASSERT_GT(exits, 0);
    ASSERT_GT(killed, 0);
    EXPECT_EQ(WaitProgram(exits, seconds(10)), 7);
    EXPECT_EQ(WaitProgram(killed, seconds(10)), 128 + SIGTERM);
    EXPECT_EQ(WaitProgram(exits, seconds(1)), std::nullopt);  // already reaped
}

TEST(StartProgram, WaitProgramGivesUpAtTheDeadline) {
    pid_t pid = StartProgram("/bin/sleep", {"30"});
    ASSERT_GT(pid, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitProgram(pid, std::chrono::milliseconds(100)), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(5));
    kill(pid, SIGKILL);
    EXPECT_EQ(WaitProgram(pid, seconds(10)), 128 + SIGKILL);
}

TEST(StartProgram, FailsForProgramsThatCannotRun) {
    TempDir dir;
    fs::path notExecutable = dir.path() / "plain.txt";
    std::ofstream(notExecutable) << "text\n";
    for (std::string program : {std::string(""), (dir.path() / "missing").string(),
                                notExecutable.string(), dir.path().string()}) {
        EXPECT_EQ(StartProgram(program, {}), -1) << program;
    }
    // No shell looks the name up on PATH.
    EXPECT_EQ(StartProgram("sh", {"-c", "exit 0"}), -1);
}

TEST(StartDetachedProgram, LeavesNoZombie) {
    TempDir dir;
    fs::path out = dir.path() / "ran";
    pid_t pid = StartDetachedProgram("/bin/sh", {"-c", "echo > \"$0\"", out.string()});
    ASSERT_GT(pid, 0);
    // Watch without reaping: once the background reaper has collected the
    // child, it is no longer ours to wait for.
    auto deadline = std::chrono::steady_clock::now() + seconds(10);
    bool reaped = false;
    while (!reaped && std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        reaped = waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
        if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(reaped);
    EXPECT_TRUE(fs::exists(out));
}

}  // namespace
