#include "ras_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "debuglog.h"
#include "format.h"
#include "msgbox.h"
#include "program_output.h"

namespace {

using std::chrono::milliseconds;
using RasClock = std::chrono::steady_clock;

// How often a profile taken down is looked at until it is gone.
constexpr milliseconds kHangUpPoll{250};
// Listing profiles is quick; a NetworkManager that does not answer is not.
constexpr milliseconds kListTimeout{15000};
constexpr std::size_t kMessageLines = 2;

const std::vector<std::string> kListProfiles = {"-t", "-f", "NAME", "connection", "show"};
const std::vector<std::string> kListActive = {"-t", "-f", "NAME", "connection", "show", "--active"};

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// "1 Sekunde", "30 Sekunden", rounded up.
std::string SecondsText(milliseconds time) {
    long long seconds = (time.count() + 999) / 1000;
    return seconds == 1 ? "1 Sekunde" : std::to_string(seconds) + " Sekunden";
}

}  // namespace

int ConnectionMode::FromText(std::string_view text) {
    std::string digits(Trimmed(text));
    char* end = nullptr;
    errno = 0;
    long mode = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end || errno == ERANGE || mode < 0 || mode > 0xFFFF) return 0;
    return static_cast<int>(mode);
}

std::vector<std::string> NmcliTerseNames(std::string_view output) {
    std::vector<std::string> names;
    std::string name;
    bool any = false;
    for (std::size_t i = 0; i < output.size(); ++i) {
        char c = output[i];
        if (c == '\\' && i + 1 < output.size() && (output[i + 1] == ':' || output[i + 1] == '\\')) {
            name += output[++i];
            any = true;
        } else if (c == '\n') {
            if (any) names.push_back(name);
            name.clear();
            any = false;
        } else {
            name += c;
            any = true;
        }
    }
    if (any) names.push_back(name);
    return names;
}

std::string NmcliMessage(std::string_view err, std::string_view out) {
    std::string_view source = Trimmed(err).empty() ? out : err;
    std::string message;
    std::size_t lines = 0;
    for (std::size_t start = 0; start < source.size() && lines < kMessageLines;) {
        std::size_t end = std::min(source.find('\n', start), source.size());
        std::string_view line = Trimmed(source.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (!message.empty()) message += ' ';
        message += line;
        ++lines;
    }
    return message;
}

void CRasConnection::SetTimeouts(milliseconds up, milliseconds down, milliseconds hangUpWait) {
    upTimeout_ = up;
    downTimeout_ = down;
    hangUpWait_ = hangUpWait;
}

void CRasConnection::Log(const char* line) const {
    if (log_) log_->Write(line);
}

bool CRasConnection::RunNmcli(const std::vector<std::string>& args, milliseconds timeout,
                              std::string* output) {
    std::string nmcli = FindOnPath("nmcli");
    if (nmcli.empty()) {
        lastError_ = kErrorNotInstalled;
        errorText_ =
            "NetworkManager (nmcli) ist nicht installiert oder nicht im Suchpfad. Ohne "
            "NetworkManager kann keine Internet-Verbindung hergestellt werden.";
        return false;
    }
    ProgramOutput run = RunForOutput(nmcli, args, timeout);
    switch (run.outcome) {
        case ProgramOutput::Outcome::kNotStarted:
            lastError_ = kErrorNotStarted;
            errorText_ = FormatText("nmcli konnte nicht gestartet werden: %s",
                                    std::strerror(run.startError));
            return false;
        case ProgramOutput::Outcome::kTimedOut:
            lastError_ = kErrorTimedOut;
            errorText_ = FormatText(
                "NetworkManager hat nicht innerhalb von %s geantwortet; "
                "nmcli wurde abgebrochen.",
                SecondsText(timeout).c_str());
            return false;
        case ProgramOutput::Outcome::kSignalled:
            lastError_ = kErrorKilled;
            errorText_ = FormatText("nmcli wurde durch das Signal %d beendet.", run.exitStatus);
            return false;
        case ProgramOutput::Outcome::kExited:
            break;
    }
    if (run.exitStatus != 0) {
        lastError_ = static_cast<std::uint32_t>(run.exitStatus);
        errorText_ = NmcliMessage(run.err, run.out);
        return false;
    }
    if (output) *output = std::move(run.out);
    return true;
}

CRasConnection::Found CRasConnection::FindActive(const std::string& entry) {
    std::string output;
    if (!RunNmcli(kListActive, kListTimeout, &output)) return Found::kError;
    std::vector<std::string> active = NmcliTerseNames(output);
    return std::find(active.begin(), active.end(), entry) != active.end() ? Found::kYes
                                                                          : Found::kNo;
}

bool CRasConnection::Connect(const std::string& entry) {
    Log("++CRasConnection::Connect\n");
    lastError_ = 0;
    errorText_.clear();
    Found found = FindActive(entry);
    if (found == Found::kYes) {
        entry_ = entry;
        Log("**CRasConnection::Connect : Already connected\n");
        return true;
    }
    if (found == Found::kError) {
        Log("**CRasConnection::Connect : Error ocurred\n");
        return false;
    }
    // NetworkManager keeps the profile's user name, password and number
    // itself; "up" uses what is stored and says so when something is missing.
    Log("  CRasConnection::Connect : Starting RASDial...\n");
    if (!RunNmcli({"connection", "up", "id", entry}, upTimeout_)) {
        Log("**CRasConnection::Connect : RASDial Error\n");
        // Leave nothing half up, and keep the reason of the failure.
        std::uint32_t error = lastError_;
        std::string text = errorText_;
        RunNmcli({"connection", "down", "id", entry}, downTimeout_);
        lastError_ = error;
        errorText_ = text;
        return false;
    }
    entry_ = entry;
    Log("--CRasConnection::Connect\n");
    return true;
}

bool CRasConnection::HangUp() {
    if (entry_.empty()) return true;
    std::string entry = entry_;
    entry_.clear();
    lastError_ = 0;
    errorText_.clear();
    // "down" of a profile that went down by itself fails; what counts is
    // that it is gone afterwards.
    RunNmcli({"connection", "down", "id", entry}, downTimeout_);
    auto deadline = RasClock::now() + hangUpWait_;
    for (;;) {
        Found found = FindActive(entry);
        if (found == Found::kNo) {
            lastError_ = 0;
            errorText_.clear();
            return true;
        }
        if (found == Found::kError) return false;
        if (RasClock::now() >= deadline) break;
        std::this_thread::sleep_for(std::min(kHangUpPoll, hangUpWait_));
    }
    lastError_ = kErrorStillActive;
    errorText_ = FormatText("Die Verbindung '%s' ist nach %s noch aktiv.", entry.c_str(),
                            SecondsText(hangUpWait_).c_str());
    return false;
}

std::string CRasConnection::ErrorText() const {
    if (!errorText_.empty()) return errorText_;
    return FormatText("Unbekannter RAS-Fehler %ld", static_cast<long>(lastError_));
}

bool CRasConnection::ListEntries(std::vector<std::string>& names) {
    names.clear();
    CRasConnection lister;
    std::string output;
    if (!lister.RunNmcli(kListProfiles, kListTimeout, &output)) {
        std::string text =
            lister.errorText_.empty() ? "Undefined RasEnumEntries Error." : lister.errorText_;
        ShowMessageBox(text, "Telvora", MB_OK | MB_ICONSTOP);
        return false;
    }
    names = NmcliTerseNames(output);
    return true;
}
