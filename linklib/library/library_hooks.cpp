// What runs when a process loads and unloads the library.
#include <string>

#include "link_log.h"
#include "paths.h"

namespace {

__attribute__((constructor)) void CorvaneLoad() {
    // The configuration belongs to the installation; the log to the folder
    // the process runs in.
    LinkLog().Init("Velo.log", JoinPath(InstallDir(), "Telvora.cfg"));
    LinkLog().Write("++DllMain\n");
}

__attribute__((destructor)) void CorvaneUnload() {
    LinkLog().Write("--DllMain\n");
}

}  // namespace
