// relay: forwards one note or call as velo's parameter file says, by
// e-mail, into a file or as an SMS.
#include <signal.h>

#include <iostream>

#include "relay_program.h"

int main(int argc, char** argv) {
    // A mail server that drops the connection must not end relay.
    signal(SIGPIPE, SIG_IGN);
    RelayProgram relay(std::cout);
    return relay.Run(std::vector<std::string>(argv + 1, argv + argc));
}
