#include "note_intake.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "msgbox_recorder.h"
#include "note_handoff.h"
#include "note_item.h"
#include "test_dir.h"

namespace {

class NoteIntakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(),
               1);  // no registry file: files beside the app
        app_ = dir_.File("quorlin");
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    unsigned short Note(std::string args) {
        return RCmdNote(1, app_.data(), nullptr, args.data(), nullptr, nullptr);
    }
    unsigned short RawNote(std::string args, std::string* replyOut = nullptr) {
        unsigned char* reply = nullptr;
        unsigned long length = 0;
        std::string par = "4711";
        unsigned short rc = RCmdRawNote(2, app_.data(), par.data(), args.data(), &reply, &length);
        if (replyOut) replyOut->assign(reinterpret_cast<char*>(reply), length);
        return rc;
    }
    // Takes the next handed-over item of section.
    std::optional<NoteItem> Taken(const char* section) {
        std::string notes = dir_.File("Notes.dat");
        auto record = PendingItem(notes, section);
        if (!record || !ConfirmTaken(notes, section, *record)) return std::nullopt;
        return NoteItem::Parse(*record);
    }
    size_t FilesIn(const std::string& folder) {
        std::error_code ec;
        auto it = std::filesystem::directory_iterator(dir_.File(folder), ec);
        return ec ? 0
                  : static_cast<size_t>(std::distance(it, std::filesystem::directory_iterator()));
    }

    TestDir dir_;
    std::string app_;
    MessageBoxRecorder boxes_;
};

TEST_F(NoteIntakeTest, ANoteIsFiledWithItsTextAndTheLastFieldKeepsItsBars) {
    ASSERT_EQ(Note("0301234567|Hans|Hallo|Text|mit|Strich\r\nzweite Zeile Gr\xFC\xDF"
                   "e"),
              0);
    auto item = Taken("InNotes");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Type(), 0);
    EXPECT_EQ(item->Get(NoteItem::kNumber), "0301234567");
    EXPECT_EQ(item->Get(NoteItem::kName), "Hans");
    EXPECT_EQ(item->Get(NoteItem::kSubject), "Hallo");
    EXPECT_EQ(item->Number(NoteItem::kState), kStateReceived);
    EXPECT_FALSE(item->IsRead());
    EXPECT_EQ(item->NoteId(), item->Number(NoteItem::kDateTime));
    EXPECT_EQ(dir_.Get("InNotes/" + item->Get(NoteItem::kTextFile)),
              "Text|mit|Strich\nzweite Zeile Grüße");
    // velo is not installed beside this test: the user is told so.
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Texts()[0].substr(0, 42), "Das Programm 'velo' wurde nicht gefunden!\n");
}

TEST_F(NoteIntakeTest, MalformedArgumentsStoreNothing) {
    EXPECT_EQ(Note("0301234567|Hans|Hallo"), 2);
    EXPECT_EQ(Note(""), 2);
    EXPECT_EQ(RawNote("1.1|info||030|Hans|Hallo"), 2);
    EXPECT_EQ(FilesIn("InNotes"), 0u);
    EXPECT_FALSE(Taken("InNotes"));
}

TEST_F(NoteIntakeTest, ARawNoteAnswersWithTheReplyFile) {
    dir_.Put("Telvora.cfg",
             "[Parameters]\nrespMsgID=1\nrespMsg1=respMsg1.txt\n[RelayNote]\nrelay=1\n");
    struct Case {
        std::string file;
        std::string reply;
    } cases[] = {
        {"Bin im Urlaub", "Bin im Urlaub"},
        {std::string(300, 'x'), std::string(255, 'x')},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xFC\xDF"
         "e"},  // on the wire in Windows-1252
    };
    for (const Case& c : cases) {
        dir_.Put("respMsg1.txt", c.file);
        std::string reply;
        ASSERT_EQ(RawNote("1.1|Telvora 1.0||030 123|Hans|Hallo|Text " + c.reply, &reply), 0);
        EXPECT_EQ(reply, c.reply);
        auto item = Taken("InNotes");
        ASSERT_TRUE(item);
        EXPECT_EQ(item->Get(NoteItem::kInfo), "Telvora 1.0");
        EXPECT_EQ(item->Get(NoteItem::kMsn), "4711");
        EXPECT_EQ(item->Get(NoteItem::kNumber), "030 123");
        EXPECT_EQ(item->Number(NoteItem::kState), kStateWaitingRelay);
    }
    dir_.Put("Telvora.cfg", "[Parameters]\nrespMsgID=\n");
    std::string reply = "unchanged";
    ASSERT_EQ(RawNote("1.1|i||1|n|s|t", &reply), 0);
    EXPECT_EQ(reply, "");
}

