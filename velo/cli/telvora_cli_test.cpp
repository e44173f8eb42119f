#include "telvora_cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
    ASSERT_TRUE(HandOverItem(dir_.File("store/Notes.dat"), "InNotes", "kaputt"));
    ASSERT_TRUE(HandOverItem(dir_.File("store/Notes.dat"), "InNotes", "-1|0|1018880001|0"));
    ASSERT_EQ(Run({"take"}), 0);
    EXPECT_EQ(out_.str(),
              "InNotes\t1018880000\tTelvora\tHans\t0301234567\tHallo\n"
              "InNotes\t1018880001\tTelvora\t\t\t\n");
    EXPECT_EQ(err_.str().substr(0, 74),
              "Ein übergebener Eintrag in [InNotes] ist nicht lesbar: 'kaputt'. Er steht");
    ASSERT_EQ(Run({"list", "InNotes"}), 0);
    EXPECT_NE(out_.str().find("2 Nachricht(en), 2 ungelesen"), std::string::npos);
    ASSERT_EQ(Run({"folders"}), 0);
    EXPECT_NE(out_.str().find("2\tInNotes\t2\t2 ungelesen\t1 unlesbar beiseitegelegt"),
              std::string::npos);
}

TEST_F(TelvoraCliTest, RefusesWhatItCannotDoAndSaysWhatToDo) {
    EXPECT_EQ(Run({}), 2);
    for (const char* help : {"--help", "-h"}) {
        EXPECT_EQ(Run({help}), 0);
        EXPECT_EQ(out_.str().substr(0, 23), "Aufruf: telvora BEFEHL ");
        EXPECT_EQ(err_.str(), "");
    }
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // how the message begins
    } cases[] = {
        {{"list", "Papierkorb"}, 2, "Unbekannter Ordner 'Papierkorb'. Bitte einen dieser Namen"},
        {{"lsit", "InNotes"}, 2, "Unbekannter Befehl 'lsit'.\nAufruf: telvora"},
        {{"move", "1", "2"}, 2, "Falsche Angaben für 'move'.\nAufruf: telvora"},
        {{"show", "InNotes", "12x"}, 2, "'12x' ist keine Notiz-Id."},
        {{"show", "InNotes", "42"}, 1, "Eintrag 42 gibt es in InNotes nicht."},
        {{"new", "1", "n", "s", "--file", dir_.File("missing.txt")},
         1,
         "Datei kann nicht gelesen werden: " + dir_.File("missing.txt") + " (nicht vorhanden)."},
        {{"send", "42"}, 1, "Die ISDN-Verbindung steht in diesem Programm nicht zur Verfügung.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        EXPECT_EQ(Run(c.args), c.status);
        EXPECT_EQ(err_.str().substr(0, c.err.size()), c.err);
    }
}

