// A receiving station of the protocol before the version command: it
// answers "version" as an unknown command and takes one note through the
// link library's intake. Prints "ready" once it listens and one line per step.
#include <cstdio>
#include <string>

#include "corvane.h"

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

constexpr unsigned char kUnknownCommand = 255;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: older_receiver ANWENDUNGSPFAD\n");
        return 2;
    }
    if (!RCOInitLinkDLL(TRUE)) return 1;
    int status = 1;
    {
        CRServerObj station;
        RCOInitLinkDLL(FALSE);
        station.SetAppName(argv[1]);
        char parameter[1] = "";
        if (station.StartServer(parameter) == RCO_OK) {
            Say("ready");
            if (station.WaitForConnection(600) && station.WaitForReqId() == RCO_OK &&
                station.WaitForCmdReq() == RCO_OK) {
                // What an older station says to a command it does not know.
                Say("asked " +
                    std::to_string(station.SendCmdResp(0x01, kUnknownCommand, nullptr, 0)));
                unsigned short rc = station.WaitForRemCmd();
                Say("command " + std::to_string(rc));
                station.WaitForDisconnection(50);
                status = rc == RCO_OK ? 0 : 1;
            }
        }
    }
    RCOExitLinkDLL();
    return status;
}
