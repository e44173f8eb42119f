// quorlin as a user runs it: notes from another station over capisim, the
// telephone calls it sees, and how it ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "capisim_process.h"
#include "note_folders.h"
#include "note_handoff.h"
#include "note_item.h"
#include "quorlin_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kStationNumber = "5551001";

// Hans Müller with his Berlin number, as velo's address book writes him.
constexpr const char* kAddressBook =
    "<addressbook>\n<address_item id='1700000000'>\n<nick></nick>\n<firstname>Hans</firstname>\n"
    "<lastname>Müller</lastname>\n<phone type='home'>\n<country_code>+49</country_code>\n"
    "<prefix>030</prefix>\n<number>1234567</number>\n</phone>\n</address_item>\n"
    "</addressbook>\n";

class QuorlinTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(capisim_.Start({"--line", std::string("Q:0:") + kStationNumber, "--line",
                                    "C:0:5552001", "--call-log", CallLog()}))
            << capisim_.Error();
    }

    std::string CallLog() const { return dir_.File("calls.jsonl"); }

    // Every test ends quorlin as a user would, and it must go quietly.
    void TearDown() override {
        if (!station_) return;
        station_->Process().Signal(SIGTERM);
        EXPECT_EQ(station_->Process().Wait(10s), 0) << station_->Errors();
        std::string errors = station_->Errors();
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    }

    QuorlinStation* StartQuorlin(bool withVelo, const std::vector<std::string>& args = {}) {
        station_ =
            std::make_unique<QuorlinStation>(dir_.Path(), "quorlin", capisim_.Port("Q"), withVelo);
        EXPECT_TRUE(station_->Start(args)) << station_->Errors();
        return station_.get();
    }

    // Runs the calling station to its end; its output lines.
    std::vector<std::string> Call(const std::vector<std::string>& commandLines) {
        std::vector<std::string> args{kStationNumber};
        args.insert(args.end(), commandLines.begin(), commandLines.end());
        auto env = CallerEnvironment(dir_.Path(), "caller", capisim_.Port("C"));
        ChildProcess client(NOTE_CLIENT_PATH, args, env, dir_.File("caller"),
                            dir_.File("caller/stderr.txt"));
        EXPECT_EQ(client.Wait(60s), 0) << ReadFile(dir_.File("caller/stderr.txt"));
        return client.Lines();
    }

    // The record in a folder's handoff slot, once one is there.
    std::optional<std::string> Pending(const QuorlinStation& station, const char* section) {
        std::optional<std::string> record;
        WaitUntil([&] { return (record = PendingItem(station.NotesFile(), section)).has_value(); },
                  10s);
        return record;
    }
    std::optional<NoteItem> HandedOver(const QuorlinStation& station, const char* section) {
        auto record = Pending(station, section);
        return record ? NoteItem::Parse(*record) : std::nullopt;
    }

    int VeloStarts(const QuorlinStation& station) {
        std::string args = ReadFile(station.VeloArgsFile());
        int starts = 0;
        for (size_t at = 0; (at = args.find("-n\n", at)) != std::string::npos; at += 3) ++starts;
        return args.size() == size_t(starts) * 3 ? starts : -1;
    }

    capitest::TempDir dir_;
    capitest::CapisimProcess capisim_;
    std::unique_ptr<QuorlinStation> station_;
};

