#include "velo_app.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app_caption.h"
#include "corvane.h"
#include "debuglog.h"
#include "gui_wait_hook.h"
#include "locations.h"
#include "main_frame.h"
#include "msgbox.h"
#include "notify_thread.h"
#include "relay_thread.h"
#include "old_address_list.h"
#include "paths.h"
#include "qt_message_box.h"
#include "server_note_link.h"
#include "sms_centre_link.h"
#include "single_instance.h"
#include "update_merge.h"
#include "velo_doc.h"
#include "velo_options.h"

namespace {

constexpr const char* kNoDisplay =
    "velo: Es kann keine grafische Anzeige geöffnet werden (DISPLAY bzw. WAYLAND_DISPLAY "
    "fehlt oder ist nicht erreichbar). velo braucht eine Arbeitsfläche; die Notizen legt "
    "quorlin weiter ab, und 'telvora' zeigt und sendet sie auf der Kommandozeile.\n";

// Qt ends the process when its platform cannot start; velo says why in
// its own words and ends with status 1 instead of aborting.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        if (type != QtDebugMsg) std::fprintf(stderr, "velo: %s\n", qPrintable(message));
        return;
    }
    std::fputs(kNoDisplay, stderr);
    std::fprintf(stderr, "velo: (Qt: %s)\n", qPrintable(message));
    std::fflush(stderr);
    _exit(1);
}

int gSignalPipe[2] = {-1, -1};

void OnEndSignal(int) {
    char c = 1;
    (void)!write(gSignalPipe[1], &c, 1);
}

// SIGTERM, SIGHUP and SIGINT end velo as closing its window does: the
// layout is written and the store given back. A send that runs ends first.
void EndOnSignals(QWidget* window) {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char buf[16];
        while (read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        SignalGuiQuit();
        window->close();
        QApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &sa, nullptr);
}

bool DisplayNamed() {
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int RunVelo(int argc, char** argv) {
    VeloOptions options = ParseVeloOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
        std::cout << kVeloUsage;
        return 0;
    }
    if (!DisplayNamed()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("velo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Telvora"));
    QApplication::setDesktopFileName(QStringLiteral("telvora-velo"));
    InstallQtMessageBoxHandler();

    std::string error;
    if (!PrepareInstallDir(error)) {
        ShowMessageBox(error, kAppCaption, MB_ICONSTOP);
        return 1;
    }
    SingleInstance instance(InstallDir());
    if (instance.TellRunningInstance(options.newItemStart)) return 0;
    instance.Listen();

    InstallGuiWaitStepHook();
    DebugLog log;
    log.Init(JoinPath(InstallDir(), "Velo.log"), SettingsFilePath());
    log.Write("++CVeloApp::InitInstance()\n");

    if (!RCOInitLinkDLL(TRUE)) {
        ShowMessageBox("Die Link-DLL kann nicht initialisieren werden", kAppCaption, MB_ICONSTOP);
        return 1;
    }
    log.Write("++CVeloApp::InitInstance: After RCOInitLinkDLL(TRUE)\n");
    // A failed start ends here with the link library released.
    struct LinkRelease {
        ~LinkRelease() { RCOExitLinkDLL(); }
    } linkRelease;

    ConvertOldAddressList();
    CVeloDoc doc(StoreDir(), SettingsFilePath());
    doc.SetLog(&log);
    if (!doc.Open()) return 1;

    MainFrameServices services{SettingsFilePath(),
                               ServerNoteLinkFactory(JoinPath(ProgramDir(), "velo")),
                               "Telvora 0.1 (velo)",
                               &log,
                               {},
                               CentreSmsLinkFactory(&log),
                               {}};
    auto frame = std::make_unique<CMainFrame>(doc, services);
    frame->RestoreLayout();
    UpdateMergeResult merge = MergeUpdateFile();
    if (!merge.message.empty()) ShowMessageBox(merge.message, kAppCaption, MB_ICONEXCLAMATION);
    if (merge.merged) log.Write("CVeloApp: VeloUpdate.dat übernommen\n");
    QObject::connect(&instance, &SingleInstance::RestoreRequested, frame.get(),
                     &CMainFrame::RestoreFromOtherStart);
    frame->ShowAtStart();
    EndOnSignals(frame.get());

    // The notify and relay threads start together after the delay; relay
    // lies beside velo.
    RelayDispatcher dispatcher(SettingsFilePath(), ProgramDir(), &log);
    std::unique_ptr<CRelayThread> relay;
    std::unique_ptr<CNotifyThread> notify;
    QTimer::singleShot(kNotifyStartDelay, frame.get(), [&] {
        CMainFrame* window = frame.get();
        relay = std::make_unique<CRelayThread>(doc, dispatcher);
        notify = std::make_unique<CNotifyThread>(doc, [window](const NoteItem& item, int folder) {
            QMetaObject::invokeMethod(
                window, [window, item, folder] { window->OnItemTaken(item, folder); },
                Qt::QueuedConnection);
        });
        notify->SetRelay(relay.get(), [window] {
            QMetaObject::invokeMethod(window, [window] { window->OnItemsRelayed(); },
                                      Qt::QueuedConnection);
        });
        relay->Start();
        notify->Start();
        log.Write("CVeloApp: Benachrichtigung gestartet\n");
    });
    log.Write("--CVeloApp::InitInstance()\n");

    QApplication::setQuitOnLastWindowClosed(true);
    int status = app.exec();
    SignalGuiQuit();
    if (notify) notify->Stop();
    if (relay) relay->Stop();
    frame.reset();
    doc.Close();
    log.Write("CVeloApp::ExitInstance()\n");
    return status;
}
