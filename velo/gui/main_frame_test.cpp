#include "main_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "address_book_window.h"
#include "composer_dialog.h"
#include "config_keys.h"
#include "folder_view.h"
#include "msgbox_recorder.h"
#include "note_desc_view.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "settings_file.h"
#include "single_instance.h"
#include "sys_tray_notice.h"
#include "test_dir.h"
#include "velo_doc.h"

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest() : settings_(dir_.File("Telvora.cfg")) {}

    // The document and the window, with the configuration as written so far.
    void Open() {
        doc_ = std::make_unique<CVeloDoc>(dir_.Path(), settings_.Path());
        ASSERT_TRUE(doc_->Open());
        frame_ = std::make_unique<CMainFrame>(
            *doc_, MainFrameServices{settings_.Path(), nullptr, "test", nullptr, {}});
        frame_->RestoreLayout();
        frame_->show();
        QApplication::processEvents();
    }
    void Reopen() {
        frame_->close();
        frame_.reset();
        doc_.reset();
        Open();
    }

    long AddNote(int folder, const std::string& name, const std::string& subject,
                 const std::string& text, bool read = false) {
        NoteItem n(++clock_);
        n.Set(NoteItem::kName, name);
        n.Set(NoteItem::kNumber, "030 1234");
        n.Set(NoteItem::kSubject, subject);
        n.SetNumber(NoteItem::kRead, read ? 1 : 0);
        auto stored = doc_->CreateItem(n, folder, text);
        EXPECT_TRUE(stored);
        return stored ? stored->NoteId() : 0;
    }

    void ShowFolder(int folder) {
        frame_->Folders()->SelectFolder(folder);
        QApplication::processEvents();
    }

    TestDir dir_;
    SettingsFile settings_;
    std::unique_ptr<CVeloDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    std::time_t clock_ = 1700000000;
    MessageBoxRecorder boxes_;
};

TEST_F(MainFrameTest, AWindowFarOffTheScreenFallsBackAndOneHalfOffIsKept) {
    settings_.Write(cfg::kMainWindow, "2000,1800,700,500");
    Open();
    EXPECT_EQ(frame_->pos(), QPoint(40, 20));
    EXPECT_EQ(frame_->size(), QSize(600, 400));
    frame_.reset();
    doc_.reset();
    settings_.Write(cfg::kMainWindow, "-5,-5,700,500");
    Open();
    EXPECT_EQ(frame_->pos(), QPoint(40, 20));
    frame_.reset();
    doc_.reset();
    settings_.Write(cfg::kMainWindow, "-5,100,700,500");
    Open();
    EXPECT_EQ(frame_->pos(), QPoint(-5, 100));
    EXPECT_EQ(frame_->size(), QSize(700, 500));
}

TEST_F(MainFrameTest, TheLayoutIsWrittenOnCloseAndRestored) {
    Open();
    EXPECT_EQ(frame_->FolderPaneRequest(), (PaneSize{155, 300}));
    EXPECT_EQ(frame_->Folders()->width(), 155);
    EXPECT_EQ(frame_->DocumentTitle(), "Hauptordner");
    EXPECT_EQ(frame_->StatusText(), "Bereit");

    frame_->move(120, 80);
    frame_->resize(800, 560);
    ShowFolder(kPhoneCalls);
    // The user drags the folder pane wider.
    auto* split = qobject_cast<QSplitter*>(frame_->centralWidget());
    ASSERT_TRUE(split);
    QList<int> sizes = split->sizes();
    ASSERT_EQ(sizes.size(), 2);
    split->setSizes({210, sizes[0] + sizes[1] - 210});
    QApplication::processEvents();
    int listHeight = frame_->List()->height();
    Reopen();
    EXPECT_EQ(settings_.Read(cfg::kMainWindow), "120,80,800,560");
    EXPECT_EQ(settings_.Read(cfg::kFolderView), kPhoneCalls);
    EXPECT_EQ(frame_->pos(), QPoint(120, 80));
    EXPECT_EQ(frame_->size(), QSize(800, 560));
    EXPECT_EQ(frame_->Folders()->width(), 210);
    EXPECT_EQ(frame_->List()->height(), listHeight);
    EXPECT_EQ(frame_->Folders()->SelectedFolder(), kPhoneCalls);
    EXPECT_EQ(frame_->DocumentTitle(), "PhoneCalls");
}

