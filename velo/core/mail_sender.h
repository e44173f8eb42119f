// Sending an e-mail note from velo: dial the Internet connection when the
// e-mail server profile asks for it, hand the note to the SMTP server and
// hang up, each step told to a progress display.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "debuglog.h"
#include "settings_file.h"
#include "smtp_connection.h"

// What the user sees: velo's mail dialog, printed lines in telvora.
class MailProgress {
public:
    virtual ~MailProgress() = default;
    // Replaces the status text.
    virtual void Status(const std::string& text) = 0;
    // The end state: "Email wurde gesendet!" or "... konnte nicht ...".
    virtual void Report(bool success) = 0;
};

struct MailToSend {
    std::string name;     // the recipient's name, may be empty or "Unbekannt"
    std::string address;  // one or more recipients, as the composer took them
    std::string cc;
    std::string subject;
    std::string text;
};

// The e-mail server profile: a relay profile of the e-mail type, and the
// account that goes with it (user, password and security, beyond HELO).
struct MailServerProfile {
    std::string host;
    int port = 25;
    std::string sender;
    std::string dialUpEntry;
    int connectionMode = 0;
    SmtpOptions options;
};

class MailSender {
public:
    MailSender(const SettingsFile& settings, const DebugLog* log = nullptr)
        : settings_(settings), log_(log) {}

    // Changes what tests need shorter than a real server's minute.
    void SetReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }

    // The profile that [EmailServer] "profile" names; none (after the
    // designed message box) when there is none.
    std::optional<MailServerProfile> ServerProfile() const;

    // Runs one send; true when the server took the message. onAccepted
    // runs as soon as it did, before the end state is shown (and waits for
    // the user to close it).
    bool Send(const MailToSend& mail, MailProgress& progress,
              const std::function<void()>& onAccepted = {});

    // "host:port" split as the profile's server field is: at the first ":",
    // port 25 without one.
    static void SplitServer(const std::string& server, std::string& host, int& port);
    // "Name <address>", or the bare address when the name is empty or
    // "Unbekannt".
    static std::string RecipientText(const std::string& name, const std::string& address);

private:
    bool Fail(MailProgress& progress, const std::string& status);

    const SettingsFile& settings_;
    const DebugLog* log_;
    int replyTimeoutMs_ = 60000;
};
