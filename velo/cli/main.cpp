// telvora: velo's note store and note sending on the command line.
#include <iostream>

#include "debuglog.h"
#include "locations.h"
#include "paths.h"
#include "telvora_cli.h"

int main(int argc, char** argv) {
    DebugLog log;
    log.Init(JoinPath(InstallDir(), "Velo.log"), SettingsFilePath());
    CliContext context{StoreDir(), SettingsFilePath(), nullptr, "Telvora 0.1 (telvora)"};
    return RunTelvoraCli(std::vector<std::string>(argv + 1, argv + argc), context, std::cout,
                         std::cerr);
}
