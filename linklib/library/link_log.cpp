#include "link_log.h"

DebugLog& LinkLog() {
    // Never destroyed: the library's unload hook still writes to it after
    // static destructors may have run.
    static DebugLog* log = new DebugLog;
    return *log;
}
