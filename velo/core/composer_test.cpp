#include "composer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config_keys.h"
#include "file_size_limit.h"
#include "msgbox.h"
#include "msgbox_recorder.h"
#include "profile.h"
#include "settings_file.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

constexpr std::time_t kComposeTime = 1700000000;

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class ComposerTest : public ::testing::Test {
protected:
    ComposerTest() {
        mkdir(Store().c_str(), 0777);
        doc_ = std::make_unique<CVeloDoc>(Store(), Config());
        EXPECT_TRUE(doc_->Open());
    }
    std::string Store() const { return dir_.File("store"); }
    std::string Config() const { return dir_.File("Telvora.cfg"); }
    std::string Install() const { return dir_.Path(); }
    SettingsFile Cfg() const { return SettingsFile(Config()); }
    Composer NewComposer() { return Composer(*doc_, Config(), Install()); }
    std::vector<NoteItem>& SendNotes() { return doc_->Folder(kSendNotes).Items(); }
    void Reopen() {
        doc_->Close();
        doc_ = std::make_unique<CVeloDoc>(Store(), Config());
        ASSERT_TRUE(doc_->Open());
    }
    void UseSignature(const std::string& text) {
        Cfg().Write(cfg::kSignatureFile, "Signature.txt");
        dir_.Put("Signature.txt", text);
    }
    // A stored note, as the composer reads it back.
    std::optional<ComposerResult> Compose(const ComposerFields& fields) {
        Composer c = NewComposer();
        c.Fields() = fields;
        return c.Accept(kComposeTime);
    }

    TestDir dir_;
    MessageBoxRecorder boxes_;
    std::unique_ptr<CVeloDoc> doc_;
};

TEST_F(ComposerTest, SmsWithSignatureOverItsLimitIsSaidOnceAndNotStored) {
    UseSignature(Repeat("ä", 20));  // characters, not bytes
    Composer c = NewComposer();
    c.Fields().type = 2;
    c.Fields().recipient = "0171 1234567";
    c.Fields().text = Repeat("x", 150);
    c.Changed();
    EXPECT_EQ(boxes_.Count(), 0u);
    EXPECT_EQ(c.Counter(), " Noch   10 von  160 Zeichen frei.");
    c.Fields().signature = true;
    c.Changed();
    c.Fields().text += "y";  // still over: no second box while typing
    c.Changed();
    EXPECT_EQ(c.Used(), 171);
    EXPECT_EQ(c.Counter(), " Noch  -11 von  160 Zeichen frei.");
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, composer_text::kLimitExceeded);
    EXPECT_EQ(boxes_.Calls()[0].type & MB_ICONSTOP, unsigned{MB_ICONSTOP});
    // OK refuses what could not be sent as one SMS.
    EXPECT_FALSE(c.Accept(kComposeTime));
    EXPECT_EQ(boxes_.Texts().back(), composer_text::kLimitExceeded);
    EXPECT_TRUE(SendNotes().empty());
    c.Fields().text.resize(140);
    ASSERT_TRUE(c.Accept(kComposeTime));
    EXPECT_EQ(doc_->ReadText(SendNotes()[0], kSendNotes), Repeat("x", 140) + Repeat("ä", 20));
}

TEST_F(ComposerTest, SignatureIsCutAtCharactersAndMissingFileIsEmpty) {
    EXPECT_EQ(SignatureText(Config(), Install()), "");
    Cfg().Write(cfg::kSignatureFile, "fehlt.txt");
    EXPECT_EQ(SignatureText(Config(), Install()), "");
    // 1 + 3 * 400 bytes: the bytes read end inside a "€", which must not
    // turn the whole signature into Windows-1252.
    UseSignature("a" + Repeat("€", 400));
    EXPECT_EQ(SignatureText(Config(), Install()), "a" + Repeat("€", 254));
    UseSignature(Repeat("😀", 300));
    EXPECT_EQ(SignatureText(Config(), Install()), Repeat("😀", 255));
    UseSignature(
        "Gr\xFC\xDF"
        "e");  // written by a Windows program
    EXPECT_EQ(SignatureText(Config(), Install()), "Grüße");
}

