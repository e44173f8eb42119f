// capisim: a simulated ISDN exchange that CAPI 2.0 applications reach
// through libcapi20's remote driver.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "call_log.h"
#include "options.h"
#include "server.h"

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    std::string error;
    auto options = capisim::ParseCommandLine({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "capisim: " << error << "\n"
                  << "Aufruf: capisim --line NAME:PORT:NUMMER[,NUMMER...] [--line ...] "
                     "[--outside-prefix NAME:ZIFFERN] [--rate BIT_PRO_SEKUNDE] [--delay MS] "
                     "[--ring-time SEKUNDEN] [--call-log DATEI] [--config DATEI]"
                  << std::endl;
        return 2;
    }
    capisim::CallLog log;
    if (!options->callLog.empty() && !log.Open(options->callLog)) {
        std::cerr << "capisim: Anrufprotokoll \"" << options->callLog
                  << "\" kann nicht geschrieben werden" << std::endl;
        return 1;
    }
    capisim::Server server(*options, log);
    if (!server.Listen(error)) {
        std::cerr << "capisim: " << error << std::endl;
        return 1;
    }
    std::cout << server.ReadyText() << std::flush;
    server.Run(STDIN_FILENO);
    return 0;
}
