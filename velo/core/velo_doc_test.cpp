#include "velo_doc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "file_size_limit.h"
#include "msgbox_recorder.h"
#include "note_handoff.h"
#include "notify_thread.h"
#include "profile.h"
#include "test_dir.h"

namespace {

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

class VeloDocTest : public ::testing::Test {
protected:
    std::string Store() const { return dir_.File("store"); }
    std::string Notes() const { return dir_.File("store/Notes.dat"); }
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    void PutNotes(const std::string& text) {
        mkdir(Store().c_str(), 0777);
        dir_.Put("store/Notes.dat", text);
    }
    std::string Read(const char* section, const char* key) {
        char buf[512];
        GetPrivateProfileString(section, key, "<missing>", buf, sizeof buf, Notes().c_str());
        return buf;
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
};

TEST_F(VeloDocTest, LoadsEveryRecordPresentWhateverItemsSays) {
    PutNotes(
        "[InNotes]\nItems=2\nfolderPath=InNotes\nfolderName=Eingang\n"
        "item-001=-1|0|100|0|||0|100|Anna|030 1|Eins|N1.txt\n"
        "item-002=-1|0|200|1|||0|200|Bernd|030 2|Zwei|N2.txt\n"
        "item-003=-1|0|300|0|||0|300|C|3|Drei|N3.txt\nitem-004=-1|0|400\nitem-005=-1|0|500\n"
        "item-006=kaputt\n"
        "newItemFlag=0\n"
        "[OutNotes]\nItems=1\nitem-001=-1|0|9|1\n");
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    // "Items" = 2 does not hide the three records behind it, which a save
    // would otherwise remove.
    ASSERT_EQ(doc.Folder(kInNotes).Items().size(), 5u);
    // A record that is no item is kept where people can see it, and they are told.
    EXPECT_EQ(Read("InNotes", "unreadableItem-001"), "kaputt");
    EXPECT_EQ(Read("InNotes", "item-006"), "<missing>");
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_NE(boxes_.Texts()[0].find("unreadableItem-NNN"), std::string::npos);
    EXPECT_EQ(doc.Folder(kInNotes).Name(), "Eingang");
    EXPECT_EQ(doc.Folder(kInNotes).Items()[1].Get(NoteItem::kName), "Bernd");
    EXPECT_EQ(doc.Folder(kInNotes).StatusText(), "5 Nachricht(en), 4 ungelesen");
    EXPECT_EQ(doc.Folder(kOutNotes).StatusText(), "1 Nachricht(en)");
    EXPECT_EQ(doc.Folder(kSendNotes).StatusText(), "Bereit");

    doc.Folder(kOutNotes).Items().clear();
    doc.Folder(kInNotes).Items().erase(doc.Folder(kInNotes).Items().begin() + 2);
    ASSERT_TRUE(doc.Close());
    EXPECT_EQ(Read("InNotes", "Items"), "4");
    EXPECT_EQ(Read("InNotes", "item-002"), "-1|0|200|1|||0|200|Bernd|030 2|Zwei|N2.txt|Telvora|");
    EXPECT_EQ(Read("InNotes", "item-004").substr(0, 9), "-1|0|500|");
    EXPECT_EQ(Read("InNotes", "item-005"), "<missing>");
    EXPECT_EQ(Read("InNotes", "newItemFlag"), "0");  // not the document's key: left alone
    EXPECT_EQ(Read("OutNotes", "Items"), "0");
    EXPECT_EQ(Read("OutNotes", "item-001"), "<missing>");
    EXPECT_EQ(Read("InNotes", "colSize"), "60,60,60,60,60,60,60,60,60,60,60");
    EXPECT_EQ(Read("InNotes", "colOrder"), "0,1,2,3,4,5,6,7,8,9,10");
}

TEST_F(VeloDocTest, AMissingFolderPathIsWrittenAndItsFolderCreated) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    for (int f = 0; f < kFolderCount; ++f) {
        EXPECT_EQ(Read(FolderSection(f), "folderPath"), FolderSection(f));
        EXPECT_EQ(Read(FolderSection(f), "folderName"), FolderSection(f));
        EXPECT_TRUE(Exists(Store() + "/" + FolderSection(f)));
    }
    EXPECT_EQ(doc.FolderView(), -1);
}

TEST_F(VeloDocTest, MovingAndDeletingCarryTheTextFile) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    auto item = *doc.CreateItem(NoteItem(1018880400), kInNotes, "Hallo Welt");
    auto file = std::optional<NoteTextFile>(NoteTextFile{item.Get(NoteItem::kTextFile), 0});

