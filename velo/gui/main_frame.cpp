#include "main_frame.h"

#include "mobile_networks.h"
#include "profile_lists_dialog.h"
#include "paths.h"
#include "settings_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <mutex>

#include "app_caption.h"
#include "atomic_file.h"
#include "config_keys.h"
#include "debuglog.h"
#include "folder_view.h"
#include "gui_wait_hook.h"
#include "icons.h"
#include "msgbox.h"
#include "note_desc_view.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "profile.h"
#include "settings_file.h"
#include "sys_tray_notice.h"
#include "velo_doc.h"

namespace {

// A status-bar pane that reacts to a click.
class SwitchPane : public QLabel {
public:
    SwitchPane(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), onClick_(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
        setContentsMargins(4, 0, 4, 0);
    }

protected:
    void mouseReleaseEvent(QMouseEvent*) override { onClick_(); }

private:
    std::function<void()> onClick_;
};

}  // namespace

CMainFrame::CMainFrame(CVeloDoc& doc, MainFrameServices services, QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      services_(std::move(services)),
      trayAvailable_(QSystemTrayIcon::isSystemTrayAvailable()) {
    setWindowIcon(AppIcon());
    folders_ = new CFolderView(doc_, this);
    list_ = new CNoteListView(doc_, this);
    desc_ = new CVeloDescView(this);
    rightSplit_ = new QSplitter(Qt::Vertical, this);
    rightSplit_->addWidget(list_);
    rightSplit_->addWidget(desc_);
    split_ = new QSplitter(Qt::Horizontal, this);
    split_->addWidget(folders_);
    split_->addWidget(rightSplit_);
    split_->setStretchFactor(1, 1);
    rightSplit_->setStretchFactor(0, 1);
    setCentralWidget(split_);

    CreateActions();
    CreateStatusBar();

    trayIcon_ = new QSystemTrayIcon(AppIcon(), this);
    trayIcon_->setToolTip(QStringLiteral("Telvora 4.0"));
    auto* trayMenu = new QMenu(this);
    trayMenu->addAction(Action("restore"));
    trayMenu->addAction(Action("exit"));
    trayIcon_->setContextMenu(trayMenu);
    connect(trayIcon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
                    RestoreWindow();
            });
    notice_ = new CSysTrayThread(this);
    connect(notice_, &CSysTrayThread::Clicked, this, &CMainFrame::RestoreWindow);

    connect(folders_, &CFolderView::FolderSelected, this, &CMainFrame::OnFolderSelected);
    connect(folders_, &CFolderView::UnreadCounted, this, [this](int folder, int unread) {
        if (folder == kInNotes && unread == 0) notice_->Stop();
    });
    connect(list_, &CNoteListView::ItemSelected, this, &CMainFrame::OnItemSelected);
    connect(list_, &CNoteListView::SelectionCleared, this, [this] {
        desc_->Clear();
        UpdateCommands();
    });
    connect(list_, &CNoteListView::ContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        for (const char* name : std::initializer_list<const char*>{"edit", "send", "reply", nullptr,
                                                                   "delete", "deleteAll"}) {
            if (name) {
                menu.addAction(Action(name));
            } else {
                menu.addSeparator();
            }
        }
        menu.exec(at);
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditItem(); });
    SetDocumentTitle(QStringLiteral("Hauptordner"));
    UpdateCommands();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void CMainFrame::CreateActions() {
    QStyle* s = style();
    auto make = [&](const char* name, const QString& text, const QKeySequence& key,
                    void (CMainFrame::*slot)(), const QIcon& icon = QIcon()) {
        auto* a = new QAction(icon, text, this);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QAction* newNote = make("new", QStringLiteral("&Neue Nachricht..."), QKeySequence::New,
                            &CMainFrame::NewNote, s->standardIcon(QStyle::SP_FileIcon));
    QAction* edit = make("edit", QStringLiteral("&Bearbeiten..."),
                         QKeySequence(Qt::CTRL | Qt::Key_E), &CMainFrame::EditItem);
    QAction* send = make("send", QStringLiteral("&Senden"), QKeySequence(Qt::CTRL | Qt::Key_S),
                         &CMainFrame::SendItem, s->standardIcon(QStyle::SP_ArrowRight));
    QAction* reply =
        make("reply", QStringLiteral("&Antworten..."), QKeySequence(Qt::CTRL | Qt::Key_R),
             &CMainFrame::ReplyToItem, s->standardIcon(QStyle::SP_ArrowBack));
    QAction* del = make("delete", QStringLiteral("&Löschen"), QKeySequence::Delete,
                        &CMainFrame::DeleteItem, s->standardIcon(QStyle::SP_TrashIcon));
    QAction* delAll = make("deleteAll", QStringLiteral("Alle lö&schen..."), QKeySequence(),
                           &CMainFrame::DeleteAll);
    // One call to a network's SMS centre for all its SMS notes of the folder.
    struct Network {
        const char* name;
        const char* text;
        int kind;
    };
    QList<QAction*> sendSms;
    for (Network n : {Network{"sendD1Sms", "Alle &D1-SMS senden", note_kind::kD1Sms},
                      Network{"sendD2Sms", "Alle D&2-SMS senden", note_kind::kD2Sms},
                      Network{"sendEPlusSms", "Alle &E-Plus-SMS senden", note_kind::kEPlusSms}}) {
        auto* a = new QAction(QString::fromUtf8(n.text), this);
        a->setObjectName(QLatin1String(n.name));
        int kind = n.kind;
        connect(a, &QAction::triggered, this, [this, kind] { SendAllSms(kind); });
        sendSms.append(a);
    }
    QAction* exit = make("exit", QStringLiteral("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                         &CMainFrame::Quit);
    make("restore", QStringLiteral("&Wiederherstellen"), QKeySequence(),
         &CMainFrame::RestoreWindow);
    QAction* addressBook = make("addressBook", QStringLiteral("&Adressbuch..."), QKeySequence(),
                                &CMainFrame::OpenAddressBook);
    auto* relayCalls = new QAction(QStringLiteral("&Anrufe weiterleiten"), this);
    relayCalls->setObjectName(QStringLiteral("relayCalls"));
    relayCalls->setCheckable(true);
    connect(relayCalls, &QAction::triggered, this, [this] { ToggleRelay(true); });
    auto* relayNotes = new QAction(QStringLiteral("&Notizen weiterleiten"), this);
    relayNotes->setObjectName(QStringLiteral("relayNotes"));
    relayNotes->setCheckable(true);
    connect(relayNotes, &QAction::triggered, this, [this] { ToggleRelay(false); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    file->addAction(newNote);
    file->addSeparator();
    file->addAction(exit);
    QMenu* note = menuBar()->addMenu(QStringLiteral("&Nachricht"));
    for (QAction* a : {edit, send, reply}) note->addAction(a);
    QMenu* sms = note->addMenu(QStringLiteral("S&MS senden"));
    sms->addActions(sendSms);
    note->addSeparator();
    note->addAction(del);
    note->addAction(delAll);
    QMenu* extras = menuBar()->addMenu(QStringLiteral("E&xtras"));
    extras->addAction(addressBook);
    extras->addSeparator();
    extras->addAction(relayCalls);
    extras->addAction(relayNotes);
    extras->addSeparator();
    QAction* options = extras->addAction(QStringLiteral("&Optionen..."));
    options->setObjectName(QStringLiteral("options"));
    connect(options, &QAction::triggered, this, [this] {
        CVeloSettingsDlg dialog(services_.configFile, InstallDir(), this);
        if (dialog.exec() == QDialog::Accepted) UpdateRelayPanes();
    });
    QAction* profiles = extras->addAction(QStringLiteral("Weiterleitungs&profile..."));
    profiles->setObjectName(QStringLiteral("relayProfiles"));
    connect(profiles, &QAction::triggered, this, [this] {
        CProfileListsDlg dialog(services_.configFile, this);
        dialog.exec();
    });

    QToolBar* bar = addToolBar(QStringLiteral("Symbolleiste"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    for (QAction* a : {newNote, send, reply, del}) bar->addAction(a);
}

void CMainFrame::CreateStatusBar() {
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    relayCalls_ = new SwitchPane([this] { ToggleRelay(true); }, this);
    relayNotes_ = new SwitchPane([this] { ToggleRelay(false); }, this);
    statusBar()->addPermanentWidget(relayCalls_);
    statusBar()->addPermanentWidget(relayNotes_);
    UpdateRelayPanes();
    ShowStatus("Bereit");
}

void CMainFrame::UpdateRelayPanes() {
    SettingsFile settings(services_.configFile);
    bool calls = settings.Read(cfg::kRelayCallKeys.relay) != 0;
    bool notes = settings.Read(cfg::kRelayNoteKeys.relay) != 0;
    relayCalls_->setPixmap(RelayPixmap(true, calls));
    relayNotes_->setPixmap(RelayPixmap(false, notes));
    relayCalls_->setProperty("on", calls);
    relayNotes_->setProperty("on", notes);
    relayCalls_->setToolTip(
        calls ? QStringLiteral("Anrufe werden weitergeleitet (Klick: aus)")
              : QStringLiteral("Anrufe werden nicht weitergeleitet (Klick: ein)"));
    relayNotes_->setToolTip(
        notes ? QStringLiteral("Notizen werden weitergeleitet (Klick: aus)")
              : QStringLiteral("Notizen werden nicht weitergeleitet (Klick: ein)"));
    Action("relayCalls")->setChecked(calls);
    Action("relayNotes")->setChecked(notes);
}

bool CMainFrame::RelayShownOn(bool calls) const {
    return (calls ? relayCalls_ : relayNotes_)->property("on").toBool();
}

void CMainFrame::RestoreLayout() {
    SettingsFile settings(services_.configFile);
    WindowRect r = MainWindowRect(settings.Read(cfg::kMainWindow));
    move(r.left, r.top);
    resize(r.width, r.height);
    sendToTray_ = cfg::IsOn(settings.Read(cfg::kSendToTray));
    folderPane_ = PaneSizeOf(settings.Read(cfg::kFolderPane), cfg::kFolderPane);
    listPane_ = PaneSizeOf(settings.Read(cfg::kNoteListPane), cfg::kNoteListPane);
    notePane_ = PaneSizeOf(settings.Read(cfg::kNotePane), cfg::kNotePane);
    startAsTray_ = cfg::IsOn(settings.Read(cfg::kStartAsTray));
    split_->setSizes({folderPane_.width, listPane_.width});
    rightSplit_->setSizes({listPane_.height, notePane_.height});
    int first = doc_.FolderView();
    if (first >= 0 && first < kFolderCount) {
        folders_->SelectFolder(first);
    } else {
        folders_->SelectFolder(CFolderView::kRoot);
    }
}

void CMainFrame::ShowAtStart() {
    if (startAsTray_) {
        minimised_ = true;
        if (trayAvailable_) {
            trayIcon_->show();
            return;
        }
        showMinimized();
        return;
    }
    show();
}

bool CMainFrame::SaveLayout() {
    // The place of the window's frame and the size of its inside, as the
    // start places it again; a maximised or minimised window keeps its
    // normal place.
    bool normalState = isVisible() && !isMaximized() && !isMinimized();
    QRect normal = normalState ? QRect(pos(), size()) : normalGeometry();
    ProfileTransaction t(services_.configFile);
    auto put = [&](const TextSetting& key, const std::string& value) {
        t.Write(key.section, key.key, value);
    };
    put(cfg::kMainWindow, FormatRect({normal.x(), normal.y(), normal.width(), normal.height()}));
    put(cfg::kFolderPane, FormatPane({folders_->width(), folders_->height()}));
    put(cfg::kNoteListPane, FormatPane({list_->width(), list_->height()}));
    put(cfg::kNotePane, FormatPane({desc_->width(), desc_->height()}));
    t.Write(cfg::kFolderView.section, cfg::kFolderView.key,
            std::to_string(folders_->SelectedFolder()));
    return t.Commit();
}

QString CMainFrame::StatusText() const {
    return status_->text();
}

void CMainFrame::ShowStatus(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    title_ = title;
    setWindowTitle(title + QStringLiteral(" - Telvora"));
}

void CMainFrame::OnFolderSelected(int folder) {
    list_->ShowFolder(folder);
    desc_->Clear();
    if (folder < 0 || folder >= kFolderCount) {
        SetDocumentTitle(QStringLiteral("Hauptordner"));
        ShowStatus("Bereit");
    } else {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        CNoteFolder& f = doc_.Folder(folder);
        SetDocumentTitle(QString::fromStdString(f.Name().empty() ? f.Section() : f.Name()));
        ShowStatus(f.StatusText());
    }
    UpdateCommands();
}

std::optional<NoteItem> CMainFrame::SelectedItem(int* folder) const {
    auto id = list_->SelectedId();
    int f = list_->Folder();
    if (!id || f < 0) return std::nullopt;
    std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
    NoteItem* item = doc_.Folder(f).Find(*id);
    if (!item) return std::nullopt;
    if (folder) *folder = f;
    return *item;
}

void CMainFrame::OnItemSelected(int folder, long noteId) {
    std::optional<NoteItem> item;
    std::string textPath;
    {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        NoteItem* found = doc_.Folder(folder).Find(noteId);
        if (found) {
            item = *found;
            textPath = doc_.Folder(folder).TextPath(*found);
        }
    }
    if (!item) {
        desc_->Clear();
        return;
    }
    desc_->ShowItem(*item, textPath);
    if (!item->IsRead() && doc_.MarkRead(noteId, folder)) {
        list_->SetRowRead(noteId, true);
        folders_->UpdateLabel(folder);
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        ShowStatus(doc_.Folder(folder).StatusText());
    }
    UpdateCommands();
}

void CMainFrame::UpdateCommands() {
    int folder = -1;
    auto item = SelectedItem(&folder);
    bool any = item.has_value();
    Action("edit")->setEnabled(any && item->Type() != static_cast<int>(NoteType::Call) &&
                               item->Type() != static_cast<int>(NoteType::File));
    Action("send")->setEnabled(any && (item->Type() == static_cast<int>(NoteType::Note) ||
                                       IsSmsKind(item->Type()) ||
                                       item->Type() == note_kind::kEmail));
    Action("reply")->setEnabled(any && item->Type() == static_cast<int>(NoteType::Note) &&
                                folder == kInNotes);
    Action("delete")->setEnabled(any);
    bool folderChosen = list_->Folder() >= 0;
    Action("deleteAll")->setEnabled(folderChosen && list_->topLevelItemCount() > 0);
    for (const char* name : {"sendD1Sms", "sendD2Sms", "sendEPlusSms"})
        Action(name)->setEnabled(folderChosen);
}

void CMainFrame::AfterChange(int folder) {
    list_->Refresh();
    if (folder >= 0) folders_->UpdateLabel(folder);
    int shown = list_->Folder();
    if (shown >= 0) {
        std::lock_guard<std::recursive_mutex> lock(doc_.Lock());
        ShowStatus(doc_.Folder(shown).StatusText());
    }
    if (!list_->SelectedId()) desc_->Clear();
    UpdateCommands();
}

void CMainFrame::OnItemTaken(const NoteItem& item, int folder) {
    Log("Neu in " + std::string(FolderSection(folder)) + ": " + std::to_string(item.NoteId()) +
        " " + NoteItem::TypeName(item.Type()) + " von " + item.Get(NoteItem::kName));
    folders_->UpdateLabel(folder);
    if (list_->Folder() == folder) AfterChange(folder);
    Log("Ordner " + folders_->Label(folder).toStdString() +
        (folders_->IsBold(folder) ? " (fett)" : ""));
    if (folder == kInNotes && item.Type() != static_cast<int>(NoteType::Call)) {
        if (!notice_->IsRunning()) Log("Hinweis auf neue Notizen");
        notice_->Start();
    }
}

void CMainFrame::OnItemsRelayed() {
    Log("Weitergeleitet: nach RelayedNotes verschoben");
    for (int folder : {kInNotes, kPhoneCalls, kRelayedNotes}) folders_->UpdateLabel(folder);
    if (list_->Folder() >= 0) AfterChange(list_->Folder());
}

void CMainFrame::ToggleRelay(bool calls) {
    SettingsFile settings(services_.configFile);
    const IntSetting& key = calls ? cfg::kRelayCallKeys.relay : cfg::kRelayNoteKeys.relay;
    int now = settings.Read(key) == 0 ? 1 : 0;
    if (!settings.Write(key, now)) {
        ShowMessageBox("Die Einstellung kann nicht gespeichert werden: '" + services_.configFile +
                           "' ist nicht beschreibbar (" + GermanErrorText(errno) + ").",
                       kAppCaption, MB_ICONSTOP);
    }
    UpdateRelayPanes();
}

bool CMainFrame::IsInTray() const {
    return trayIcon_->isVisible() && !isVisible();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    minimised_ = isMinimized();
    if (!sendToTray_ || !trayAvailable_) return;
    if (minimised_) {
        // Hidden once the state change is through, so the window manager
        // does not keep a minimised entry in the task bar.
        QTimer::singleShot(0, this, [this] {
            if (!minimised_) return;
            hide();
            trayIcon_->show();
        });
    } else {
        trayIcon_->hide();
    }
}

void CMainFrame::RestoreWindow() {
    notice_->Stop();
    minimised_ = false;
    trayIcon_->hide();
    if (isMinimized() || !isVisible()) showNormal();
    raise();
    activateWindow();
}

void CMainFrame::RestoreFromOtherStart() {
    if (isMinimized() || !isVisible()) RestoreWindow();
    raise();
    activateWindow();
}

void CMainFrame::Quit() {
    RestoreWindow();
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (sending_) {
        // The send's waits end at once; the window closes when it is back.
        closeAfterSend_ = true;
        SignalGuiQuit();
        event->ignore();
        return;
    }
    notice_->Stop();
    trayIcon_->hide();
    SaveLayout();
    event->accept();
}

void CMainFrame::Log(const std::string& line) const {
    if (services_.log) services_.log->Printf("%s\n", line.c_str());
}
