// The parameter file of one relay run: velo writes [RelayParameters] for
// the item to forward, relay reads it and writes the run's results into
// [RelayResults] of the same file.
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>
#include <string>

// A key of [RelayParameters] with its default and the longest value read.
struct RelayKey {
    const char* name;
    const char* def;
    size_t maxChars;
};

namespace relay_key {
inline constexpr const char* kParameters = "RelayParameters";
inline constexpr const char* kResults = "RelayResults";

inline constexpr RelayKey kOperation{"operation", "", 255};
inline constexpr RelayKey kTries{"tries", "3", 255};
inline constexpr RelayKey kDelay{"delay", "0", 255};
inline constexpr RelayKey kNoteId{"noteId", "", 79};
// Without it, Telvora.cfg of the installation folder (see ConfigFile()).
inline constexpr RelayKey kConfigFileName{"configFileName", "", 259};
inline constexpr RelayKey kLogFile{"logFile", "", 259};
inline constexpr RelayKey kLogFileName{"logFileName", "", 259};
inline constexpr RelayKey kMessage{"Message", "", 259};
inline constexpr RelayKey kHost{"Host", "", 255};
inline constexpr RelayKey kPort{"Port", "25", 255};
inline constexpr RelayKey kFrom{"From", "", 255};
inline constexpr RelayKey kTo{"To", "", 255};
inline constexpr RelayKey kCc{"Cc", "", 255};
inline constexpr RelayKey kSubject{"Subject", "", 255};
inline constexpr RelayKey kConnectionMode{"ConnectionMode", "0", 259};
inline constexpr RelayKey kDialUpEntry{"dialUpEntry", "", 259};
inline constexpr RelayKey kRelayFile{"relayFile", "", 259};
inline constexpr RelayKey kSmsCenter{"SMSCenter", "", 255};
inline constexpr RelayKey kIsdnPrefix{"isdnPrefix", "", 255};
inline constexpr RelayKey kCallByCallPrefix{"callByCallPrefix", "", 255};
inline constexpr RelayKey kMsn{"msn", "", 255};
inline constexpr RelayKey kCallerPhoneNumber{"CallerPhoneNumber", "0", 255};
// Not written by velo; for tests and a quick look at a simulated exchange:
// the longest wait for an SMS centre's reply in wait steps of 100 ms, and
// for a mail server's connect and reply in milliseconds.
inline constexpr RelayKey kReplyWaitSteps{"replyWaitSteps", "", 255};
inline constexpr RelayKey kMailReplyTimeout{"mailReplyTimeout", "", 255};

// [RelayResults]
inline constexpr const char* kStarted = "Started";
inline constexpr const char* kFinished = "Finished";
inline constexpr const char* kLastError = "LastError";
inline constexpr size_t kLastErrorMaxChars = 127;
}  // namespace relay_key

class RelayParameters {
public:
    explicit RelayParameters(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    bool Exists() const;

    // The value cut at the key's length, else its default.
    std::string Read(const RelayKey& key) const;
    // The value (or the key's default) as C reads a decimal number: leading
    // blanks, a sign, digits up to the first non-digit; 0 for no number.
    long ReadNumber(const RelayKey& key) const;

    // The main configuration file: "configFileName", else Telvora.cfg in
    // the installation folder.
    std::string ConfigFile() const;
    int Operation() const;
    // Values below 1 count as 1.
    int Tries() const;
    // The pause before each attempt: "delay" seconds, 1 s below 1.
    std::chrono::milliseconds Pause() const;

    // Started = now, Finished and LastError empty.
    void Begin() const;
    // LastError = error (on one line), Finished = now.
    void Fail(const std::string& error) const;
    void Finish() const;
    // LastError as the relay log line quotes it: at most 127 characters.
    std::string LastError() const;

private:
    std::string path_;
};

// A text from outside (a server's reply, an error text) as one line of
// UTF-8 for the profile file and the relay log: control characters become
// blanks, trailing ones are dropped.
std::string OneLineText(const std::string& text);