TEST_F(NoteIntakeTest, NotesOfOneSecondKeepTheirOwnTexts) {
    ASSERT_EQ(Note("1|A|s|first"), 0);
    ASSERT_EQ(Note("2|B|s|second"), 0);
    auto a = Taken("InNotes"), b = Taken("InNotes");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->Get(NoteItem::kTextFile), b->Get(NoteItem::kTextFile));
    EXPECT_NE(a->NoteId(), b->NoteId());
    EXPECT_EQ(dir_.Get("InNotes/" + a->Get(NoteItem::kTextFile)), "first");
    EXPECT_EQ(dir_.Get("InNotes/" + b->Get(NoteItem::kTextFile)), "second");
}

// The sender lost the line before the answer came and sends the note again.
TEST_F(NoteIntakeTest, ANoteSentAgainIsFiledOnce) {
    dir_.Put("Telvora.cfg", "[Parameters]\nrespMsgID=1\nrespMsg1=r.txt\n");
    dir_.Put("r.txt", "Danke");
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string reply;
        ASSERT_EQ(RawNote("1.1|Telvora 1.0||030 123|Hans|Hallo|Bis morgen", &reply), 0);
        EXPECT_EQ(reply, "Danke") << "the resend is answered as the first was";
        ASSERT_EQ(Note("030 123|Hans|Hallo|Bis morgen"), 0);
    }
    EXPECT_TRUE(Taken("InNotes"));
    EXPECT_TRUE(Taken("InNotes")) << "the note line is a note of its own";
    EXPECT_FALSE(Taken("InNotes"));
    EXPECT_EQ(FilesIn("InNotes"), 2u);
    ASSERT_EQ(Note("030 123|Hans|Hallo|Bis übermorgen"), 0);
    EXPECT_TRUE(Taken("InNotes")) << "another text is another note";
}

TEST_F(NoteIntakeTest, ACallIsFiledWithoutAText) {
    dir_.Put("Telvora.cfg", "[RelayCall]\nrelay=1\n");
    ASSERT_EQ(PhoneCallIntake(app_, 1018880000, "4711", "0221 555", "Erika", "Telefonie"), 1);
    auto call = Taken("PhoneCalls");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->Type(), 5);
    EXPECT_EQ(call->NoteId(), 1018880000);
    EXPECT_EQ(call->Get(NoteItem::kSubject), "Anruf");
    EXPECT_EQ(call->Get(NoteItem::kMsn), "4711");
    EXPECT_EQ(call->Get(NoteItem::kName), "Erika");
    EXPECT_EQ(call->Get(NoteItem::kInfo), "Telefonie");
    EXPECT_EQ(call->Number(NoteItem::kState), kStateWaitingRelay);
    // It names no text file: one of that name could be another item's.
    EXPECT_EQ(call->Get(NoteItem::kTextFile), "");
    EXPECT_EQ(FilesIn("PhoneCalls"), 0u);
}

TEST_F(NoteIntakeTest, CallsAndNotesOfOneSecondGetIdsOfTheirOwn) {
    // Items already filed hold the next seconds: the new ones must pass them by.
    long now = static_cast<long>(std::time(nullptr));
    std::string filed = "[InNotes]\nItems=3\n";
    for (int i = 0; i < 3; ++i) {
        filed += "item-00" + std::to_string(i + 1) + "=-1|0|" + std::to_string(now + i) + "|1\n";
    }
    dir_.Put("Notes.dat", filed);
    ASSERT_EQ(PhoneCallIntake(app_, now, "4711", "0221 1", "A", "Telefonie"), 1);
    ASSERT_EQ(PhoneCallIntake(app_, now, "4711", "0221 2", "B", "Telefonie"), 1);
    ASSERT_EQ(Note("030|C|s|Text"), 0);
    auto first = Taken("PhoneCalls"), second = Taken("PhoneCalls"), note = Taken("InNotes");
    ASSERT_TRUE(first && second && note);
    std::set<long> ids{now, now + 1, now + 2, first->NoteId(), second->NoteId(), note->NoteId()};
    EXPECT_EQ(ids.size(), 6u);
    EXPECT_GE(first->NoteId(), now + 3);
    EXPECT_EQ(dir_.Get("InNotes/" + note->Get(NoteItem::kTextFile)), "Text");
}

}  // namespace
