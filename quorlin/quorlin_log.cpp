#include "quorlin_log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

std::mutex g_outputMutex;

std::string Stamped(const std::string& text) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M:%S ", &local);
    return stamp + text + "\n";
}

// One write per line, so that lines of the monitor and the station do not mix.
void WriteLine(std::FILE* stream, const std::string& line) {
    std::lock_guard lock(g_outputMutex);
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

}  // namespace

void QuorlinLog::Init(const std::string& configPath) {
    debug_.Init("Quorlin.log", configPath);
}

void QuorlinLog::Event(const std::string& text) {
    WriteLine(stdout, Stamped(text));
    debug_.Printf("  %s\n", text.c_str());
}

void QuorlinLog::Failure(const std::string& text) {
    WriteLine(stderr, Stamped(text));
    debug_.Printf("**%s\n", text.c_str());
}

QuorlinLog& Log() {
    // Never destroyed: the monitor thread may still write while the process ends.
    static QuorlinLog* log = new QuorlinLog;
    return *log;
}
