// velo's main window: tool bar, menus, the folder tree on the left, the
// note list above the note view on the right, the status bar with the two
// forwarding switches, and the tray. It keeps its size and panes between
// runs in Telvora.cfg and carries out the commands on notes and folders
// through the document; the sending and the composer have dialogs of their
// own.
#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>
#include <string>

#include "note_sender.h"
#include "sms_sender.h"
#include "window_layout.h"

class CVeloDoc;
class CFolderView;
class CNoteListView;
class CVeloDescView;
class CSysTrayThread;
class NoteItem;
class QAction;
class QLabel;
class QSplitter;
class QSystemTrayIcon;
class DebugLog;
class QDialog;
class CSendDlg;
class CSendSMSDlg;
class CMailDlg;
struct ComposerResult;

struct MainFrameServices {
    std::string configFile;
    // Makes the link of one send; null where the line is not at hand.
    NoteLinkFactory makeLink;
    std::string programId;
    const DebugLog* log = nullptr;
    // Sees each send dialog before its send starts (the screenshot tool).
    std::function<void(CSendDlg&)> onSendDialog;
    // Makes the link of one call to an SMS centre; null where the line is
    // not at hand.
    SmsLinkFactory makeSmsLink = nullptr;
    std::function<void(CSendSMSDlg&)> onSmsDialog = nullptr;
    std::function<void(CMailDlg&)> onMailDialog = nullptr;
    // Shorter than the mail server's minute where a test needs it; 0 keeps it.
    int mailReplyTimeoutMs = 0;
    // The address book that "Adressbuch..." opens; empty for the data directory's.
    std::string addressBook = "";
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CVeloDoc& doc, MainFrameServices services, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Places the window and its panes as stored and selects the first
    // folder; call before showing.
    void RestoreLayout();
    // Shows the window, or only the tray icon when it starts in the tray.
    void ShowAtStart();
    // Writes the layout keys: the window, the three panes, the folder.
    bool SaveLayout();

    // The notify thread took an item into a folder (on the GUI thread).
    void OnItemTaken(const NoteItem& item, int folder);
    // Relayed items moved to "RelayedNotes" (on the GUI thread).
    void OnItemsRelayed();
    // Another start asked for the window.
    void RestoreFromOtherStart();
    // Brings the window back from the tray or from being minimised.
    void RestoreWindow();

    // Commands; each works on the selected folder and item.
    void NewNote();
    void EditItem();
    void SendItem();
    // All SMS notes of one network (the note type) in the folder shown.
    void SendAllSms(int network);
    void ReplyToItem();
    void DeleteItem();
    void DeleteAll();
    void ToggleRelay(bool calls);
    // The address book window, to add, edit and delete addresses.
    void OpenAddressBook();

    // For tests and the screenshot tool.
    CFolderView* Folders() const { return folders_; }
    CNoteListView* List() const { return list_; }
    CVeloDescView* Desc() const { return desc_; }
    CSysTrayThread* Notice() const { return notice_; }
    QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
    QString StatusText() const;
    QString DocumentTitle() const { return title_; }
    PaneSize FolderPaneRequest() const { return folderPane_; }
    bool IsInTray() const;
    // Whether the desktop shows tray icons; tests set it.
    void SetTrayAvailable(bool available) { trayAvailable_ = available; }
    bool RelayShownOn(bool calls) const;
    QAction* Action(const char* name) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SendMailItem(int folder, long id);
    void RunProgressDialog(QDialog* dialog, int folder, const std::string& what,
                           const std::function<bool()>& start);
    void RunSmsDialog(int folder, const std::function<bool(SmsSender&, SmsProgress&)>& send);
    void CreateActions();
    void CreateStatusBar();
    void OnFolderSelected(int folder);
    void OnItemSelected(int folder, long noteId);
    void ShowStatus(const std::string& text);
    void SetDocumentTitle(const QString& title);
    void UpdateRelayPanes();
    void UpdateCommands();
    void AfterChange(int folder);
    void AfterComposed(const ComposerResult& result);
    std::optional<NoteItem> SelectedItem(int* folder = nullptr) const;
    void Log(const std::string& line) const;
    void Quit();

    CVeloDoc& doc_;
    MainFrameServices services_;
    CFolderView* folders_;
    CNoteListView* list_;
    CVeloDescView* desc_;
    QSplitter* split_;
    QSplitter* rightSplit_;
    QLabel* status_;
    QLabel* relayCalls_;
    QLabel* relayNotes_;
    QSystemTrayIcon* trayIcon_;
    CSysTrayThread* notice_;
    QString title_;
    PaneSize folderPane_{}, listPane_{}, notePane_{};
    bool sendToTray_ = false;
    bool startAsTray_ = false;
    bool trayAvailable_;
    bool minimised_ = false;
    bool sending_ = false;
    bool closeAfterSend_ = false;
    bool quitting_ = false;
};
