#include "quorlin_log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include <unistd.h>

#include "msgbox.h"

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
    WriteLine(errors_, Stamped(text));
    debug_.Printf("**%s\n", text.c_str());
}

namespace {

// Lines written to the C library's stderr, collected until their line end
// and then put into the diagnostic log.
ssize_t WriteToDebugLog(void* cookie, const char* data, size_t size) {
    auto* pending = static_cast<std::string*>(cookie);
    pending->append(data, size);
    for (size_t end; (end = pending->find('\n')) != std::string::npos;) {
        Log().Debug().Printf("  stderr: %s\n", pending->substr(0, end).c_str());
        pending->erase(0, end + 1);
    }
    return static_cast<ssize_t>(size);
}

}  // namespace

void QuorlinLog::TakeOverStandardError() {
    int own = dup(STDERR_FILENO);
    std::FILE* errors = own >= 0 ? fdopen(own, "w") : nullptr;
    if (!errors) return;
    errors_ = errors;
    SetMessageBoxHandler(
        [errors](const std::string& text, const std::string& caption, unsigned type) {
            WriteLine(errors, caption + ": " + text + "\n");
            return DefaultMessageBoxAnswer(type);
        });
    static std::string pending;
    cookie_io_functions_t io{nullptr, &WriteToDebugLog, nullptr, nullptr};
    if (std::FILE* toLog = fopencookie(&pending, "w", io)) {
        setvbuf(toLog, nullptr, _IONBF, 0);
        stderr = toLog;
    }
}

QuorlinLog& Log() {
    // Never destroyed: the monitor thread may still write while the process ends.
    static QuorlinLog* log = new QuorlinLog;
    return *log;
}