TEST_F(ComposerTest, NewNoteStoresDefaultsAndRemembersTheRecipient) {
    Cfg().Write(cfg::kLastName, "Alt");
    Composer first = NewComposer();
    EXPECT_TRUE(first.IsNew());
    EXPECT_STREQ(first.Caption(), "Nachricht erstellen");
    EXPECT_EQ(first.Fields().name, "Alt");
    first.Fields() = ComposerFields{0, "", "030 123456", "", "", "Hallo", false};
    auto stored = first.Accept(kComposeTime);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->folder, kSendNotes);
    Reopen();
    ASSERT_EQ(SendNotes().size(), 1u);
    const NoteItem& note = SendNotes()[0];
    EXPECT_EQ(note.NoteId(), stored->noteId);
    EXPECT_EQ(note.Get(NoteItem::kName), "Unbekannt");
    EXPECT_EQ(note.Get(NoteItem::kSubject), "---");
    EXPECT_EQ(note.Get(NoteItem::kNumber), "030 123456");
    EXPECT_EQ(note.Number(NoteItem::kDateTime), kComposeTime);
    EXPECT_EQ(note.Type(), 0);
    EXPECT_EQ(doc_->ReadText(note, kSendNotes), "Hallo");

    Composer next = NewComposer();
    EXPECT_EQ(next.Fields().name, "");
    EXPECT_EQ(next.Fields().recipient, "030 123456");
    EXPECT_EQ(next.Fields().subject, "");
    EXPECT_EQ(next.Fields().signature, false);
}

TEST_F(ComposerTest, RecipientIsCheckedByTypeAndChoosesTheSmsNetwork) {
    struct Case {
        int type;
        const char* recipient;
        std::optional<int> stored;
    } cases[] = {
        {2, "0172 123-4567", 3},    {4, "0171 1234567", 2},
        {3, "0176 1234567", 3},     {2, "0221 123456", {}},
        {6, "hans.example.de", {}}, {6, "hans@example", {}},
        {0, "030 12345", 0},        {0, "Hans", {}},
    };
    for (const Case& c : cases) {
        size_t before = boxes_.Count();
        auto stored = Compose(ComposerFields{c.type, "Hans", c.recipient, "", "Betreff", "x"});
        EXPECT_EQ(stored.has_value(), c.stored.has_value()) << c.recipient;
        if (!stored) {
            ASSERT_EQ(boxes_.Count(), before + 1) << c.recipient;
            EXPECT_EQ(boxes_.Calls().back().text, std::string("Die Rufnummer/Adresse '") +
                                                      c.recipient +
                                                      "' hat ein falsches Format!\n Bitte "
                                                      "überprüfen!");
            EXPECT_EQ(boxes_.Calls().back().type & MB_ICONSTOP, unsigned{MB_ICONSTOP});
            continue;
        }
        EXPECT_EQ(doc_->Folder(kSendNotes).Find(stored->noteId)->Type(), *c.stored);
    }
    EXPECT_EQ(SendNotes().size(), 4u);
}

TEST_F(ComposerTest, EmailKeepsAddressAndCcAndOnlyEmailHasCc) {
    auto mail = Compose(ComposerFields{6, "Hans", "hans@example.de", "eva@example.de", "Hi", "x"});
    auto note = Compose(ComposerFields{0, "Hans", "030 1", "eva@example.de", "Hi", "x"});
    ASSERT_TRUE(mail && note);
    Reopen();
    const NoteItem* m = doc_->Folder(kSendNotes).Find(mail->noteId);
    const NoteItem* n = doc_->Folder(kSendNotes).Find(note->noteId);
    EXPECT_EQ(m->Type(), 6);
    EXPECT_EQ(RecipientOf(*m), "hans@example.de");
    EXPECT_EQ(m->Get(NoteItem::kAddress), "hans@example.de");
    EXPECT_EQ(CcOf(*m), "eva@example.de");
    EXPECT_EQ(RecipientOf(*n), "030 1");
    EXPECT_EQ(CcOf(*n), "");
    EXPECT_EQ(n->Get(NoteItem::kInfo), "");
    // The last recipient for the next message is what was typed.
    EXPECT_EQ(Cfg().Read(cfg::kLastTelephone), "030 1");
}

