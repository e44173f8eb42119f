// The update file "VeloUpdate.dat" that a new version ships beside the
// program: at start-up its text templates, call-by-call providers and tariff
// plans (with their list layouts) are brought into the configuration, and
// its old-style address list into the address book, once per update file.
//
// A shipped entry that is the user's entry in a newer version (same id or
// key and same name) replaces it. One that meets a user entry of the same
// name under another id or key leaves the user's alone. Any other joins the
// list, with a free id or key when its own is taken; a plan brings its
// tariff entries along, and entries naming a shipped provider follow that
// provider to wherever it went. Nothing of the user's is removed.
#pragma once

#include <ctime>
#include <string>

inline constexpr const char* kUpdateFileName = "VeloUpdate.dat";

namespace update_msg {
inline constexpr const char* kUnreadable =
    "Die Aktualisierungsdatei '%s' kann nicht gelesen werden. Die Einstellungen bleiben "
    "unverändert.";
inline constexpr const char* kDamaged =
    "Die Aktualisierungsdatei '%s' ist beschädigt. Die Einstellungen bleiben unverändert.";
inline constexpr const char* kConfigUnreadable =
    "Die Konfigurationsdatei '%s' kann nicht gelesen werden. Die Aktualisierung wurde nicht "
    "übernommen.";
inline constexpr const char* kConfigNotWritten =
    "Die Konfigurationsdatei '%s' kann nicht geschrieben werden. Die Aktualisierung wurde "
    "nicht übernommen.";
inline constexpr const char* kBookUnreadable =
    "Das Adressbuch '%s' kann nicht gelesen werden. Die Aktualisierung wurde nicht "
    "übernommen.";
inline constexpr const char* kBookNotSaved =
    "Das Adressbuch '%s' kann nicht gespeichert werden. Die Aktualisierung wurde nicht "
    "übernommen.";
}  // namespace update_msg

struct UpdateMergeResult {
    // The update was brought in by this call. False when there is none, when
    // it was brought in before, and on failure.
    bool merged = false;
    // Empty unless something failed; then the text to show, and the
    // configuration is as it was.
    std::string message;
    int added = 0;      // shipped entries that joined a list
    int replaced = 0;   // shipped entries that took the place of their older version
    int kept = 0;       // shipped entries left out for a user entry of the same name
    int layouts = 0;    // list layouts taken from the update for their new columns
    int addresses = 0;  // addresses that joined the address book
};

// Merges updateFile into configFile and the address book at addressBookXml.
// A missing update file does nothing. The configuration changes with one
// replace, which also records the update as merged; an update that cannot be
// read or is no profile file changes nothing. The update file is only read.
UpdateMergeResult MergeUpdateFile(const std::string& updateFile, const std::string& configFile,
                                  const std::string& addressBookXml,
                                  std::time_t now = std::time(nullptr));
// With the installed files: "VeloUpdate.dat" in the program directory, the
// settings file and the address book in the data directory.
UpdateMergeResult MergeUpdateFile();
