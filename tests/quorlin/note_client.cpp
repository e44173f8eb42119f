// The calling station of the quorlin tests: dials a number on the link
// library, identifies, asks the version and runs each further argument as
// one command line, then hangs up. One line per step on standard output.
// An argument "hold SECONDS" keeps the line up that long without a word.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "corvane.h"

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void RunCommand(CRServerObj& link, std::string line) {
    if (line.rfind("hold ", 0) == 0) {
        Say("holding");
        std::this_thread::sleep_for(std::chrono::seconds(std::stoi(line.substr(5))));
        Say("held");
        return;
    }
    unsigned short rc = link.ExecRemCmd(line.data());
    std::string reply;
    if (rc == RCO_OK && link.GetRespBuffer()) {
        reply.assign(reinterpret_cast<char*>(link.GetRespBuffer()), link.GetRespLength());
    }
    Say("exec " + std::to_string(rc) + " " + std::to_string(link.GetRespResult()) + " [" + reply +
        "]");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Aufruf: note_client NUMMER [BEFEHLSZEILE...]\n");
        return 2;
    }
    if (!RCOInitLinkDLL(TRUE)) {
        Say("init failed");
        return 1;
    }
    int status = 0;
    {
        CRServerObj link;
        RCOInitLinkDLL(FALSE);
        char parameter[1] = "";
        unsigned short rc = link.Connect(argv[1], parameter, 100);
        Say("connect " + std::to_string(rc));
        if (rc == RCO_OK) {
            Say("id " + std::to_string(link.RequestId()));
            int version = -1;
            rc = link.GetServerVersion(version);
            Say("version " + std::to_string(rc) + " " + std::to_string(version));
            for (int i = 2; i < argc; ++i) RunCommand(link, argv[i]);
            Say("disconnect " + std::to_string(link.Disconnect(50)));
        } else {
            status = 1;
        }
    }
    RCOExitLinkDLL();
    return status;
}
