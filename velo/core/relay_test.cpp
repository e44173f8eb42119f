// Forwarding in velo: templates, filters, the parameter file for relay,
// the relay pass over the store and the relay results applied.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <iterator>

#include "config_keys.h"
#include "msgbox_recorder.h"
#include "note_handoff.h"
#include "notify_thread.h"
#include "note_folders.h"
#include "profile.h"
#include "relay_dispatch.h"
#include "relay_filter.h"
#include "relay_template.h"
#include "relay_thread.h"
#include "relayed_items.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

std::string Param(const std::string& file, const char* key) {
    return SettingsFile(file).ReadText("RelayParameters", key, "<none>");
}

TEST(RelayTemplate, PlaceholdersAreFilledOnceEachInTheirOrder) {
    TestDir dir;
    dir.Put("text.txt", "Hallo");
    NoteItem item(1018880000);
    item.Set(NoteItem::kName, "Kunde");
    item.Set(NoteItem::kSubject, "Mein %BETREFF% und %NAME%");
    EXPECT_EQ(ExpandRelayTemplate("%NAME%: %TEXT%", item, dir.File("text.txt")), "Kunde: Hallo");
    // The subject's own "%BETREFF%" stays; its "%NAME%" was searched before.
    EXPECT_EQ(ExpandRelayTemplate("[%BETREFF%]", item, ""), "[Mein %BETREFF% und %NAME%]");
    EXPECT_EQ(ExpandRelayTemplate("%TEXT%|%text%", item, dir.File("missing.txt")), "|%text%");
    EXPECT_NE(std::string(kRelayTemplateHelp).find("Sie können folgende Schlüsselwörte verwenden:"),
              std::string::npos);
}

TEST(RelayFilter, IncludeAndExcludeTestsOfTheDesignsExamples) {
    std::vector<std::string> p(cfg::kFilterProfileFields);
    p[relay_filter::kFlags] = "2";
    p[relay_filter::kMsnIn] = "123;456";
    EXPECT_TRUE(FilterRelays(p, "456", "0301", "Anna"));
    EXPECT_FALSE(FilterRelays(p, "789", "0301", "Anna"));
    p[relay_filter::kFlags] = "18";
    p[relay_filter::kMsnOut] = "456";
    EXPECT_FALSE(FilterRelays(p, "456", "0301", "Anna"));
    EXPECT_TRUE(FilterRelays(p, "123", "0301", "Anna"));
    p[relay_filter::kFlags] = "0";
    EXPECT_TRUE(FilterRelays(p, "789", "", ""));
    // Case counts; an empty value is in every field.
    p[relay_filter::kFlags] = "8";
    p[relay_filter::kTextIn] = "Dringend";
    EXPECT_FALSE(FilterRelays(p, "1", "2", "dringend"));
    EXPECT_TRUE(FilterRelays(p, "1", "2", ""));
}

class RelayParametersTest : public ::testing::Test {
protected:
    void Put(const std::string& profiles, const std::string& section = "RelayNote") {
        dir_.Put("Telvora.cfg", "[Sender]\nmsn=4711\nisdnPrefix=0\n[" + section +
                                    "]\nprofile=7\nlogFile=1\nlogFilename=" + dir_.File("Relay.log") +
                                    "\n[RelayProfiles]\n" + profiles +
                                    "[CallByCallProviders]\nItems=1\nitem-001=1|CBCP_01|Spar|01013\n"
                                    "[CallByCallTariffPlan]\nItems=1\nitem-001=1|Standard|CBCT_01\n"
                                    "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n");
    }
    bool Write(const char* section = "RelayNote") {
        return RelayDispatcher::SetServiceParameters(config_, dir_.File("p.ini"), section, "Betr",
                                                     42);
    }
    TestDir dir_;
    SettingsFile config_{dir_.File("Telvora.cfg")};
};