    ASSERT_TRUE(doc.MoveItem(item.NoteId(), kInNotes, kRelayedNotes));
    EXPECT_TRUE(doc.Folder(kInNotes).Items().empty());
    NoteItem* moved = doc.Folder(kRelayedNotes).Find(item.NoteId());
    ASSERT_TRUE(moved);
    EXPECT_FALSE(Exists(Store() + "/InNotes/" + file->name));
    EXPECT_EQ(doc.ReadText(*moved, kRelayedNotes), "Hallo Welt");

    ASSERT_TRUE(doc.DeleteItem(item.NoteId(), kRelayedNotes));
    EXPECT_EQ(doc.ReadText(*doc.Folder(kDeletedNotes).Find(item.NoteId()), kDeletedNotes),
              "Hallo Welt");
    ASSERT_TRUE(doc.DeleteItem(item.NoteId(), kDeletedNotes));
    EXPECT_TRUE(doc.Folder(kDeletedNotes).Items().empty());
    EXPECT_FALSE(Exists(Store() + "/DeletedNotes/" + file->name));

    EXPECT_FALSE(doc.MoveItem(4711, kInNotes, kOutNotes));
    EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Cannot access NoteItem"});
}

TEST_F(VeloDocTest, AMoveDoesNotOverwriteATextOfTheSameName) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    NoteItem a(100), b(200);
    a.Set(NoteItem::kTextFile, "N1.txt");
    b.Set(NoteItem::kTextFile, "N1.txt");
    ASSERT_TRUE(WriteNoteText(doc.Folder(kInNotes).TextPath(a), "from InNotes"));
    ASSERT_TRUE(WriteNoteText(doc.Folder(kOutNotes).TextPath(b), "already in OutNotes"));
    doc.AddItem(a, kInNotes);
    doc.AddItem(b, kOutNotes);
    ASSERT_TRUE(doc.MoveItem(100, kInNotes, kOutNotes));
    NoteItem* moved = doc.Folder(kOutNotes).Find(100);
    ASSERT_TRUE(moved);
    EXPECT_NE(moved->Get(NoteItem::kTextFile), "N1.txt");
    EXPECT_EQ(doc.ReadText(*moved, kOutNotes), "from InNotes");
    EXPECT_EQ(doc.ReadText(*doc.Folder(kOutNotes).Find(200), kOutNotes), "already in OutNotes");
}

TEST_F(VeloDocTest, HandedOverItemsAreTakenAndUnreadableOnesSetAside) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    ASSERT_TRUE(HandOverItem(Notes(), "InNotes",
                             "-1|0|1018880000|0|||3|1018880000|Hans|0301234567|Hallo|N.txt"));
    ASSERT_TRUE(
        HandOverItem(Notes(), "PhoneCalls", "-1|5|1018880001|0|Telefonie|4711|0|1018880001||030|"));
    std::vector<int> order;
    EXPECT_EQ(
        doc.TakeHandedOverItems([&](const NoteItem&, int folder) { order.push_back(folder); }), 2);
    EXPECT_EQ(order, (std::vector<int>{kPhoneCalls, kInNotes}));
    EXPECT_EQ(doc.Folder(kInNotes).Items().at(0).Get(NoteItem::kSubject), "Hallo");
    EXPECT_EQ(Read("InNotes", "newItemFlag"), "0");
    EXPECT_EQ(Read("PhoneCalls", "newItemFlag"), "0");

    // One record that is no item must not hold up those behind it: it is
    // kept under its own key, where people can see it.
    ASSERT_TRUE(WritePrivateProfileString("InNotes", "newItem", "kaputt", Notes().c_str()));
    ASSERT_TRUE(WritePrivateProfileString("InNotes", "newItemFlag", "1", Notes().c_str()));
    ASSERT_TRUE(HandOverItem(Notes(), "InNotes", "-1|0|1018880009|0|||0|1018880009|Eva|1|Zwei|"));
    std::vector<std::string> asides;
    EXPECT_EQ(doc.TakeHandedOverItems({},
                                      [&](const std::string& section, const std::string& key,
                                          const std::string& record) {
                                          asides.push_back(section + " " + key + " " + record);
                                      }),
              1);
    EXPECT_EQ(asides, std::vector<std::string>{"InNotes unreadableItem-001 kaputt"});
    EXPECT_EQ(Read("InNotes", "unreadableItem-001"), "kaputt");
    EXPECT_EQ(Read("InNotes", "newItemFlag"), "0");
    EXPECT_EQ(doc.Folder(kInNotes).Items().size(), 2u);
}