TEST_F(MainFrameTest, AFolderWithUnreadItemsIsCountedInBoldUntilAllAreRead) {
    Open();
    long ids[3];
    for (long& id : ids) id = AddNote(kInNotes, "Hans", "Termin", "Hallo");
    AddNote(kInNotes, "Eva", "Gelesen", "schon gelesen", true);
    frame_->OnItemTaken(*doc_->Folder(kInNotes).Find(ids[2]), kInNotes);
    EXPECT_EQ(frame_->Folders()->Label(kInNotes), "InNotes (3)");
    EXPECT_TRUE(frame_->Folders()->IsBold(kInNotes));
    EXPECT_TRUE(frame_->Notice()->IsRunning());

    ShowFolder(kInNotes);
    EXPECT_EQ(frame_->StatusText(), "4 Nachricht(en), 3 ungelesen");
    ASSERT_TRUE(frame_->List()->RowOf(ids[0]));
    EXPECT_TRUE(frame_->List()->RowOf(ids[0])->font(0).bold());
    for (long id : ids) {
        frame_->List()->SelectId(id);
        QApplication::processEvents();
        EXPECT_FALSE(frame_->List()->RowOf(id)->font(0).bold());
    }
    EXPECT_EQ(frame_->Folders()->Label(kInNotes), "InNotes");
    EXPECT_FALSE(frame_->Folders()->IsBold(kInNotes));
    EXPECT_EQ(frame_->StatusText(), "4 Nachricht(en)");
    // The last unread note read ends the notice.
    EXPECT_FALSE(frame_->Notice()->IsRunning());
    EXPECT_TRUE(doc_->Folder(kInNotes).Find(ids[1])->IsRead());
}

TEST_F(MainFrameTest, TheNoteViewShowsCallsLongTextsAndMissingFiles) {
    Open();
    NoteItem call(1700000100);
    call.SetNumber(NoteItem::kType, static_cast<long>(NoteType::Call));
    call.Set(NoteItem::kNumber, "0221 555");
    call.Set(NoteItem::kSubject, "nicht zu zeigen");
    ASSERT_TRUE(doc_->AddItem(call, kPhoneCalls));
    long longNote = AddNote(kInNotes, "Lang", "Viel", std::string(3000, 'x'));
    long lost = AddNote(kInNotes, "Weg", "Fehlt", "bald weg");
    std::remove(doc_->Folder(kInNotes).TextPath(*doc_->Folder(kInNotes).Find(lost)).c_str());

    ShowFolder(kPhoneCalls);
    frame_->List()->SelectId(1700000100);
    QApplication::processEvents();
    CVeloDescView* desc = frame_->Desc();
    EXPECT_EQ(desc->HeaderLine(CVeloDescView::kType), "Anruf");
    EXPECT_EQ(desc->HeaderLine(CVeloDescView::kNumber), "0221 555");
    EXPECT_EQ(desc->HeaderLine(CVeloDescView::kDate),
              QString::fromStdString(NoteItem::FormatDateTime(1700000100)));
    EXPECT_EQ(desc->HeaderLine(CVeloDescView::kSubject), "");
    EXPECT_EQ(desc->Text(), "");

    ShowFolder(kInNotes);
    frame_->List()->SelectId(longNote);
    QApplication::processEvents();
    EXPECT_EQ(desc->Text(), QString(2048, 'x'));
    frame_->List()->SelectId(lost);
    QApplication::processEvents();
    EXPECT_EQ(desc->Text(), "Datei nicht gefunden!!");
    EXPECT_EQ(desc->HeaderLine(CVeloDescView::kSubject), "Fehlt");
}