TEST_F(RelayParametersTest, AnSmsProfileWritesCentreRecipientDelayTriesAndThePlansPrefix) {
    Put("Items=1\nitem-001=7|3|Handy|0221000000|0170000000|10|3|Standard|\n");
    ASSERT_TRUE(Write());
    std::string p = dir_.File("p.ini");
    EXPECT_EQ(Param(p, "operation"), "3");
    EXPECT_EQ(Param(p, "SMSCenter"), "0221000000");
    EXPECT_EQ(Param(p, "To"), "0170000000");
    EXPECT_EQ(Param(p, "delay"), "10");
    EXPECT_EQ(Param(p, "tries"), "3");
    EXPECT_EQ(Param(p, "callByCallPrefix"), "01013");
    EXPECT_EQ(Param(p, "msn"), "4711");
    EXPECT_EQ(Param(p, "isdnPrefix"), "0");
    EXPECT_EQ(Param(p, "noteId"), "42");
    EXPECT_EQ(Param(p, "configFileName"), config_.Path());
    EXPECT_EQ(Param(p, "logFile"), "1");
}

TEST_F(RelayParametersTest, AMailServerWithAndWithoutPortAndProfilesThatDoNotServe) {
    Put("Items=1\nitem-001=7|1|Büro|mail.example.de:587|anna@x.de|b@y.de||DSL|19\n");
    ASSERT_TRUE(Write());
    std::string p = dir_.File("p.ini");
    EXPECT_EQ(Param(p, "Host"), "mail.example.de");
    EXPECT_EQ(Param(p, "Port"), "587");
    EXPECT_EQ(Param(p, "From"), "anna@x.de");
    EXPECT_EQ(Param(p, "To"), "b@y.de");
    EXPECT_EQ(Param(p, "Cc"), "");
    EXPECT_EQ(Param(p, "dialUpEntry"), "DSL");
    EXPECT_EQ(Param(p, "ConnectionMode"), "19");
    EXPECT_EQ(Param(p, "Subject"), "Betr");
    Put("Items=1\nitem-001=7|1|Büro|mail.example.de|anna@x.de|b@y.de||DSL|0\n");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Param(p, "Host"), "mail.example.de");
    EXPECT_EQ(Param(p, "Port"), "25");
    // No profile of that id, an unknown operation, a line that ends early.
    for (const char* profiles : {"Items=1\nitem-001=8|2|Datei|/tmp/x|\n",
                                 "Items=1\nitem-001=7|9|Drucker|x|\n",
                                 "Items=1\nitem-001=7|3|Handy|0221000000|0170000000\n"}) {
        Put(profiles);
        EXPECT_FALSE(Write()) << profiles;
    }
}