// A take is one replace of the notes file: whatever ends the program after
// it, the items are in their folders on disk and no longer handed over.
TEST_F(VeloDocTest, TakenItemsAreInTheFileAtOnceWhoeverTakesThem) {
    for (bool notifyThread : {false, true}) {
        SCOPED_TRACE(notifyThread ? "notify thread" : "take");
        std::filesystem::remove_all(Store());
        mkdir(Store().c_str(), 0777);
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(HandOverItem(Notes(), "PhoneCalls",
                                     "-1|5|" + std::to_string(100 + i) + "|0|||0|1|||Anruf|"));
        }
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            CVeloDoc doc(Store(), Config());
            if (!doc.Open()) _exit(2);
            std::atomic<int> taken{0};
            if (notifyThread) {
                CNotifyThread notify(doc, [&](const NoteItem&, int) { ++taken; });
                notify.Start();
                auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (taken < 5 && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            } else {
                taken = doc.TakeHandedOverItems();
            }
            _exit(taken == 5 ? 0 : 3);  // ends without closing the document
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(Read("PhoneCalls", "Items"), "5");
        EXPECT_EQ(Read("PhoneCalls", "item-005").substr(0, 9), "-1|5|104|");
        EXPECT_EQ(Read("PhoneCalls", "newItemFlag"), "0");
    }
}

// Close saves and gives the document up under its lock, and a take looks
// at the document only under that lock: no item goes into a closed one.
TEST_F(VeloDocTest, ATakeRacingCloseLosesNothing) {
    const int rounds = 20, items = 6;
    mkdir(Store().c_str(), 0777);
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < items; ++i) {
            ASSERT_TRUE(HandOverItem(Notes(), "InNotes",
                                     "-1|0|" + std::to_string(round * 100 + i) + "|0|||0|1|||x|"));
        }
        CVeloDoc doc(Store(), Config());
        ASSERT_TRUE(doc.Open());
        std::atomic<bool> started{false};
        std::thread taker([&] {
            started = true;
            while (doc.IsOpen()) doc.TakeHandedOverItems();
        });
        while (!started) std::this_thread::yield();
        ASSERT_TRUE(doc.Close());
        taker.join();
    }
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    doc.TakeHandedOverItems();
    std::set<long> ids;
    for (const NoteItem& n : doc.Folder(kInNotes).Items()) {
        EXPECT_TRUE(ids.insert(n.NoteId()).second) << "twice: " << n.NoteId();
    }
    EXPECT_EQ(ids.size(), size_t(rounds * items));
}