TEST_F(MainFrameTest, DeleteAllAnsweredNoChangesNothingAndYesEmptiesTheFolder) {
    Open();
    for (int i = 0; i < 3; ++i) AddNote(kOutNotes, "Anna", "Nr " + std::to_string(i), "Text");
    ShowFolder(kOutNotes);
    boxes_.QueueAnswer(IDNO);
    frame_->DeleteAll();
    ASSERT_EQ(boxes_.Texts(), std::vector<std::string>{
                                  "Sollen alle Objekte im Ordner 'OutNotes' gelöscht werden?"});
    EXPECT_EQ(boxes_.Calls()[0].type, unsigned(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(doc_->Folder(kOutNotes).Items().size(), 3u);
    EXPECT_EQ(frame_->List()->topLevelItemCount(), 3);

    boxes_.QueueAnswer(IDYES);
    frame_->DeleteAll();
    EXPECT_TRUE(doc_->Folder(kOutNotes).Items().empty());
    EXPECT_EQ(doc_->Folder(kDeletedNotes).Items().size(), 3u);
    EXPECT_EQ(frame_->List()->topLevelItemCount(), 0);
    EXPECT_EQ(frame_->StatusText(), "Bereit");

    // From "DeletedNotes" one item goes for good, with its text file.
    ShowFolder(kDeletedNotes);
    NoteItem gone = doc_->Folder(kDeletedNotes).Items()[0];
    std::string text = doc_->Folder(kDeletedNotes).TextPath(gone);
    frame_->List()->SelectId(gone.NoteId());
    frame_->DeleteItem();
    EXPECT_EQ(doc_->Folder(kDeletedNotes).Items().size(), 2u);
    EXPECT_NE(access(text.c_str(), F_OK), 0);
}

TEST_F(MainFrameTest, TheStatusBarSwitchesToggleForwarding) {
    settings_.Write(cfg::kRelayNoteKeys.relay, 1);
    Open();
    EXPECT_FALSE(frame_->RelayShownOn(true));
    EXPECT_TRUE(frame_->RelayShownOn(false));
    frame_->ToggleRelay(true);
    frame_->ToggleRelay(false);
    EXPECT_EQ(settings_.Read(cfg::kRelayCallKeys.relay), 1);
    EXPECT_EQ(settings_.Read(cfg::kRelayNoteKeys.relay), 0);
    EXPECT_TRUE(frame_->RelayShownOn(true));
    EXPECT_FALSE(frame_->RelayShownOn(false));
    frame_->ToggleRelay(true);
    EXPECT_EQ(settings_.Read(cfg::kRelayCallKeys.relay), 0);
}

TEST_F(MainFrameTest, MinimisingWithSendToTrayHidesTheWindowUntilTheIconIsClicked) {
    settings_.Write(cfg::kSendToTray, "1");
    Open();
    frame_->SetTrayAvailable(true);
    frame_->showMinimized();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(frame_->IsInTray());
    EXPECT_TRUE(frame_->TrayIcon()->isVisible());
    frame_->Notice()->Start();
    emit frame_->TrayIcon()->activated(QSystemTrayIcon::Trigger);
    QApplication::processEvents();
    EXPECT_TRUE(frame_->isVisible());
    EXPECT_FALSE(frame_->TrayIcon()->isVisible());
    EXPECT_FALSE(frame_->Notice()->IsRunning());
}

TEST_F(MainFrameTest, ExtrasOpensTheAddressBookWindow) {
    doc_ = std::make_unique<CVeloDoc>(dir_.Path(), settings_.Path());
    ASSERT_TRUE(doc_->Open());
    MainFrameServices services{settings_.Path(), nullptr, "test", nullptr, {}};
    services.addressBook = dir_.File("AddrBook.xml");
    dir_.Put("AddrBook.xml",
             "<addressbook>\n<address_item id='1'>\n<nick>Hansi</nick>\n"
             "</address_item>\n</addressbook>\n");
    frame_ = std::make_unique<CMainFrame>(*doc_, services);
    QAction* action = frame_->Action("addressBook");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&Adressbuch...");
    bool inExtras = false;
    for (QMenu* menu : frame_->menuBar()->findChildren<QMenu*>()) {
        if (menu->title() == "E&xtras") inExtras = menu->actions().contains(action);
    }
    EXPECT_TRUE(inExtras);
    std::vector<std::string> nicks;
    QTimer::singleShot(0, [&nicks] {
        auto* wnd = qobject_cast<CAddressBookWnd*>(QApplication::activeModalWidget());
        ASSERT_NE(wnd, nullptr);
        for (const Address& a : wnd->Book().Addresses()) nicks.push_back(a.nick);
        wnd->reject();
    });
    action->trigger();
    EXPECT_EQ(nicks, std::vector<std::string>{"Hansi"});
}

TEST_F(MainFrameTest, AReplyStandsInSendNotesAtOnceAndOpensInTheComposer) {
    Open();
    long hans = AddNote(kInNotes, "Hans", "Termin", "Dienstag um 10?");
    ShowFolder(kInNotes);
    frame_->List()->SelectId(hans);
    QApplication::processEvents();
    QString caption, subject, text;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<CComposerDlg*>(w);
            if (!dlg || !dlg->isVisible()) continue;
            caption = dlg->windowTitle();
            subject = dlg->SubjectEdit()->text();
            text = dlg->TextEdit()->toPlainText();
            dlg->reject();
        }
    });
    frame_->ReplyToItem();
    EXPECT_EQ(caption, "Nachricht editieren");
    EXPECT_EQ(subject, "Re: Termin");
    EXPECT_TRUE(text.startsWith("\n'Hans' schrieb am ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(">>Dienstag um 10?<<")) << text.toStdString();
    // Cancelled or not, the prepared reply waits in "SendNotes", once.
    ASSERT_EQ(doc_->Folder(kSendNotes).Items().size(), 1u);
    EXPECT_EQ(doc_->Folder(kSendNotes).Items()[0].Get(NoteItem::kSubject), "Re: Termin");
    EXPECT_EQ(settings_.Read(cfg::kNoteToSend), 0);
    EXPECT_EQ(frame_->Folders()->SelectedFolder(), kSendNotes);
    Reopen();
    EXPECT_EQ(doc_->Folder(kSendNotes).Items().size(), 1u);
}

TEST(SingleInstance, ASecondStartRestoresTheFirstUnlessStartedForNewItems) {
    TestDir dir;
    SingleInstance first(dir.Path());
    ASSERT_FALSE(first.TellRunningInstance(false));
    ASSERT_TRUE(first.Listen());
    int restores = 0, news = 0;
    QObject::connect(&first, &SingleInstance::RestoreRequested, [&] { ++restores; });
    QObject::connect(&first, &SingleInstance::NewItemsAnnounced, [&] { ++news; });
    auto secondStart = [&](bool newItems) {
        std::atomic<bool> told{false};
        std::thread second([&] {
            SingleInstance other(dir.Path());
            told = other.TellRunningInstance(newItems);
        });
        QDeadlineTimer deadline(5000);
        while ((!told || restores + news == 0) && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        second.join();
        return told.load();
    };
    EXPECT_TRUE(secondStart(false));
    EXPECT_EQ(restores, 1);
    restores = 0;
    EXPECT_TRUE(secondStart(true));
    EXPECT_EQ(restores, 0);
    EXPECT_EQ(news, 1);

    // Another installation is another velo.
    TestDir elsewhere;
    SingleInstance other(elsewhere.Path());
    EXPECT_FALSE(other.TellRunningInstance(false));
}

}  // namespace
