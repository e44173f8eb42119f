// Small operating-system services: time texts, temporary files, starting
// programs.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The 24-character local-time text of ctime(), as "Sun Dec  6 08:31:21 2026".
std::string CTimeText(std::time_t when);

// Creates a new empty file with a unique name in $TMPDIR (else /tmp), named
// prefix + six random characters + suffix; returns its path, empty on failure.
std::string MakeTempFile(const std::string& prefix, const std::string& suffix = "");

// Starts program (a path, no shell) with args (not counting argv[0]); the
// child inherits the environment. Returns the child's pid, or -1 (also when
// the program cannot be executed).
// The child is the caller's to reap: waitpid(pid) or WaitProgram(pid), so
// that its exit status is not lost to anyone else. Callers that never look
// at the outcome start it with StartDetachedProgram instead.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args);

// As StartProgram, but the child is reaped in the background when it ends,
// so that fire-and-forget starts leave no zombies. The pid is for logging
// only; do not wait for it.
// onEnd, when given, hears the exit status (128 + signal for a killed
// child) on the reaping thread.
pid_t StartDetachedProgram(const std::string& program, const std::vector<std::string>& args,
                           std::function<void(int status)> onEnd = {});

// Waits up to timeout for a child of StartProgram to end and reaps it.
// Returns its exit code (128 + signal number when a signal ended it), or
// nothing when it is still running at the deadline or is not a child to wait for.
std::optional<int> WaitProgram(pid_t pid, std::chrono::milliseconds timeout);
