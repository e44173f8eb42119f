// The answering station: the server role of the note link. It takes every
// data call, answers the caller's identification and runs its commands
// until the line drops; in its waits it files the telephone calls that the
// call monitor saw, so that the link object is only ever used by one thread.
#pragma once

#include <memory>
#include <string>

#include "call_queue.h"
#include "stop_request.h"
#include "waitstep.h"

class AnsweringStation {
public:
    // How long a connection may go on after a stop request before its waits
    // give up, so that quorlin ends within 10 s.
    static constexpr std::chrono::seconds kStopGrace{4};
    // A caller that sends nothing for this long is hung up on; the link's
    // own time-out of 25 s would keep the one data channel from everyone
    // else for no good.
    static constexpr unsigned long kSilentCallerSteps = 100;

    AnsweringStation(std::string appName, StopRequest& stop, CallQueue& calls);
    ~AnsweringStation();
    AnsweringStation(const AnsweringStation&) = delete;
    AnsweringStation& operator=(const AnsweringStation&) = delete;

    // Binds a new server object to the ISDN line and listens for data calls;
    // the link's return code when that fails.
    unsigned short Start();
    // The link's text for a return code.
    std::string ErrorText(unsigned short rc);
    // Serves one connection after the other until a stop is requested.
    void Run();
    // Hangs up a connection that is still up, files the calls still waiting
    // and lets go of the server object.
    void Finish();

private:
    class Server;

    PendingEvent OnWaitStep();
    void ServeConnection();
    unsigned short ServeCommands();
    void LogCommand(unsigned short rc);
    bool FileOneCall();
    void FileCalls();

    std::string appName_;
    StopRequest& stop_;
    CallQueue& calls_;
    std::unique_ptr<Server> server_;
    bool filing_ = false;
    bool silent_ = false;  // the connection ends because the caller said nothing
};