TEST_F(QuorlinTest, NotesFromAnotherStationLieInTheStoreAndVeloIsStarted) {
    QuorlinStation* station = StartQuorlin(true);
    // Two notes in one call, so within a second or two of each other.
    std::vector<std::string> lines =
        Call({"rawNote 1|Info|x|0301234567|Hans|Gruss|Hallo Welt|mit Strich",
              "rawNote 1|ISDN|x|0301234567|Hans|Nachtrag|Noch etwas"});
    EXPECT_EQ(lines, (std::vector<std::string>{"connect 0", "id 0", "version 0 1", "exec 0 0 []",
                                               "exec 0 0 []", "disconnect 0"}));

    struct Expected {
        std::string info, subject, text;
    } expected[] = {{"Info", "Gruss", "Hallo Welt|mit Strich"}, {"ISDN", "Nachtrag", "Noch etwas"}};
    std::set<std::string> textFiles;
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.subject);
        auto record = Pending(*station, "InNotes");
        ASSERT_TRUE(record) << station->Errors();
        auto item = NoteItem::Parse(*record);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->Type(), 0);
        EXPECT_EQ(item->Get(NoteItem::kInfo), e.info);
        EXPECT_EQ(item->Get(NoteItem::kNumber), "0301234567");
        EXPECT_EQ(item->Get(NoteItem::kName), "Hans");
        EXPECT_EQ(item->Get(NoteItem::kSubject), e.subject);
        EXPECT_EQ(item->Get(NoteItem::kState), "0");
        std::string text =
            FolderDir(station->InstallDir(), "InNotes") + "/" + item->Get(NoteItem::kTextFile);
        EXPECT_EQ(ReadNoteText(text), e.text);
        textFiles.insert(item->Get(NoteItem::kTextFile));
        ASSERT_TRUE(ConfirmTaken(station->NotesFile(), "InNotes", *record));
    }
    EXPECT_EQ(textFiles.size(), 2u);

    EXPECT_TRUE(WaitUntil([&] { return VeloStarts(*station) == 2; }, 10s))
        << ReadFile(station->VeloArgsFile());
    EXPECT_TRUE(station->Process().WaitForLine("Befehl RAWNOTE ausgeführt, Ergebnis 0", 5s));
    EXPECT_TRUE(station->Process().WaitForLine("Datenverbindung beendet", 10s));
}

TEST_F(QuorlinTest, TelephoneCallsAreFiledWithTheNameAndLeftRinging) {
    std::filesystem::create_directories(dir_.File("quorlin/install/Data"));
    WriteFile(dir_.File("quorlin/install/Data/AddrBook.xml"), kAddressBook);
    QuorlinStation* station = StartQuorlin(true);

    struct Case {
        std::string command, logLine, number, name, service;
    } cases[] = {
        {"call 0301234567 5551001 16 1", "Anruf von 0301234567 (Hans Müller) an 5551001",
         "0301234567", "Hans Müller", "Telefonie"},
        {"call 04099887766 5551001 1 1", "Anruf von 04099887766 an 5551001", "04099887766", "",
         "Sprache"},
        {"call 0301234567 5551001 4 1", "Anruf von 0301234567 (Hans Müller) an 5551001",
         "0301234567", "Hans Müller", "3,1 kHz Audio"},
    };
    // One call after the other: a ringing call holds one of the line's two channels.
    size_t placed = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(capisim_.Command(c.command));
        EXPECT_TRUE(
            station->Process().WaitForLine(c.logLine + ", " + c.service + ": abgelegt", 10s))
            << c.command << "\n"
            << station->Errors();
        ASSERT_EQ(capitest::WaitForCallLog(CallLog(), ++placed, 10s).size(), placed);
    }
    // A fax is no telephone call: nobody on the line listens for it.
    ASSERT_TRUE(capisim_.Command("call 0301234567 5551001 17 1"));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        auto record = Pending(*station, "PhoneCalls");
        ASSERT_TRUE(record);
        auto item = NoteItem::Parse(*record);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->Type(), 5);
        EXPECT_EQ(item->Get(NoteItem::kSubject), "Anruf");
        EXPECT_EQ(item->Get(NoteItem::kMsn), kStationNumber);
        EXPECT_EQ(item->Get(NoteItem::kNumber), c.number);
        EXPECT_EQ(item->Get(NoteItem::kName), c.name);
        EXPECT_EQ(item->Get(NoteItem::kInfo), c.service);
        EXPECT_EQ(item->Get(NoteItem::kRead), "0");
        EXPECT_LE(std::abs(item->NoteId() - long(std::time(nullptr))), 60);
        ASSERT_TRUE(ConfirmTaken(station->NotesFile(), "PhoneCalls", *record));
    }
    EXPECT_FALSE(PendingItem(station->NotesFile(), "PhoneCalls"));

    // quorlin neither took nor refused the calls: each rang until the caller gave up.
    auto log = capitest::WaitForCallLog(CallLog(), 4, 10s);
    ASSERT_EQ(log.size(), 4u);
    std::vector<std::string> outcomes;
    for (auto& entry : log) outcomes.push_back(entry["cip"] + " " + entry["outcome"]);
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(outcomes, (std::vector<std::string>{"1 withdrawn", "16 withdrawn", "17 incompatible",
                                                  "4 withdrawn"}));
    EXPECT_TRUE(WaitUntil([&] { return VeloStarts(*station) == 3; }, 10s));
}