// The relay pass on a store: a call held back by its filter, a note handed
// to relay with its files, then relay's report moving it.
TEST(RelayPass, HeldBackHandedOverAndRelayedItemsAndTheirStates) {
    TestDir dir;
    MessageBoxRecorder boxes;
    dir.Put("Telvora.cfg",
            "[RelayCall]\nprofile=7\nfilter=1\nfilterProfile=2\nlogFile=1\nlogFilename=" +
                dir.File("Relay.log") +
                "\n[RelayNote]\nprofile=7\ntemplateId=3\n"
                "[RelayProfiles]\nItems=1\nitem-001=7|2|Datei|" + dir.File("out.txt") + "|\n"
                "[FilterProfiles]\nItems=1\nitem-001=2|x|y|2|a|b|111|||||\n"
                "[TemplateProfiles]\nItems=1\nitem-001=3|x|Kurz|0|Re: %BETREFF%|%NAME%: %TEXT%\n");
    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    NoteItem call(1018880000);
    call.SetNumber(NoteItem::kType, static_cast<int>(NoteType::Call));
    call.Set(NoteItem::kMsn, "222");
    call.Set(NoteItem::kName, "Hans");
    call.Set(NoteItem::kNumber, "0301");
    call.SetNumber(NoteItem::kState, kStateWaitingRelay);
    ASSERT_TRUE(doc.AddItem(call, kPhoneCalls));
    NoteItem note(1018880005);
    note.Set(NoteItem::kName, "Kunde");
    note.Set(NoteItem::kSubject, "Anfrage");
    note.SetNumber(NoteItem::kState, kStateWaitingRelay);
    auto stored = doc.CreateItem(note, kInNotes, "Hallo");
    ASSERT_TRUE(stored);

    std::vector<std::vector<std::string>> started;
    RelayDispatcher dispatcher(dir.File("Telvora.cfg"), "/opt/telvora", nullptr, dir.Path());
    dispatcher.SetStarter([&](const std::string& program, const std::vector<std::string>& args) {
        started.push_back({program, args[0]});
        return true;
    });
    CRelayThread relay(doc, dispatcher);
    relay.Pass();

    EXPECT_EQ(doc.Folder(kPhoneCalls).Items()[0].Number(NoteItem::kState), kStateHeldBack);
    EXPECT_TRUE(IsHeldBackByFilter(dir.File("Telvora.cfg"), 1018880000));
    EXPECT_FALSE(IsHeldBackByFilter(dir.File("Telvora.cfg"), 1018880005));
    std::string log = dir.Get("Relay.log");
    EXPECT_NE(log.find(" INFO: Anruf [MSN/EAZ: 222, Tel. 0301 Name: Hans] wurde nicht "
                       "weitergeleitet. Filterbedingung ist aktiv.\n"),
              std::string::npos)
        << log;
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0][0], "/opt/telvora/relay");
    std::string params = started[0][1].substr(3);
    EXPECT_EQ(started[0][1].substr(0, 3), "-f:");
    EXPECT_EQ(Param(params, "operation"), "2");
    EXPECT_EQ(Param(params, "relayFile"), dir.File("out.txt"));
    EXPECT_EQ(Param(params, "noteId"), std::to_string(stored->NoteId()));
    std::ifstream message(Param(params, "Message"));
    std::string text((std::istreambuf_iterator<char>(message)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "Kunde: Hallo");
    EXPECT_EQ(doc.Folder(kInNotes).Items()[0].Number(NoteItem::kState), kStateHandedToRelay);
    // A second pass starts nothing more.
    relay.Pass();
    EXPECT_EQ(started.size(), 1u);

    // Relay reports the note and an id that is nowhere; the list is emptied.
    ASSERT_TRUE(AppendRelayedItem(dir.File("Telvora.cfg"), stored->NoteId()));
    ASSERT_TRUE(AppendRelayedItem(dir.File("Telvora.cfg"), 77));
    std::vector<long> ids = TakeRelayedItems(dir.File("Telvora.cfg"));
    EXPECT_EQ(ids, (std::vector<long>{stored->NoteId(), 77}));
    EXPECT_EQ(doc.ApplyRelayed(ids), 1);
    EXPECT_TRUE(TakeRelayedItems(dir.File("Telvora.cfg")).empty());
    ASSERT_EQ(doc.Folder(kRelayedNotes).Items().size(), 1u);
    EXPECT_EQ(doc.Folder(kRelayedNotes).Items()[0].Number(NoteItem::kState), kStateRelayed);
    EXPECT_TRUE(doc.Folder(kInNotes).Items().empty());
    EXPECT_TRUE(boxes.Texts().empty());
    doc.Close();
}

TEST(RelayedItems, TwelveAndFifteenBothMove) {
    TestDir dir;
    dir.Put("Telvora.cfg", "[RelayResults]\nRelayedItems=12,15\n");
    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    for (long id : {12, 15}) {
        NoteItem n(id);
        n.SetNumber(NoteItem::kState, kStateHandedToRelay);
        ASSERT_TRUE(doc.AddItem(n, id == 12 ? kInNotes : kPhoneCalls));
    }
    EXPECT_EQ(doc.ApplyRelayed(TakeRelayedItems(dir.File("Telvora.cfg"))), 2);
    EXPECT_EQ(doc.Folder(kRelayedNotes).Items().size(), 2u);
    EXPECT_EQ(SettingsFile(dir.File("Telvora.cfg")).ReadText("RelayResults", "RelayedItems", "x"),
              "");
    doc.Close();
}

}  // namespace

