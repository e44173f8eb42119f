// Where things live. The program directory holds the executables; the
// installation directory holds Telvora.cfg, logs, reply and signature files
// and the default store. $TELVORA_HOME names it, so that several stations
// can run from one build; without it each user has one of their own under
// the XDG data directory, since an installed program's folder is not the
// user's to write.
#pragma once

#include <string>

// The folder of the running executable.
std::string ProgramDir();
// $TELVORA_HOME when set and not empty, else UserInstallDir().
std::string InstallDir();
// $XDG_DATA_HOME/telvora, or ~/.local/share/telvora when XDG_DATA_HOME is
// unset, empty or not an absolute path. "" when no home folder is known.
std::string UserInstallDir();
// Makes the per-user installation directory with its parents (the last
// level private to the user) when InstallDir() is that folder and it is
// missing. A folder named by $TELVORA_HOME is left as it is: it names a
// station that exists. False, with a German text in error, when the folder
// cannot be made.
bool PrepareInstallDir(std::string& error);
// The text of path up to its last "/" ("" when it has none).
std::string DirOf(const std::string& path);
// a + "/" + b, without doubling a trailing "/" of a.
std::string JoinPath(const std::string& a, const std::string& b);
