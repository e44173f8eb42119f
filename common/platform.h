// Small operating-system services: time texts, temporary files, starting
// programs.
#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

// The 24-character local-time text of ctime(), as "Sun Dec 06 08:31:21 2026".
std::string CTimeText(std::time_t when);

// Creates a new empty file with a unique name in $TMPDIR (else /tmp), named
// prefix + six random characters + suffix; returns its path, empty on failure.
std::string MakeTempFile(const std::string& prefix, const std::string& suffix = "");

// Starts program (a path, no shell) with args (not counting argv[0]); the
// child inherits the environment. Returns the child's pid, or -1.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args);
