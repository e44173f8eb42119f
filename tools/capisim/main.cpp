// capisim: a simulated ISDN exchange that CAPI 2.0 applications reach
// through libcapi20's remote driver.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "call_log.h"
#include "options.h"
#include "server.h"
#include "sms_log.h"

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (capisim::AsksForHelp(args)) {
        std::cout << capisim::UsageText() << std::flush;
        return 0;
    }
    std::string error;
    auto options = capisim::ParseCommandLine(args, error);
    if (!options) {
        std::cerr << "capisim: " << error << "\n"
                  << capisim::UsageSynopsis() << "Mehr dazu: capisim --help" << std::endl;
        return 2;
    }
    capisim::CallLog log;
    if (!options->callLog.empty() && !log.Open(options->callLog)) {
        std::cerr << "capisim: Anrufprotokoll \"" << options->callLog
                  << "\" kann nicht geschrieben werden" << std::endl;
        return 1;
    }
    capisim::SmsLog smsLog;
    if (!options->smsLog.empty() && !smsLog.Open(options->smsLog)) {
        std::cerr << "capisim: SMS-Protokoll \"" << options->smsLog
                  << "\" kann nicht geschrieben werden" << std::endl;
        return 1;
    }
    capisim::Server server(*options, log, smsLog);
    if (!server.Listen(error)) {
        std::cerr << "capisim: " << error << std::endl;
        return 1;
    }
    std::cout << server.ReadyText() << std::flush;
    server.Run(STDIN_FILENO);
    return 0;
}