TEST_F(TelvoraCliTest, ANewNoteIsRefusedRatherThanCutOrMisdialled) {
    std::string tooLong(300, 's');
    dir_.Put("binary.txt", std::string("Hallo\0Welt", 11));
    dir_.Put("long.txt", std::string(2048, 'x'));
    dir_.Put("big.txt", std::string(20 * 1024 * 1024, 'x'));
    mkfifo(dir_.File("fifo").c_str(), 0666);
    struct Case {
        std::vector<std::string> args;
        std::string err;  // how the message begins
    } cases[] = {
        {{"030-abc-222", "n", "s", "--text", "t"},
         "Die Rufnummer/Adresse '030-abc-222' hat ein falsches Format!\n Bitte überprüfen!\n"},
        {{"", "n", "s", "--text", "t"}, "Die Rufnummer/Adresse '' hat ein falsches Format!"},
        {{"030 1", "n", tooLong, "--text", "t"},
         "Der Betreff ist zu lang: 300 Zeichen, höchstens 80"},
        {{"030 1", "Zeile\nZwei", "s", "--text", "t"},
         "Der Name 'Zeile\\x0AZwei' enthält Steuerzeichen"},
        {{"030 1", "n", "s", "--file", dir_.Path()},
         "'" + dir_.Path() + "' ist keine gewöhnliche Datei."},
        {{"030 1", "n", "s", "--file", "/dev/zero"}, "'/dev/zero' ist keine gewöhnliche Datei."},
        {{"030 1", "n", "s", "--file", dir_.File("fifo")},
         "'" + dir_.File("fifo") + "' ist keine gewöhnliche Datei."},
        {{"030 1", "n", "s", "--file", dir_.File("big.txt")},
         "Sie haben die Maximale Anzahl der Zeichen überschritten!\n"},
        {{"030 1", "n", "s", "--file", dir_.File("long.txt")},
         "Sie haben die Maximale Anzahl der Zeichen überschritten!\n"},
        {{"030 1", "n", "s", "--file", dir_.File("binary.txt")},
         "In '" + dir_.File("binary.txt") + "' steht ein Nullzeichen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[4]);
        EXPECT_EQ(Run({"new", c.args[0], c.args[1], c.args[2], c.args[3], c.args[4]}), 1);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str().substr(0, c.err.size()), c.err);
    }
    // Nothing of it reached the store.
    ASSERT_EQ(Run({"list", "SendNotes"}), 0);
    EXPECT_EQ(out_.str(), "Bereit\n");

    // A text that is not UTF-8 is Windows-1252, as Windows programs write it.
    dir_.Put("latin.txt",
             "Gr\xFC\xDF"
             "e, 5 \x80");
    ASSERT_EQ(Run({"new", "+49 (30) 222-22", "Jörg", "Grüße", "--file", dir_.File("latin.txt")}),
              0);
    std::string id = out_.str().substr(0, out_.str().size() - 1);
    ASSERT_EQ(Run({"show", "SendNotes", id}), 0);
    EXPECT_NE(out_.str().find("\nGrüße, 5 €\n"), std::string::npos);
    EXPECT_NE(out_.str().find("Rufnummer: +49 (30) 222-22\n"), std::string::npos);
}

TEST_F(TelvoraCliTest, ControlCharactersOfAnotherStationArePrintedEscaped) {
    ASSERT_EQ(Run({"folders"}), 0);
    ASSERT_TRUE(HandOverItem(dir_.File("store/Notes.dat"), "InNotes",
                             "-1|0|1018880000|0|||0|1018880000|\x1B[2JHans|030|Hallo\bFake|N.txt"));
    dir_.Put("store/InNotes/N.txt", "Zeile 1\n\x1B]0;Titel\x07Zeile 2");
    ASSERT_EQ(Run({"take"}), 0);
    EXPECT_EQ(out_.str(), "InNotes\t1018880000\tTelvora\t\\x1B[2JHans\t030\tHallo\\x08Fake\n");
    ASSERT_EQ(Run({"list", "InNotes"}), 0);
    EXPECT_EQ(out_.str().find('\x1B'), std::string::npos);
    ASSERT_EQ(Run({"show", "InNotes", "1018880000"}), 0);
    EXPECT_EQ(out_.str().find('\x1B'), std::string::npos);
    EXPECT_NE(out_.str().find("\nZeile 1\n\\x1B]0;Titel\\x07Zeile 2\n"), std::string::npos);
}

