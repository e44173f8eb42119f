#include "answering_station.h"

#include <cstdio>

#include "address_book.h"
#include "caller_names.h"
#include "command_codec.h"
#include "corvane.h"
#include "quorlin_log.h"

namespace {

constexpr unsigned long kConnectionPollSteps = 10;
constexpr unsigned long kHangUpSteps = 50;
constexpr unsigned long kFinalHangUpSteps = 20;

const char* CommandName(unsigned char id) {
    const char* name = remote::CommandName(id);
    return name ? name : "unbekannt";
}

std::string CallText(const PhoneCall& call, const std::string& name) {
    std::string from = call.number;
    if (from.empty()) from = call.withheld ? "unterdrückter Rufnummer" : "unbekannter Rufnummer";
    std::string text = "Anruf von " + from;
    if (!name.empty()) text += " (" + name + ")";
    return text + " an " + (call.msn.empty() ? "?" : call.msn) + ", " + call.service;
}

}  // namespace

// The server object, with its last response in reach for the log: a
// response that was written but not acknowledged still tells which command
// ran and how.
class AnsweringStation::Server : public CRServerObj {
public:
    static constexpr unsigned char kNoResponse = 0;

    Server() { m_dwDataTimeout = kSilentCallerSteps; }
    void ForgetResponse() { m_bRespId = kNoResponse; }
    unsigned char ResponseId() const { return m_bRespId; }
};

AnsweringStation::AnsweringStation(std::string appName, StopRequest& stop, CallQueue& calls)
    : appName_(std::move(appName)), stop_(stop), calls_(calls) {}

AnsweringStation::~AnsweringStation() {
    Finish();
}

unsigned short AnsweringStation::Start() {
    server_ = std::make_unique<Server>();
    if (!RCOInitLinkDLL(FALSE)) return RCO_CALL_FAILED;
    server_->SetAppName(appName_.data());
    SetWaitStepHook([this] { return OnWaitStep(); });
    char parameter[1] = "";
    return server_->StartServer(parameter);
}

std::string AnsweringStation::ErrorText(unsigned short rc) {
    const char* text = server_ ? server_->GetErrorText(rc) : nullptr;
    return (text ? text : "") + std::string(" (") + std::to_string(rc) + ")";
}

void AnsweringStation::Run() {
    while (!stop_.Requested()) {
        FileCalls();
        if (server_->WaitForConnection(kConnectionPollSteps)) ServeConnection();
    }
}

void AnsweringStation::ServeConnection() {
    std::string parameter = server_->GetConnectionPar();
    Log().Event("Datenverbindung angenommen" +
                (parameter.empty() ? std::string() : " (" + parameter + ")"));
    silent_ = false;
    unsigned short rc = server_->WaitForReqId();
    if (rc != RCO_OK) {
        Log().Event(std::string("Keine Identifikation der Gegenstelle: ") +
                    server_->GetErrorText(rc));
    } else {
        rc = ServeCommands();
    }
    // A caller that fell silent or spoke wrongly is not kept on the line. On
    // a stop the waits no longer wait, so Finish hangs up instead.
    if (server_->IsConnected() && !stop_.Requested()) {
        if (!silent_) {
            Log().Event(std::string("Verbindung wird getrennt: ") + server_->GetErrorText(rc));
        }
        server_->Disconnect(kHangUpSteps);
    }
    unsigned short reason = 0;
    const char* text = server_->GetDisconnectInfo(reason);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", reason);
    Log().Event("Datenverbindung beendet (" + std::string(hex) + ": " + (text ? text : "") + ")");
}

// Runs commands until one fails or the line is down; the last code.
unsigned short AnsweringStation::ServeCommands() {
    for (;;) {
        server_->ForgetResponse();
        auto start = std::chrono::steady_clock::now();
        unsigned short rc = server_->WaitForRemCmd();
        if (server_->ResponseId() != Server::kNoResponse) LogCommand(rc);
        if (rc == RCO_ZERO_LENGTH_MSG && server_->IsConnected() &&
            std::chrono::steady_clock::now() - start >= kWaitStep * kSilentCallerSteps) {
            Log().Event("Der Anrufer hat " + std::to_string(kSilentCallerSteps / 10) +
                        " s lang nichts gesendet; Verbindung wird getrennt");
            silent_ = true;
        }
        if (rc != RCO_OK || !server_->IsConnected()) return rc;
    }
}

void AnsweringStation::LogCommand(unsigned short rc) {
    char result[16];
    std::snprintf(result, sizeof result, "%u", server_->GetRespResult());
    std::string text = std::string("Befehl ") + CommandName(server_->ResponseId()) +
                       " ausgeführt, Ergebnis " + result;
    // The caller may hang up before it acknowledges the last response.
    if (rc != RCO_OK) text += " (Antwort nicht bestätigt)";
    Log().Event(text);
}

PendingEvent AnsweringStation::OnWaitStep() {
    // A stop ends every wait at once, but gives a connection in progress a
    // moment to finish what it is doing.
    if (stop_.Requested() && (!server_->IsConnected() || stop_.Age() >= kStopGrace)) {
        return PendingEvent::Quit;
    }
    return FileOneCall() ? PendingEvent::Handled : PendingEvent::None;
}

bool AnsweringStation::FileOneCall() {
    if (filing_ || !server_) return false;
    auto call = calls_.Pop();
    if (!call) return false;
    filing_ = true;
    std::string name = CallerName(AddressBook::DefaultPath(), call->number);
    int stored = server_->PhoneCallInd(static_cast<long>(call->time), call->msn.data(),
                                       call->number.data(), name.data(), call->service.data());
    filing_ = false;
    if (stored) {
        Log().Event(CallText(*call, name) + ": abgelegt");
    } else {
        Log().Failure(CallText(*call, name) + ": konnte nicht abgelegt werden");
    }
    return true;
}

void AnsweringStation::FileCalls() {
    while (FileOneCall()) {
    }
}

void AnsweringStation::Finish() {
    if (!server_) return;
    // The last waits run to their end again.
    SetWaitStepHook({});
    if (server_->IsConnected()) {
        Log().Event("Datenverbindung wird beim Beenden getrennt");
        server_->Disconnect(kFinalHangUpSteps);
    }
    FileCalls();
    server_.reset();
}
