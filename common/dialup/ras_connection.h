// The dial-up (Internet) connection before a mail goes out: one connection
// profile of NetworkManager, driven through nmcli. Connect takes over a
// profile that is already active or brings it up; HangUp takes down what
// this object holds and waits until it is gone.
//
//     CRasConnection ras(&debugLog);
//     if (ConnectionMode::DialFirst(mode) && !ras.Connect(entry))
//         show("RAS-Verbindung '%s' fehlgeschlagen. Error: '%s'", entry, ras.ErrorText());
//     ...
//     if (ConnectionMode::HangUpAfter(mode)) ras.HangUp();
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class DebugLog;

// The connection mode of a relay profile: 0 local network; 16 plus flags
// for dial-up, bit 0 dial first, bit 1 hang up afterwards.
namespace ConnectionMode {
inline constexpr int kLocalNetwork = 0;
inline constexpr int kDialUp = 16;
inline constexpr int kDialFirst = 1;
inline constexpr int kHangUpAfter = 2;

inline bool DialFirst(int mode) {
    return (mode & kDialFirst) != 0;
}
inline bool HangUpAfter(int mode) {
    return (mode & kHangUpAfter) != 0;
}
// The mode of a profile's field as text: a decimal number, else 0.
int FromText(std::string_view text);
}  // namespace ConnectionMode

class CRasConnection {
public:
    // Last-error values of our own; anything else is nmcli's exit status.
    static constexpr std::uint32_t kErrorNoMemory = 8;
    static constexpr std::uint32_t kErrorNotInstalled = 1001;
    static constexpr std::uint32_t kErrorTimedOut = 1002;
    static constexpr std::uint32_t kErrorNotStarted = 1003;
    static constexpr std::uint32_t kErrorStillActive = 1004;
    static constexpr std::uint32_t kErrorKilled = 1005;

    explicit CRasConnection(const DebugLog* log = nullptr) : log_(log) {}

    // Takes over the profile named entry (compared exactly, letter case
    // included) when it is active, else brings it up. A failed start is
    // taken down again at once.
    bool Connect(const std::string& entry);
    // Takes down the profile this object holds and waits until it is no
    // longer active. True when nothing is held or it is gone; false, with
    // the reason in ErrorText(), when it could not be taken down.
    bool HangUp();
    // The text of the last failure: nmcli's own message when it gave one.
    std::string ErrorText() const;
    std::uint32_t LastError() const { return lastError_; }
    // The profile held, "" for none.
    const std::string& Entry() const { return entry_; }

    // All connection profiles' names for the profile editor. On failure
    // the reason is shown in a message box and names stays empty.
    static bool ListEntries(std::vector<std::string>& names);

    // Limits for nmcli's "up" (default 95 s: nmcli gives up by itself after
    // 90 s, and its own message is the better one), "down" and for the
    // wait until a profile taken down is no longer active (10 s).
    void SetTimeouts(std::chrono::milliseconds up, std::chrono::milliseconds down,
                     std::chrono::milliseconds hangUpWait);

private:
    enum class Found { kYes, kNo, kError };
    Found FindActive(const std::string& entry);
    // Runs nmcli; on failure stores the error and its text.
    bool RunNmcli(const std::vector<std::string>& args, std::chrono::milliseconds timeout,
                  std::string* output = nullptr);
    void Log(const char* line) const;

    const DebugLog* log_;
    std::string entry_;
    std::uint32_t lastError_ = 0;
    std::string errorText_;
    std::chrono::milliseconds upTimeout_{95000};
    std::chrono::milliseconds downTimeout_{30000};
    std::chrono::milliseconds hangUpWait_{10000};
};

// The names that "nmcli -t -f NAME ..." lists, one a line, with its
// escapes ("\:" and "\\") undone.
std::vector<std::string> NmcliTerseNames(std::string_view output);
// What nmcli said about a failure: the first lines of its error output (or
// of its normal output when the error output is empty), trimmed and joined.
std::string NmcliMessage(std::string_view err, std::string_view out);
