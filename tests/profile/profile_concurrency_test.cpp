// Several processes share the notes data file and the configuration file;
// none of them may lose a key that another one wrote, not even when one of
// them is killed in the middle of a write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "profile.h"

namespace {

std::string MakeTempDir() {
    char tmpl[] = "/tmp/profile_concurrency.XXXXXX";
    return mkdtemp(tmpl);
}

std::string Key(int writer, int i) {
    return "w" + std::to_string(writer) + "-" + std::to_string(i);
}

std::string Value(int writer, int i) {
    return "value of writer " + std::to_string(writer) + " #" + std::to_string(i);
}

// Writes count keys; after each write that returned TRUE, reports its index
// on ackFd.
[[noreturn]] void WriterProcess(const std::string& file, int writer, int count, int ackFd) {
    for (int i = 0; i < count; ++i) {
        // Two sections, so that writers also interleave new sections.
        const char* section = i % 2 ? "Odd" : "Even";
        if (!WritePrivateProfileString(section, Key(writer, i).c_str(), Value(writer, i).c_str(),
                                       file.c_str()))
            _exit(2);
        if (ackFd >= 0) {
            std::string ack = std::to_string(i) + "\n";
            if (write(ackFd, ack.data(), ack.size()) < 0) _exit(3);
        }
    }
    _exit(0);
}

std::string ReadValue(const std::string& file, int writer, int i) {
    char buf[256];
    const char* section = i % 2 ? "Odd" : "Even";
    GetPrivateProfileString(section, Key(writer, i).c_str(), "", buf, sizeof buf, file.c_str());
    return buf;
}

TEST(ProfileConcurrency, EightWritersLoseNoKey) {
    std::string dir = MakeTempDir();
    std::string file = dir + "/Notes.dat";
    const int writers = 8, keys = 500;
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) WriterProcess(file, w, keys, -1);
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int found = 0;
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < keys; ++i) found += ReadValue(file, w, i) == Value(w, i);
    }
    EXPECT_EQ(found, writers * keys);
    std::system(("rm -rf " + dir).c_str());
}

TEST(ProfileConcurrency, AWriterKilledMidwayLeavesAWholeFile) {
    std::string dir = MakeTempDir();
    std::string file = dir + "/Telvora.cfg";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t victim = fork();
    ASSERT_GE(victim, 0);
    if (victim == 0) {
        close(fds[0]);
        WriterProcess(file, 0, 1000000, fds[1]);
    }
    close(fds[1]);
    // A second writer keeps going meanwhile; it must not be hurt.
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) WriterProcess(file, 1, 300, -1);

    FILE* acks = fdopen(fds[0], "r");
    int lastAck = -1;
    char line[32];
    while (lastAck < 400 && fgets(line, sizeof line, acks)) lastAck = std::atoi(line);
    kill(victim, SIGKILL);
    waitpid(victim, nullptr, 0);
    fclose(acks);
    int status = 0;
    waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_GE(lastAck, 400);
    for (int i = 0; i <= lastAck; ++i) ASSERT_EQ(ReadValue(file, 0, i), Value(0, i)) << i;
    for (int i = 0; i < 300; ++i) ASSERT_EQ(ReadValue(file, 1, i), Value(1, i)) << i;

    // Every line of the file is a header or a key line of ours: nothing torn.
    std::ifstream in(file);
    std::string text;
    int lines = 0;
    while (std::getline(in, text)) {
        ++lines;
        bool header = text == "[Even]" || text == "[Odd]";
        bool key = text.rfind("w", 0) == 0 && text.find("=value of writer ") != std::string::npos;
        ASSERT_TRUE(header || key) << "line " << lines << ": " << text;
    }
    EXPECT_GE(lines, lastAck + 1 + 300 + 2);
    std::system(("rm -rf " + dir).c_str());
}

TEST(ProfileConcurrency, ReadModifyWriteUnderTheLockCountsEveryIncrement) {
    std::string dir = MakeTempDir();
    std::string file = dir + "/Notes.dat";
    const int processes = 6, increments = 100;
    auto increment = [&] {
        return UpdatePrivateProfile(file, [](ProfileEditor& e) {
            int n = std::atoi(e.Get("InNotes", "counter").value_or("0").c_str());
            return e.Set("InNotes", "counter", std::to_string(n + 1));
        });
    };
    std::vector<pid_t> pids;
    for (int p = 0; p < processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < increments; ++i) {
                if (!increment()) _exit(2);
            }
            _exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(GetPrivateProfileInt("InNotes", "counter", 0, file.c_str()),
              UINT(processes * increments));

    // An edit that gives up leaves the file as it was.
    EXPECT_TRUE(UpdatePrivateProfile(file, [](ProfileEditor& e) {
        e.Set("InNotes", "counter", "0");
        return false;
    }));
    EXPECT_EQ(GetPrivateProfileInt("InNotes", "counter", 0, file.c_str()),
              UINT(processes * increments));
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