namespace {

// Held-back ids of items that are gone are forgotten with the next one.
TEST(RelayPass, HeldBackIdsOfItemsThatAreGoneAreForgotten) {
    TestDir dir;
    dir.Put("Telvora.cfg",
            "[RelayHeldBack]\n4711=1\n"
            "[RelayCall]\nfilter=1\nfilterProfile=2\n"
            "[FilterProfiles]\nItems=1\nitem-001=2|x|y|2|a|b|111|||||\n");
    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    NoteItem call(1018880000);
    call.SetNumber(NoteItem::kType, static_cast<int>(NoteType::Call));
    call.Set(NoteItem::kMsn, "222");
    call.SetNumber(NoteItem::kState, kStateWaitingRelay);
    ASSERT_TRUE(doc.AddItem(call, kPhoneCalls));
    RelayDispatcher dispatcher(dir.File("Telvora.cfg"), "/nowhere", nullptr, dir.Path());
    dispatcher.SetStarter([](const std::string&, const std::vector<std::string>&) { return false; });
    CRelayThread relay(doc, dispatcher);
    relay.Pass();
    EXPECT_TRUE(IsHeldBackByFilter(dir.File("Telvora.cfg"), 1018880000));
    EXPECT_FALSE(IsHeldBackByFilter(dir.File("Telvora.cfg"), 4711));
    doc.Close();
}

}  // namespace

namespace {

// velo's two threads together: what the answering station hands over with
// forwarding on goes to relay, and relay's report moves it.
TEST(NotifyAndRelayThreads, AHandedOverNoteIsRelayedAndMovedWhenRelayReports) {
    TestDir dir;
    dir.Put("Telvora.cfg",
            "[RelayNote]\nprofile=7\n[RelayProfiles]\nItems=1\nitem-001=7|2|Datei|" +
                dir.File("out.txt") + "|\n");
    CVeloDoc doc(dir.Path(), dir.File("Telvora.cfg"));
    ASSERT_TRUE(doc.Open());
    std::mutex mutex;
    std::condition_variable started;
    std::vector<std::string> params;
    RelayDispatcher dispatcher(dir.File("Telvora.cfg"), "/opt/telvora", nullptr, dir.Path());
    dispatcher.SetStarter([&](const std::string&, const std::vector<std::string>& args) {
        std::lock_guard<std::mutex> lock(mutex);
        params.push_back(args[0].substr(3));
        started.notify_all();
        return true;
    });
    CRelayThread relay(doc, dispatcher);
    relay.Start();
    bool refreshed = false;
    CNotifyThread notify(doc);
    notify.SetRelay(&relay, [&] { refreshed = true; });

    ASSERT_TRUE(HandOverItem(doc.NotesFile(), "InNotes",
                             "-1|0|1018880000|0|||3|1018880000|Hans|0301|Hallo|"));
    notify.Pass();
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(started.wait_for(lock, std::chrono::seconds(10), [&] { return !params.empty(); }));
    }
    EXPECT_EQ(Param(params[0], "noteId"), "1018880000");
    relay.Stop();
    EXPECT_EQ(doc.Folder(kInNotes).Items()[0].Number(NoteItem::kState), kStateHandedToRelay);

    ASSERT_TRUE(AppendRelayedItem(dir.File("Telvora.cfg"), 1018880000));
    notify.Pass();
    EXPECT_TRUE(refreshed);
    ASSERT_EQ(doc.Folder(kRelayedNotes).Items().size(), 1u);
    EXPECT_EQ(doc.Folder(kRelayedNotes).Items()[0].Number(NoteItem::kState), kStateRelayed);
    doc.Close();
}

}  // namespace