TEST_F(VeloDocTest, AnIdNamesOneItemAndATextFileBelongsToOne) {
    // An older store: a call and a note that share an id, and the call
    // names the note's text file though it never had one.
    PutNotes(
        "[DeletedNotes]\nItems=2\n"
        "item-001=-1|0|500|1|||0|500|Hans|030|Notiz|N1.txt\n"
        "item-002=-1|5|500|1|||0|500||030|Anruf|N1.txt\n"
        "[OutNotes]\nItems=1\nitem-001=-1|0|501|1|||0|501|Eva|040|Gesendet|N1.txt\n");
    mkdir((Store() + "/DeletedNotes").c_str(), 0777);
    mkdir((Store() + "/OutNotes").c_str(), 0777);
    dir_.Put("store/DeletedNotes/N1.txt", "Text der Notiz");
    dir_.Put("store/OutNotes/N1.txt", "Text der gesendeten Notiz");
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    auto& deleted = doc.Folder(kDeletedNotes).Items();
    ASSERT_EQ(deleted.size(), 2u);
    long callId = deleted[1].NoteId();
    EXPECT_NE(callId, 500);  // the later one gave way
    EXPECT_NE(callId, 501);
    EXPECT_EQ(Read("DeletedNotes", "item-002").substr(0, 5 + std::to_string(callId).size()),
              "-1|5|" + std::to_string(callId));

    // Deleting the call for good leaves the note's text alone.
    ASSERT_TRUE(doc.DeleteItemForGood(callId, kDeletedNotes));
    EXPECT_EQ(doc.ReadText(*doc.Folder(kDeletedNotes).Find(500), kDeletedNotes), "Text der Notiz");
    // Moved among items of the same text-file name, each keeps its own text.
    ASSERT_TRUE(doc.MoveItem(500, kDeletedNotes, kOutNotes));
    NoteItem* moved = doc.Folder(kOutNotes).Find(500);
    ASSERT_TRUE(moved);
    EXPECT_NE(moved->Get(NoteItem::kTextFile), "N1.txt");
    EXPECT_EQ(doc.ReadText(*moved, kOutNotes), "Text der Notiz");
    EXPECT_EQ(doc.ReadText(*doc.Folder(kOutNotes).Find(501), kOutNotes),
              "Text der gesendeten Notiz");
    EXPECT_EQ(doc.Folder(kOutNotes).Items().size(), 2u);
}

TEST_F(VeloDocTest, AFailedStepLeavesTheStoreAsItWas) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    auto note = doc.CreateItem(NoteItem(1018880400), kInNotes, "Hallo");
    ASSERT_TRUE(note);
    long id = note->NoteId();
    std::string text = Store() + "/InNotes/" + note->Get(NoteItem::kTextFile);
    std::string before = dir_.Get("store/Notes.dat");
    {
        // The notes file cannot grow or be written anew; text files can.
        FileSizeLimit full(before.size() / 2);
        EXPECT_FALSE(doc.MoveItem(id, kInNotes, kRelayedNotes));
        EXPECT_FALSE(doc.CreateItem(NoteItem(1018880500), kSendNotes, "neu"));
        EXPECT_FALSE(doc.MarkRead(id, kInNotes));
        EXPECT_FALSE(doc.DeleteItem(id, kInNotes));
    }
    EXPECT_EQ(dir_.Get("store/Notes.dat"), before);
    EXPECT_EQ(doc.Folder(kInNotes).Items().size(), 1u);
    EXPECT_FALSE(doc.Folder(kInNotes).Items()[0].IsRead());
    EXPECT_TRUE(doc.Folder(kRelayedNotes).Items().empty());
    EXPECT_TRUE(doc.Folder(kSendNotes).Items().empty());
    EXPECT_EQ(dir_.Get("store/InNotes/" + note->Get(NoteItem::kTextFile)), "Hallo");
    for (const char* folder : {"RelayedNotes", "SendNotes", "DeletedNotes"}) {
        EXPECT_TRUE(std::filesystem::is_empty(Store() + "/" + folder)) << folder;
    }
    ASSERT_EQ(boxes_.Count(), 4u);
    EXPECT_EQ(boxes_.Texts()[0].substr(0, 10), "Die Datei ");

    // A folder directory that cannot take the text: the item stays, and says why.
    std::filesystem::remove_all(Store() + "/DeletedNotes");
    dir_.Put("store/DeletedNotes", "no folder");
    EXPECT_FALSE(doc.DeleteItem(id, kInNotes));
    EXPECT_NE(boxes_.Texts().back().find("kann nicht nach"), std::string::npos);
    EXPECT_EQ(dir_.Get("store/Notes.dat"), before);
    EXPECT_EQ(dir_.Get("store/InNotes/" + note->Get(NoteItem::kTextFile)), "Hallo");
    EXPECT_TRUE(Exists(text));
}

TEST_F(VeloDocTest, AStoreThatCannotBeUsedIsSaidSoAndNothingWritten) {
    // The store directory is a file; Notes.dat is a folder.
    dir_.Put("store", "no folder");
    CVeloDoc notADir(Store(), Config());
    EXPECT_FALSE(notADir.Open());
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Texts()[0].find(CVeloDoc::kStoreBusy), std::string::npos);
    EXPECT_NE(boxes_.Texts()[0].find("kann nicht benutzt werden"), std::string::npos);

    std::filesystem::remove(Store());
    mkdir(Store().c_str(), 0777);
    mkdir(Notes().c_str(), 0777);
    CVeloDoc unreadable(Store(), Config());
    EXPECT_FALSE(unreadable.Open());
    ASSERT_EQ(boxes_.Count(), 3u);
    EXPECT_EQ(boxes_.Texts()[1], "Cannot read folders information");
    EXPECT_TRUE(std::filesystem::is_empty(Notes()));
    EXPECT_FALSE(Exists(Store() + "/InNotes"));
}

