// The link library's own diagnostic log ("Velo.log" in the current folder,
// switched by the configuration next to the installation).
#pragma once

#include "debuglog.h"

DebugLog& LinkLog();
