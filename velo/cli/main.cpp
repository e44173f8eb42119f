// telvora: velo's note store and note sending on the command line.
#include <csignal>
#include <iostream>

#include "corvane.h"
#include "debuglog.h"
#include "locations.h"
#include "paths.h"
#include "server_note_link.h"
#include "sms_centre_link.h"
#include "telvora_cli.h"

int main(int argc, char** argv) {
    std::string error;
    if (!PrepareInstallDir(error)) {
        std::cerr << "telvora: " << error << "\n";
        return 1;
    }
    DebugLog log;
    log.Init(JoinPath(InstallDir(), "Velo.log"), SettingsFilePath());
    std::vector<std::string> args(argv + 1, argv + argc);
    CliContext context{StoreDir(), SettingsFilePath(), nullptr, "Telvora 0.1 (telvora)", &log};
    // An exchange or a mail server that goes away in the middle of a send
    // must not end telvora on a write to its socket: the write fails, and
    // the send reports it.
    std::signal(SIGPIPE, SIG_IGN);
    // Only a call needs the line: the link library binds CAPI when the
    // first call is made, not for the store commands or an e-mail.
    bool linkStarted = false;
    auto startLink = [&linkStarted] {
        if (!linkStarted) RCOInitLinkDLL(TRUE);
        linkStarted = true;
    };
    NoteLinkFactory noteLinks = ServerNoteLinkFactory(JoinPath(InstallDir(), "telvora"));
    context.makeLink = [startLink, noteLinks] {
        startLink();
        return noteLinks();
    };
    context.smsLinks = [startLink, &log](unsigned long replySteps) {
        startLink();
        return CentreSmsLinkFactory(&log, replySteps);
    };
    int status = RunTelvoraCli(args, context, std::cout, std::cerr);
    if (linkStarted) RCOExitLinkDLL();
    return status;
}