TEST_F(TelvoraCliTest, MissingSenderDataNamesTheKeysToFill) {
    ASSERT_EQ(Run({"new", "030 1", "Bernd", "Treffen", "--text", "Hallo"}), 0);
    std::string id = out_.str().substr(0, out_.str().size() - 1);
    out_.str("");
    err_.str("");
    CliContext context{dir_.File("store"), dir_.File("Telvora.cfg"),
                       [] { return std::unique_ptr<NoteLink>(); }, "test"};
    EXPECT_EQ(RunTelvoraCli({"send", id}, context, out_, err_), 1);
    EXPECT_NE(err_.str().find("[Sender] name= (Ihr Name) und telephone="), std::string::npos);
    EXPECT_NE(err_.str().find(dir_.File("Telvora.cfg")), std::string::npos);
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

namespace {

TEST_F(TelvoraCliTest, NewSmsNotesTakeTheNetworkFromThePrefixUnlessOneIsNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* type;
    } cases[] = {
        {{"new", "--sms", "0170 1234567"}, "Typ: D1 SMS"},
        {{"new", "--sms", "+49 (172) 123-4567"}, "Typ: D2 SMS"},
        {{"new", "--sms", "0177/1234567"}, "Typ: E-Plus SMS"},
        {{"new", "--sms", "D2", "0176 1234567"}, "Typ: D2 SMS"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"Bernd", "", "--text", "Grüße"}) args.push_back(a);
        ASSERT_EQ(Run(args), 0) << err_.str();
        std::string id = out_.str().substr(0, out_.str().size() - 1);
        ASSERT_EQ(Run({"show", "SendNotes", id}), 0);
        EXPECT_NE(out_.str().find(c.type), std::string::npos) << out_.str();
    }
    // 0176 belongs to no one network, a landline to none at all.
    for (const char* number : {"0176 1234567", "0221 4711"}) {
        EXPECT_EQ(Run({"new", "--sms", number, "B", "", "--text", "x"}), 1);
        EXPECT_NE(err_.str().find("nicht an der Vorwahl zu erkennen"), std::string::npos);
    }
    EXPECT_EQ(Run({"new", "--sms", "0170 1", "B", "", "--text", std::string(161, 'x')}), 1);
    EXPECT_NE(err_.str().find("höchstens 160 Zeichen"), std::string::npos);
    EXPECT_EQ(Run({"new", "--sms", "0170 1", "B", "", "--text", std::string(160, 'x')}), 0);
    EXPECT_EQ(Run({"new", "--sms", "D3", "0170 1", "B", "", "--text", "x"}), 2);
}

TEST_F(TelvoraCliTest, SmsWithoutTheLineOrWithWrongArgumentsSaysWhy) {
    EXPECT_EQ(Run({"sms", "123"}), 1);
    EXPECT_NE(err_.str().find("ISDN-Verbindung steht in diesem Programm nicht"), std::string::npos);
    EXPECT_EQ(Run({"sms", "--all", "D4"}), 2);
    EXPECT_EQ(Run({"sms", "12x"}), 2);
    EXPECT_EQ(Run({"sms", "--all", "D1", "Keller"}), 2);
    EXPECT_EQ(Run({"sms", "1", "--reply-steps"}), 2);
}

}  // namespace

namespace {

TEST_F(TelvoraCliTest, NewEmailNotesKeepAddressAndCopiesAndRefuseWhatIsNoAddress) {
    ASSERT_EQ(Run({"new", "--email", "bernd@example.org", "--cc", "c@example.org; Dora <d@x.de>",
                   "Bernd", "Grüße", "--text", "Hallo"}),
              0)
        << err_.str();
    std::string id = out_.str().substr(0, out_.str().size() - 1);
    ASSERT_EQ(Run({"show", "SendNotes", id}), 0);
    EXPECT_NE(out_.str().find("Typ: Email\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("Info/Dienst: c@example.org; Dora <d@x.de>\n"), std::string::npos);
    EXPECT_NE(out_.str().find("Betreff: Grüße\n"), std::string::npos);
    EXPECT_EQ(Run({"new", "--email", "bernd.example.org", "B", "S", "--text", "x"}), 1);
    EXPECT_NE(err_.str().find("hat ein falsches Format"), std::string::npos);
    EXPECT_EQ(Run({"new", "--email", "b@example", "B", "S", "--text", "x"}), 1);
    EXPECT_EQ(Run({"new", "--email", "b@example.org", "--cc"}), 2);
}

}  // namespace
