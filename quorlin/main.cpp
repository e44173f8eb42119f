// quorlin: the answering station and call monitor of Telvora. It runs in the
// foreground until SIGTERM or SIGINT.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "answering_station.h"
#include "call_queue.h"
#include "corvane.h"
#include "install_lock.h"
#include "monitor_service.h"
#include "paths.h"
#include "quorlin_log.h"
#include "quorlin_options.h"
#include "stop_request.h"

namespace {

constexpr auto kListenTimeout = std::chrono::seconds(5);

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

// Takes the stop signals on a thread of its own, so that no other thread
// (libcapi20's reads among them) is ever interrupted by one.
class SignalWatcher {
public:
    explicit SignalWatcher(StopRequest& stop) : stop_(stop) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~SignalWatcher() {
        done_ = true;
        thread_.join();
    }

private:
    void Watch() {
        sigset_t set = StopSignals();
        timespec step{0, 200'000'000};
        while (!done_) {
            int signal = sigtimedwait(&set, nullptr, &step);
            if (signal <= 0) continue;
            Log().Event(std::string("Signal ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                        " empfangen, quorlin wird beendet");
            stop_.Request();
        }
    }

    StopRequest& stop_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// Calls go to the station's thread; a lost driver connection ends quorlin,
// since neither the monitor nor the station can work without it. True when
// the monitor listens.
bool StartMonitor(MonitorService& monitor, CallQueue& calls, StopRequest& stop,
                  std::atomic<bool>& lineLost) {
    auto error =
        monitor.Start([&calls](const PhoneCall& call) { calls.Push(call); },
                      [&stop, &lineLost](unsigned code) {
                          Log().Failure("Die Verbindung zum ISDN-Treiber ist abgerissen (" +
                                        Hex(code) + "); quorlin endet.");
                          lineLost = true;
                          stop.Request();
                      });
    if (error) {
        Log().Failure("Die Anrufüberwachung kann nicht gestartet werden (CAPI-Fehler " +
                      Hex(*error) + "); es werden nur Notizen angenommen.");
        return false;
    }
    auto state = monitor.WaitUntilListening(kListenTimeout);
    if (state == CallMonitor::ListenState::Listening) {
        Log().Event("Anrufüberwachung aktiv");
        return true;
    }
    if (!lineLost) {
        Log().Failure("Die Anrufüberwachung wurde vom ISDN-Controller abgelehnt (" +
                      Hex(monitor.ListenError()) + "); es werden nur Notizen angenommen.");
    }
    return false;
}

// Without the monitor, an application that only watches the driver
// connection still tells when it is gone.
bool WatchDriver(MonitorService& monitor, StopRequest& stop, std::atomic<bool>& lineLost) {
    auto error =
        monitor.Start([](const PhoneCall&) {},
                      [&stop, &lineLost](unsigned code) {
                          Log().Failure("Die Verbindung zum ISDN-Treiber ist abgerissen (" +
                                        Hex(code) + "); quorlin endet.");
                          lineLost = true;
                          stop.Request();
                      },
                      false);
    if (error) Log().Debug().Printf("**WatchDriver: CAPI error 0x%04X\n", *error);
    return !error;
}

int Run(const QuorlinOptions& options) {
    StopRequest stop;
    SignalWatcher signals(stop);
    std::string error;
    if (!PrepareInstallDir(error)) {
        Log().Failure(error + " quorlin endet.");
        return 1;
    }
    Log().Init(JoinPath(InstallDir(), "Telvora.cfg"));
    Log().TakeOverStandardError();
    std::string appName = JoinPath(InstallDir(), "quorlin");
    InstallLock installation;
    if (!installation.Take(InstallDir(), error)) {
        Log().Failure(error + " quorlin endet.");
        return 1;
    }
    Log().Event("quorlin startet, Installationsverzeichnis " + InstallDir());
    if (!RCOInitLinkDLL(TRUE)) {
        Log().Failure("Die ISDN-Schnittstelle kann nicht gestartet werden; quorlin endet.");
        return 1;
    }
    CallQueue calls;
    AnsweringStation station(appName, stop, calls);
    if (unsigned short rc = station.Start()) {
        Log().Failure("Datenanrufe können nicht angenommen werden: " + station.ErrorText(rc) +
                      "; quorlin endet.");
        station.Finish();
        RCOExitLinkDLL();
        return 1;
    }
    MonitorService monitor;
    std::atomic<bool> lineLost{false};
    bool monitoring = false;
    if (options.noMonitor) {
        WatchDriver(monitor, stop, lineLost);
    } else {
        monitoring = StartMonitor(monitor, calls, stop, lineLost);
    }
    Log().Event(monitoring ? "Bereit: Notizen werden angenommen, Anrufe erfasst"
                           : "Bereit: Notizen werden angenommen");
    station.Run();
    monitor.Stop();
    station.Finish();
    RCOExitLinkDLL();
    Log().Event("quorlin beendet");
    return lineLost ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    QuorlinOptions options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!error.empty()) {
        std::fprintf(stderr, "quorlin: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    // Blocked before any thread starts, so every thread inherits the mask.
    sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // An exchange that goes away in the middle of a call must not end
    // quorlin on a write to its socket; the write fails, and that is noticed.
    std::signal(SIGPIPE, SIG_IGN);
    return Run(options);
}
