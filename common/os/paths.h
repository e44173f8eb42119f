// Where things live. The program directory holds the executables; the
// installation directory ($TELVORA_HOME, else the program directory) holds
// Telvora.cfg, logs, reply and signature files and the default store, so
// that several stations can run from one build.
#pragma once

#include <string>

// The folder of the running executable.
std::string ProgramDir();
// $TELVORA_HOME when set and not empty, else ProgramDir().
std::string InstallDir();
// The text of path up to its last "/" ("" when it has none).
std::string DirOf(const std::string& path);
// a + "/" + b, without doubling a trailing "/" of a.
std::string JoinPath(const std::string& a, const std::string& b);