TEST_F(ComposerTest, FieldsAreGuardedAndABarNeitherShiftsNorIsLost) {
    auto bar = Compose(ComposerFields{0, "Müller | Söhne", "030 1", "", "A|B", "x"});
    ASSERT_TRUE(bar);
    auto cp1252 = Compose(ComposerFields{0, "M\xFCller", "030 2", "", "", "x"});
    ASSERT_TRUE(cp1252);
    Reopen();
    const NoteItem* n = doc_->Folder(kSendNotes).Find(bar->noteId);
    EXPECT_EQ(n->Get(NoteItem::kName), "Müller | Söhne");
    EXPECT_EQ(n->Get(NoteItem::kNumber), "030 1");
    EXPECT_EQ(n->Get(NoteItem::kSubject), "A|B");
    EXPECT_FALSE(n->Get(NoteItem::kTextFile).empty());
    EXPECT_EQ(doc_->Folder(kSendNotes).Find(cp1252->noteId)->Get(NoteItem::kName), "Müller");

    struct Case {
        ComposerFields fields;
        const char* message;
    } refused[] = {
        {{0, Repeat("n", 51), "030 1", "", "", "x"}, "Der Name ist zu lang: 51 Zeichen"},
        {{0, "", "030 1", "", Repeat("ü", 81), "x"}, "Der Betreff ist zu lang: 81 Zeichen"},
        {{0, "", Repeat("1", 31), "", "", "x"}, "Die Rufnummer ist zu lang: 31 Zeichen"},
        {{0, "Hans\nX", "030 1", "", "", "x"}, "enthält Steuerzeichen"},
        {{0, "", "030 1", "", "", std::string("a\0b", 3)}, "Im Text steht ein Nullzeichen"},
        {{6, "", Repeat("a", 100) + "@b.de", Repeat("c", 100), "", "x"},
         "Name, Empfänger, Cc und Betreff sind zusammen zu lang"},
        {{0, "", "030 1", "", "", Repeat("x", 2048)}, "Eine Nachricht kann höchstens 2047"},
    };
    for (const Case& c : refused) {
        size_t before = boxes_.Count();
        EXPECT_FALSE(Compose(c.fields)) << c.message;
        ASSERT_EQ(boxes_.Count(), before + 1) << c.message;
        EXPECT_NE(boxes_.Texts().back().find(c.message), std::string::npos)
            << boxes_.Texts().back();
    }
    EXPECT_EQ(SendNotes().size(), 2u);
}

TEST_F(ComposerTest, EditRewritesTheTextAndKeepsTheId) {
    auto stored = Compose(ComposerFields{0, "Hans", "030 1", "", "Alt", "alter Text"});
    ASSERT_TRUE(stored);
    Composer edit(*doc_, Config(), Install(), kSendNotes, stored->noteId);
    ASSERT_TRUE(edit.Valid());
    EXPECT_STREQ(edit.Caption(), "Nachricht editieren");
    EXPECT_EQ(edit.Fields().text, "alter Text");
    EXPECT_EQ(edit.Fields().subject, "Alt");
    edit.Fields().type = 6;
    edit.Fields().recipient = "hans@example.de";
    edit.Fields().cc = "eva@example.de";
    edit.Fields().text = "neu";
    auto edited = edit.Accept(kComposeTime + 60);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->noteId, stored->noteId);
    Reopen();
    ASSERT_EQ(SendNotes().size(), 1u);
    const NoteItem& note = SendNotes()[0];
    EXPECT_EQ(note.NoteId(), stored->noteId);
    EXPECT_EQ(note.Type(), 6);
    EXPECT_EQ(note.Get(NoteItem::kNumber), "");
    EXPECT_EQ(RecipientOf(note), "hans@example.de");
    EXPECT_EQ(note.Number(NoteItem::kDateTime), kComposeTime + 60);
    EXPECT_EQ(doc_->ReadText(note, kSendNotes), "neu");

    // Back to a note: the copy recipients do not stay behind.
    Composer again(*doc_, Config(), Install(), kSendNotes, stored->noteId);
    EXPECT_EQ(again.Fields().cc, "eva@example.de");
    again.Fields().type = 0;
    again.Fields().recipient = "030 9";
    ASSERT_TRUE(again.Accept(kComposeTime));
    EXPECT_EQ(SendNotes()[0].Get(NoteItem::kInfo), "");
    EXPECT_EQ(SendNotes()[0].Get(NoteItem::kAddress), "");
    // Editing leaves the remembered recipient alone.
    EXPECT_EQ(Cfg().Read(cfg::kLastTelephone), "030 1");

    Composer missing(*doc_, Config(), Install(), kSendNotes, 42);
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(boxes_.Texts().back(), "Cannot access NoteItem");
}

