// Sending a note: dial the receiver, identify it, ask its protocol version,
// send the note as one remote command and hang up, telling each step to a
// progress display.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "settings_file.h"

// One call to a receiving station. The link library's server object stands
// behind it in velo; tests put a scripted station there. Texts are UTF-8.
class NoteLink {
public:
    virtual ~NoteLink() = default;
    virtual unsigned short Connect(const std::string& number, const std::string& msn,
                                   unsigned long waitSteps) = 0;
    virtual unsigned short Disconnect(unsigned long waitSteps) = 0;
    // The reason the call ended and its text.
    virtual std::string DisconnectInfo(unsigned short& reason) = 0;
    virtual unsigned short RequestId() = 0;
    virtual unsigned short GetServerVersion(int& version) = 0;
    virtual unsigned short ExecRemCmd(const std::string& commandLine) = 0;
    // The result code the receiver's command answered with (0: done).
    virtual unsigned short RemoteResult() = 0;
    // The reply data of the last command.
    virtual std::string ResponseText() = 0;
    virtual std::string ErrorText(unsigned short code) = 0;
};

// Makes the link for one send; null when it cannot be made.
using NoteLinkFactory = std::function<std::unique_ptr<NoteLink>()>;

// What the user sees of a send: a dialog in the GUI, printed lines in the
// command-line program.
class SendProgress {
public:
    virtual ~SendProgress() = default;
    // Replaces the status text.
    virtual void Status(const std::string& text) = 0;
    // A yes/no question; true for yes.
    virtual bool Ask(const std::string& question) = 0;
    // Lets the user complete the settings; false when that cannot be done here.
    virtual bool EditSettings() = 0;
    // The outcome, once per send that reports: on success with the
    // receiver's reply text.
    virtual void Report(bool success, const std::string& reply) = 0;
};

struct NoteToSend {
    std::string number;  // the receiver's number as written
    std::string subject;
    std::string text;
};

class NoteSender {
public:
    static constexpr unsigned long kConnectSteps = 100;
    static constexpr unsigned long kHangUpSteps = 50;
    static constexpr size_t kMaxTextChars = 2047;

    NoteSender(const SettingsFile& settings, NoteLinkFactory makeLink, std::string programId)
        : settings_(settings), makeLink_(std::move(makeLink)), programId_(std::move(programId)) {}

    // Runs one send; true when the receiver took the note.
    bool Send(const NoteToSend& note, SendProgress& progress, std::time_t now = std::time(nullptr));

    // The command line for a receiver of that protocol version.
    static std::string CommandLine(int version, const std::string& programId,
                                   const std::string& ownNumber, const std::string& ownName,
                                   const std::string& subject, const std::string& text);

private:
    bool Fail(SendProgress& progress, const std::string& status);
    std::string DialFailure(unsigned short reason, const std::string& dial,
                            const std::string& reasonText) const;
    void CountSent();

    const SettingsFile& settings_;
    NoteLinkFactory makeLink_;
    std::string programId_;
};
