#include "telvora_cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "msgbox_recorder.h"
#include "note_handoff.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

class TelvoraCliTest : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        CliContext context{dir_.File("store"), dir_.File("Telvora.cfg"), nullptr, "test"};
        return RunTelvoraCli(args, context, out_, err_);
    }
    TestDir dir_;
    std::ostringstream out_, err_;
    MessageBoxRecorder boxes_;
};

TEST_F(TelvoraCliTest, CreatesListsShowsMovesAndDeletesANote) {
    ASSERT_EQ(Run({"new", "0221 4711", "Bernd", "Treffen", "--text", "Um drei am Dom."}), 0);
    std::string id = out_.str().substr(0, out_.str().size() - 1);
    ASSERT_EQ(Run({"list", "SendNotes"}), 0);
    EXPECT_NE(out_.str().find(id + "\tTelvora\tgelesen\t"), std::string::npos);
    EXPECT_NE(out_.str().find("\tBernd\t0221 4711\tTreffen\n1 Nachricht(en)\n"), std::string::npos);
    ASSERT_EQ(Run({"show", "0", id}), 0);
    EXPECT_NE(out_.str().find("Betreff: Treffen\n"), std::string::npos);
    EXPECT_NE(out_.str().find("\nUm drei am Dom.\n"), std::string::npos);
    ASSERT_EQ(Run({"move", id, "SendNotes", "OutNotes"}), 0);
    ASSERT_EQ(Run({"show", "OutNotes", id}), 0);
    EXPECT_NE(out_.str().find("\nUm drei am Dom.\n"), std::string::npos);  // the text moved along
    ASSERT_EQ(Run({"delete", "OutNotes", id}), 0);
    ASSERT_EQ(Run({"folders"}), 0);
    EXPECT_NE(out_.str().find("1\tOutNotes\t0\t0 ungelesen\n"), std::string::npos);
    EXPECT_NE(out_.str().find("5\tDeletedNotes\t1\t0 ungelesen\n"), std::string::npos);
}

TEST_F(TelvoraCliTest, TakesWhatWasHandedOver) {
    ASSERT_EQ(Run({"folders"}), 0);
    ASSERT_TRUE(HandOverItem(dir_.File("store/Notes.dat"), "InNotes",
                             "-1|0|1018880000|0|||0|1018880000|Hans|0301234567|Hallo|N.txt"));
    ASSERT_EQ(Run({"take"}), 0);
    EXPECT_EQ(out_.str(), "InNotes\t1018880000\tTelvora\tHans\t0301234567\tHallo\n");
    ASSERT_EQ(Run({"list", "InNotes"}), 0);
    EXPECT_NE(out_.str().find("1 Nachricht(en), 1 ungelesen"), std::string::npos);
}

TEST_F(TelvoraCliTest, RefusesWhatItCannotDo) {
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"list", "Papierkorb"}), 2);
    EXPECT_EQ(err_.str(), "Unbekannter Ordner: Papierkorb\n");
    EXPECT_EQ(Run({"show", "InNotes", "42"}), 1);
    EXPECT_EQ(Run({"new", "1", "n", "s", "--file", dir_.File("missing.txt")}), 1);
    EXPECT_EQ(Run({"send", "42"}), 1);
    EXPECT_EQ(err_.str(), "Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.\n");
}

TEST_F(TelvoraCliTest, LeavesTheStoreAloneWhileAnotherProgramOwnsIt) {
    CVeloDoc owner(dir_.File("store"), dir_.File("Telvora.cfg"));
    ASSERT_TRUE(owner.Open());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(Run({"new", "1", "n", "s", "--text", "t"}));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_TRUE(owner.Folder(kSendNotes).Items().empty());
}

}  // namespace
