#include "velo_doc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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

TEST_F(VeloDocTest, LoadsWhatItemsSaysAndRemovesStaleKeysOnSave) {
    PutNotes(
        "[InNotes]\nItems=2\nfolderPath=InNotes\nfolderName=Eingang\n"
        "item-001=-1|0|100|0|||0|100|Anna|030 1|Eins|N1.txt\n"
        "item-002=-1|0|200|1|||0|200|Bernd|030 2|Zwei|N2.txt\n"
        "item-003=-1|0|300|0|||0|300|C|3|Drei|N3.txt\nitem-004=-1|0|400\nitem-005=-1|0|500\n"
        "newItemFlag=0\n"
        "[OutNotes]\nItems=1\nitem-001=-1|0|9|1\n");
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    ASSERT_EQ(doc.Folder(kInNotes).Items().size(), 2u);
    EXPECT_EQ(doc.Folder(kInNotes).Name(), "Eingang");
    EXPECT_EQ(doc.Folder(kInNotes).Items()[1].Get(NoteItem::kName), "Bernd");
    EXPECT_EQ(doc.Folder(kInNotes).StatusText(), "2 Nachricht(en), 1 ungelesen");
    EXPECT_EQ(doc.Folder(kOutNotes).StatusText(), "1 Nachricht(en)");
    EXPECT_EQ(doc.Folder(kSendNotes).StatusText(), "Bereit");

    doc.Folder(kOutNotes).Items().clear();
    ASSERT_TRUE(doc.Close());
    EXPECT_EQ(Read("InNotes", "item-002"), "-1|0|200|1|||0|200|Bernd|030 2|Zwei|N2.txt|Telvora|");
    for (const char* key : {"item-003", "item-004", "item-005"})
        EXPECT_EQ(Read("InNotes", key), "<missing>");
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
    auto file = doc.NewTextFile(kInNotes, 1018880400);
    ASSERT_TRUE(file);
    NoteItem item(file->time);
    item.Set(NoteItem::kTextFile, file->name);
    ASSERT_TRUE(WriteNoteText(doc.Folder(kInNotes).TextPath(item), "Hallo Welt"));
    doc.AddItem(item, kInNotes);

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

TEST_F(VeloDocTest, HandedOverItemsAreTakenAndUnreadableOnesStayPending) {
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

    ASSERT_TRUE(WritePrivateProfileString("InNotes", "newItem", "garbage", Notes().c_str()));
    ASSERT_TRUE(WritePrivateProfileString("InNotes", "newItemFlag", "1", Notes().c_str()));
    EXPECT_EQ(doc.TakeHandedOverItems(), 0);
    EXPECT_EQ(Read("InNotes", "newItemFlag"), "1");
    EXPECT_EQ(doc.Folder(kInNotes).Items().size(), 1u);
}

TEST_F(VeloDocTest, TheNotifyThreadTakesAnItemWithinASecond) {
    CVeloDoc doc(Store(), Config());
    ASSERT_TRUE(doc.Open());
    CNotifyThread notify(doc);
    notify.Start();
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(HandOverItem(Notes(), "InNotes", "-1|0|7|0|||3|7|Eva|0221|Hallo|") ? 0 : 1);
    waitpid(pid, nullptr, 0);
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
    ASSERT_TRUE(doc.Open());  // opening the document takes the prepared note
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

}  // namespace