TEST_F(ComposerTest, EditThatCannotBeWrittenLeavesItemAndTextAsTheyWere) {
    auto stored = Compose(ComposerFields{0, "Hans", "030 1", "", "Alt", "alter Text"});
    ASSERT_TRUE(stored);
    Composer edit(*doc_, Config(), Install(), kSendNotes, stored->noteId);
    edit.Fields().subject = "Neu";
    edit.Fields().text = "neu";
    {
        // Room for the new text, not for the notes data file.
        FileSizeLimit full(64);
        EXPECT_FALSE(edit.Accept(kComposeTime + 60));
    }
    const NoteItem& note = SendNotes()[0];
    EXPECT_EQ(note.Get(NoteItem::kSubject), "Alt");
    EXPECT_EQ(note.Number(NoteItem::kDateTime), kComposeTime);
    EXPECT_EQ(doc_->ReadText(note, kSendNotes), "alter Text");
    // The same edit goes through once the file can be written.
    ASSERT_TRUE(edit.Accept(kComposeTime + 60));
    EXPECT_EQ(SendNotes()[0].Get(NoteItem::kSubject), "Neu");
}

TEST_F(ComposerTest, TextFileThatCannotBeCreatedStoresNothing) {
    std::string folder = doc_->Folder(kSendNotes).Dir();
    chmod(folder.c_str(), 0555);
    {
        // Root writes into any folder; a full disk stops it all the same.
        std::optional<FileSizeLimit> full;
        if (geteuid() == 0) full.emplace(0);
        EXPECT_FALSE(Compose(ComposerFields{0, "Hans", "030 1", "", "Betreff", "Text"}));
    }
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(boxes_.Texts().at(0), "Datei kann nicht erzeugt werden");
    EXPECT_TRUE(SendNotes().empty());
    EXPECT_EQ(Cfg().Read(cfg::kLastName), "");
    Reopen();
    EXPECT_TRUE(SendNotes().empty());
}

class ReplyTest : public ComposerTest {
protected:
    long ReceivedFromHans() {
        NoteItem hans(kComposeTime);
        hans.Set(NoteItem::kName, "Hans");
        hans.Set(NoteItem::kNumber, "0301234567");
        hans.Set(NoteItem::kSubject, "Termin");
        auto stored = doc_->CreateItem(hans, kInNotes, "Morgen um 10?");
        EXPECT_TRUE(stored);
        return stored ? stored->NoteId() : 0;
    }
};

TEST_F(ReplyTest, ReplyStandsInSendNotesAtOnceAndIsTakenOnce) {
    auto reply = PrepareReply(*doc_, kInNotes, ReceivedFromHans());
    ASSERT_TRUE(reply);
    EXPECT_EQ(Cfg().Read(cfg::kNoteToSend), 0);
    EXPECT_EQ(Cfg().Read(cfg::kLastName), "Hans");
    EXPECT_EQ(Cfg().Read(cfg::kLastTelephone), "0301234567");
    EXPECT_EQ(Cfg().Read(cfg::kLastSubject), "Re: Termin");
    ASSERT_EQ(SendNotes().size(), 1u);
    EXPECT_EQ(SendNotes()[0].NoteId(), reply->NoteId());
    EXPECT_EQ(reply->Get(NoteItem::kSubject), "Re: Termin");
    EXPECT_EQ(reply->Get(NoteItem::kName), "Hans");
    EXPECT_EQ(reply->Get(NoteItem::kNumber), "0301234567");
    std::string expected =
        "\n'Hans' schrieb am " + NoteItem::FormatDateTime(kComposeTime) + ":\n\n>>Morgen um 10?<<";
    EXPECT_EQ(doc_->ReadText(*reply, kSendNotes), expected);
    // The composer opens on it as on any other note.
    Composer edit(*doc_, Config(), Install(), kSendNotes, reply->NoteId());
    EXPECT_EQ(edit.Fields().text.substr(0, 8), "\n'Hans' ");
    Reopen();
    EXPECT_EQ(SendNotes().size(), 1u);
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(ReplyTest, HandOverThatCannotBeWrittenIsSaidAndNothingIsPrepared) {
    long id = ReceivedFromHans();
    // The hand-over directory is in the way as a file.
    Cfg().Write(cfg::kOutNote, "Uebergabe");
    dir_.Put("store/Uebergabe", "");
    EXPECT_FALSE(PrepareReply(*doc_, kInNotes, id));
    EXPECT_EQ(boxes_.Texts().at(0), "Datei kann nicht erzeugt werden");
    EXPECT_EQ(Cfg().Read(cfg::kNoteToSend), 0);
    EXPECT_TRUE(SendNotes().empty());
}

}  // namespace
