// Sending SMS notes from velo: one call to the SMS centre of the note's
// mobile network, logon, one or more messages, logout and hang-up, each
// step told to a progress display.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "debuglog.h"
#include "settings_file.h"

// One call to an SMS centre. The TAP or EMI protocol object stands behind
// it in velo; tests put a scripted centre there. Texts are UTF-8.
class SmsCentreLink {
public:
    virtual ~SmsCentreLink() = default;
    virtual unsigned short Connect(const std::string& number, const std::string& msn,
                                   unsigned long waitSteps) = 0;
    virtual unsigned short Disconnect(unsigned long waitSteps) = 0;
    // The reason the call ended and its text.
    virtual std::string DisconnectInfo(unsigned short& reason) = 0;
    // 0 is a failure; anything else counts as logged on.
    virtual int Logon() = 0;
    // 1 when the centre accepted; TAP has no use for the originator.
    virtual int SendSMSMessage(const std::string& originator, const std::string& recipient,
                               const std::string& text) = 0;
    // 0 when the logout could not be sent.
    virtual int Logout() = 0;
    virtual std::string ReplyText() = 0;
};

// Makes the link for one call to the centre of a network (the note type:
// 2 D1, 3 D2, 4 E-Plus); null when it cannot be made.
using SmsLinkFactory = std::function<std::unique_ptr<SmsCentreLink>(int network)>;

// What the user sees: the progress dialog in velo, printed lines in telvora.
class SmsProgress {
public:
    virtual ~SmsProgress() = default;
    // Replaces the progress text.
    virtual void Status(const std::string& text) = 0;
    // The result with its title (success or failure) and, when not empty,
    // the text under "SMS-Meldung:".
    virtual void Report(bool success, const std::string& text) = 0;
};

struct SmsToSend {
    std::string number;    // as the note has it
    std::string text;      // empty when the file is missing or empty
    std::string textPath;  // named when the text cannot be read
};

class SmsSender {
public:
    static constexpr unsigned long kConnectSteps = 200;
    static constexpr unsigned long kHangUpSteps = 50;
    // A note's text file is read this far; more than an SMS may hold
    // stays so and is refused, not cut.
    static constexpr size_t kMaxFileChars = 2047;

    SmsSender(const SettingsFile& settings, SmsLinkFactory makeLink)
        : settings_(settings), makeLink_(std::move(makeLink)) {}
    ~SmsSender();

    void SetLog(const DebugLog* log) { log_ = log; }

    // Dials the network's centre and logs on; on failure the result has
    // been shown.
    bool Connect(int network, SmsProgress& progress, std::time_t now = std::time(nullptr));
    // One message on the call made; true when the centre accepted it.
    bool Send(const SmsToSend& sms, SmsProgress& progress);
    // Logs off and hangs up.
    void Disconnect(SmsProgress& progress);
    // Shows the result; a success counts in "smsSent".
    void ShowResult(bool success, const std::string& text, SmsProgress& progress);

    // Why the last message failed, or the centre's words on its acceptance.
    const std::string& Reason() const { return reason_; }

    // The number the centre of a network is dialled with.
    std::string CentreDialString(int network, std::time_t now) const;

private:
    const SettingsFile& settings_;
    SmsLinkFactory makeLink_;
    std::unique_ptr<SmsCentreLink> link_;
    int network_ = 0;
    std::string reason_;
    const DebugLog* log_ = nullptr;
};

// The texts of a multiple send's result.
std::string MultipleSmsResult(int sent, int failed);