TEST_F(QuorlinTest, WithoutVeloTheCallIsFiledAndTheMessageShown) {
    QuorlinStation* station = StartQuorlin(false);
    ASSERT_TRUE(capisim_.Command("call 0301234567 5551001 16 1"));
    auto item = HandedOver(*station, "PhoneCalls");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Get(NoteItem::kNumber), "0301234567");
    EXPECT_TRUE(WaitUntil(
        [&] {
            return station->Errors().find(
                       "quorlin: Das Programm 'velo' wurde nicht gefunden!\n\nBitte installieren "
                       "Sie Telvora. Die neueste\nVersion von Telvora finden Sie auf der\n"
                       "WEB-Seite https://") != std::string::npos;
        },
        10s))
        << station->Errors();
}

TEST_F(QuorlinTest, AVeloThatCannotStartIsReportedOnceAndTheFilingGoesOn) {
    QuorlinStation* station = StartQuorlin(true);
    // velo without a display: it ends at once with status 1.
    std::string velo = station->VeloArgsFile();
    velo = velo.substr(0, velo.rfind('/')) + "/velo";
    WriteFile(velo,
              "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/velo-args.txt\"\nexit 1\n");
    for (int call = 1; call <= 2; ++call) {
        ASSERT_TRUE(capisim_.Command("call 0301234567 5551001 16 1"));
        auto record = Pending(*station, "PhoneCalls");
        ASSERT_TRUE(record) << station->Errors();
        ASSERT_TRUE(ConfirmTaken(station->NotesFile(), "PhoneCalls", *record));
        ASSERT_TRUE(WaitUntil([&] { return VeloStarts(*station) == call; }, 10s));
        ASSERT_EQ(capitest::WaitForCallLog(CallLog(), call, 10s).size(), size_t(call));
    }
    const std::string said = "velo konnte nicht starten (Status 1";
    ASSERT_TRUE(WaitUntil([&] { return station->Errors().find(said) != std::string::npos; }, 5s))
        << station->Errors();
    std::string errors = station->Errors();
    EXPECT_EQ(errors.find(said), errors.rfind(said)) << errors;
}

TEST_F(QuorlinTest, SigintEndsAnIdleStation) {
    QuorlinStation* station = StartQuorlin(true);
    auto start = Clock::now();
    station->Process().Signal(SIGINT);
    EXPECT_EQ(station->Process().Wait(10s), 0);
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_TRUE(station->Process().WaitForLine("quorlin beendet", 1s));
}

TEST_F(QuorlinTest, SigtermEndsTheStationWithinTenSecondsWhileACallerHoldsTheLine) {
    QuorlinStation* station = StartQuorlin(true);
    auto env = CallerEnvironment(dir_.Path(), "caller", capisim_.Port("C"));
    ChildProcess client(NOTE_CLIENT_PATH, {kStationNumber, "hold 30"}, env, dir_.File("caller"),
                        dir_.File("caller/stderr.txt"));
    ASSERT_TRUE(client.WaitForLine("holding", 30s));
    ASSERT_TRUE(station->Process().WaitForLine("Befehl VERSION", 10s));

    auto start = Clock::now();
    station->Process().Signal(SIGTERM);
    EXPECT_EQ(station->Process().Wait(10s), 0) << station->Errors();
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_TRUE(station->Process().WaitForLine("Datenverbindung wird beim Beenden getrennt", 1s));
    EXPECT_TRUE(station->Process().WaitForLine("quorlin beendet", 1s));
    // The caller hears that the line went down.
    auto log = capitest::WaitForCallLog(CallLog(), 1, 10s);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["outcome"], "answered");
}

