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
    DebugLog log;
    log.Init(JoinPath(InstallDir(), "Velo.log"), SettingsFilePath());
    std::vector<std::string> args(argv + 1, argv + argc);
    // Only sending needs the line; the store commands work without CAPI.
    bool sending = !args.empty() && (args[0] == "send" || args[0] == "sms");
    CliContext context{StoreDir(), SettingsFilePath(), nullptr, "Telvora 0.1 (telvora)", &log};
    if (sending) {
        // An exchange that goes away in the middle of a send must not end
        // telvora on a write to its socket: the write fails, and the send
        // reports it.
        std::signal(SIGPIPE, SIG_IGN);
        RCOInitLinkDLL(TRUE);
        context.makeLink = ServerNoteLinkFactory(JoinPath(InstallDir(), "telvora"));
        context.smsLinks = [&log](unsigned long replySteps) {
            return CentreSmsLinkFactory(&log, replySteps);
        };
    }
    int status = RunTelvoraCli(args, context, std::cout, std::cerr);
    if (sending) RCOExitLinkDLL();
    return status;
}
