// The note sender's link over the ISDN line: the link library's server
// object in its client role. Texts cross to the wire in Windows-1252.
#pragma once

#include <memory>
#include <string>

#include "corvane.h"
#include "note_sender.h"

class ServerNoteLink : public NoteLink {
public:
    // Binds the line to a new server object; the link library must be started.
    explicit ServerNoteLink(const std::string& appName);

    unsigned short Connect(const std::string& number, const std::string& msn,
                           unsigned long waitSteps) override;
    unsigned short Disconnect(unsigned long waitSteps) override;
    std::string DisconnectInfo(unsigned short& reason) override;
    unsigned short RequestId() override;
    unsigned short GetServerVersion(int& version) override;
    unsigned short ExecRemCmd(const std::string& commandLine) override;
    unsigned short RemoteResult() override;
    std::string ResponseText() override;
    std::string ErrorText(unsigned short code) override;

private:
    std::unique_ptr<CRServerObj> server_;
};

// Makes a ServerNoteLink for each send.
NoteLinkFactory ServerNoteLinkFactory(const std::string& appName);