TEST_F(QuorlinTest, WithoutTheMonitorTelephoneCallsFindNobody) {
    QuorlinStation* station = StartQuorlin(true, {"--no-monitor"});
    EXPECT_TRUE(station->Process().WaitForLine("Bereit: Notizen werden angenommen", 1s));
    ASSERT_TRUE(capisim_.Command("call 0301234567 5551001 16 1"));
    auto log = capitest::WaitForCallLog(CallLog(), 1, 10s);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["outcome"], "incompatible");
    EXPECT_FALSE(PendingItem(station->NotesFile(), "PhoneCalls"));
}

// The exchange goes away: with the monitor, with only the watch of
// --no-monitor, and in the middle of a call (a write then meets a closed
// socket). quorlin ends with its reason and its last line each time, and
// libcapi20's own complaints stay out of its output.
TEST_F(QuorlinTest, ALostDriverConnectionEndsQuorlinWithItsReason) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool duringCall;
    } cases[] = {
        {"monitor", {}, false},
        {"no monitor", {"--no-monitor"}, false},
        {"during a call", {"--no-monitor"}, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capitest::CapisimProcess exchange;
        ASSERT_TRUE(exchange.Start(
            {"--line", std::string("Q:0:") + kStationNumber, "--line", "C:0:5552001"}));
        QuorlinStation station(dir_.Path(), "lost" + std::to_string(++n), exchange.Port("Q"), true);
        ASSERT_TRUE(station.Start(c.args)) << station.Errors();
        std::unique_ptr<ChildProcess> caller;
        if (c.duringCall) {
            auto env =
                CallerEnvironment(dir_.Path(), "caller" + std::to_string(n), exchange.Port("C"));
            caller = std::make_unique<ChildProcess>(
                NOTE_CLIENT_PATH, std::vector<std::string>{kStationNumber, "hold 30"}, env,
                dir_.File("caller" + std::to_string(n)), dir_.File("caller-stderr.txt"));
            ASSERT_TRUE(caller->WaitForLine("holding", 30s));
            ASSERT_TRUE(station.Process().WaitForLine("Befehl VERSION", 10s));
        }
        exchange.Kill();
        EXPECT_EQ(station.Process().Wait(10s), 1) << station.Errors();
        EXPECT_NE(station.Errors().find("Die Verbindung zum ISDN-Treiber ist abgerissen (0x"),
                  std::string::npos)
            << station.Errors();
        EXPECT_TRUE(station.Process().WaitForLine("quorlin beendet", 1s));
        EXPECT_EQ(station.Errors().find("CapiDebug"), std::string::npos) << station.Errors();
        for (const std::string& line : station.Process().Lines()) {
            EXPECT_EQ(line.find("CapiDebug"), std::string::npos) << line;
        }
    }
}

// What would leave quorlin unable to work, or working twice, stops it at once.
TEST_F(QuorlinTest, AStartThatCannotWorkIsRefused) {
    QuorlinStation* first = StartQuorlin(true);
    struct Case {
        const char* name;
        std::map<std::string, std::string> env;
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {"a second quorlin",
         {{"TELVORA_HOME", first->InstallDir()}},
         {},
         "läuft schon ein quorlin; ein zweites würde jeden Anruf doppelt ablegen"},
        {"no installation directory",
         {{"TELVORA_HOME", dir_.File("nirgends")}},
         {},
         "Das Installationsverzeichnis " + dir_.File("nirgends") +
             " ist nicht benutzbar: es gibt es nicht"},
        {"listening refused",
         {{"TELVORA_CAPI_LIBRARY", FAKE_CAPI_PATH}, {"FAKE_CAPI_MODE", "refuse-listen"}},
         {"--no-monitor"},
         "Datenanrufe können nicht angenommen werden"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuorlinStation other(dir_.Path(), "other" + std::to_string(++n), capisim_.Port("Q"), true);
        other.Launch(c.args, c.env);
        EXPECT_EQ(other.Process().Wait(15s), 1);
        EXPECT_NE(other.Errors().find(c.error), std::string::npos) << other.Errors();
        for (const std::string& line : other.Process().Lines()) {
            EXPECT_EQ(line.find("Bereit"), std::string::npos) << line;
        }
    }
}

}  // namespace