TEST_F(VeloDocTest, TheNotifyThreadTakesAnItemWithinASecond) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    // The other process is forked before the thread starts: a fork beside a
    // running thread may copy a lock that the thread holds, and hang.
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char c;
        if (read(go[0], &c, 1) != 1) _exit(2);
        _exit(HandOverItem(Notes(), "InNotes", "-1|0|7|0|||3|7|Eva|0221|Hallo|") ? 0 : 1);
    }
    CNotifyThread notify(doc);
    notify.Start();
    ASSERT_EQ(write(go[1], "g", 1), 1);
    waitpid(pid, nullptr, 0);
    close(go[0]);
    close(go[1]);
    auto handedOver = std::chrono::steady_clock::now();
    auto taken = [&] {
        std::lock_guard<std::recursive_mutex> lock(doc.Lock());
        return doc.Folder(kInNotes).Find(7) != nullptr;
    };
    while (!taken() && std::chrono::steady_clock::now() - handedOver < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    auto elapsed = std::chrono::steady_clock::now() - handedOver;
    ASSERT_TRUE(taken());
    // One pass a second, with room for a loaded machine.
    EXPECT_LE(elapsed, std::chrono::milliseconds(1500));
    notify.Stop();
    EXPECT_EQ(Read("InNotes", "newItemFlag"), "0");
}

TEST_F(VeloDocTest, OneVeloProgramAtATimeOwnsTheStore) {
    CVeloDoc first(Store(), Config());
    ASSERT_TRUE(first.Open());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CVeloDoc second(Store(), Config());
        _exit(second.Open() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(first.Close());
    CVeloDoc third(Store(), Config());
    EXPECT_TRUE(third.Open());
}

TEST_F(VeloDocTest, APreparedNoteLandsInSendNotes) {
    dir_.Put(
        "Telvora.cfg",
        "[Parameters]\nnoteToSend=1\nlastName=Erika\nlastTelephone=0221 555\nlastSubject=Termin\n");
    mkdir(Store().c_str(), 0777);
    mkdir((Store() + "/SendNotes").c_str(), 0777);
    dir_.Put("store/SendNotes/LstMsg.txt", "> zitiert\nAntwort");
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());               // opening the document takes the prepared note
    EXPECT_FALSE(doc.TakePreparedNote());  // the flag went back to 0
    ASSERT_EQ(doc.Folder(kSendNotes).Items().size(), 1u);
    const NoteItem& note = doc.Folder(kSendNotes).Items()[0];
    EXPECT_EQ(note.Get(NoteItem::kName), "Erika");
    EXPECT_EQ(note.Get(NoteItem::kNumber), "0221 555");
    EXPECT_EQ(note.Get(NoteItem::kSubject), "Termin");
    EXPECT_EQ(doc.ReadText(note, kSendNotes), "> zitiert\nAntwort");
    char buf[16];
    GetPrivateProfileString("Parameters", "outNote", "", buf, sizeof buf, Config().c_str());
    EXPECT_STREQ(buf, "SendNotes");
}

// The notes file that showed the overflow: an item with the largest id
// there is, and one handed over with the same id.
TEST_F(VeloDocTest, AnItemHandedOverWithTheLargestIdInUseTakesAFreeOne) {
    PutNotes(
        "[InNotes]\nItems=1\nitem-001=-1|0|9223372036854775807|0|||0|1|A|1|S|\n"
        "newItemFlag=1\nnewItem=-1|0|9223372036854775807|0|||0|1|B|2|T|\n");
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    ASSERT_EQ(doc.TakeHandedOverItems(), 1);
    const auto& items = doc.Folder(kInNotes).Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].NoteId(), 9223372036854775807L);
    EXPECT_EQ(items[1].NoteId(), 1);
    EXPECT_EQ(items[1].Get(NoteItem::kName), "B");
}

}  // namespace
