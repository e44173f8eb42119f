// Forwarding one item: the message file from the section's template, the
// parameter file for the relay profile, and the relay program started on
// it without waiting. Also the relay log that velo and relay share.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "debuglog.h"
#include "note_item.h"
#include "settings_file.h"

class RelayDispatcher {
public:
    // Starts a program detached; true when it could be started.
    using Starter =
        std::function<bool(const std::string& program, const std::vector<std::string>& args)>;

    // config: Telvora.cfg; programDir: where relay lies; tempDir: where the
    // parameter and message files go ("" for $TMPDIR, else /tmp).
    RelayDispatcher(std::string config, std::string programDir, const DebugLog* log,
                    std::string tempDir = "");

    // Tests see the start instead of a relay process.
    void SetStarter(Starter start) { start_ = std::move(start); }

    // RelayPhoneCall and RelayNote: section "RelayCall" or "RelayNote";
    // textFile "" for a call. True when relay was started.
    bool RelayItem(const NoteItem& item, const char* section, const std::string& textFile);
    // The same in two steps, so that the item's state can be written
    // between them: the message and parameter files ("" when they cannot
    // be made, the item then waits), and relay started on them.
    std::string PrepareRelay(const NoteItem& item, const char* section, const std::string& textFile);
    void RunRelayNote(const std::string& paramFile);
    // Removes what PrepareRelay made when relay is not started after all.
    static void DiscardRelay(const std::string& paramFile);

    // Writes the keys of the section's relay profile into the parameter
    // file's [RelayParameters]; false when the profile is missing, of an
    // unknown operation or ends early.
    static bool SetServiceParameters(const SettingsFile& config, const std::string& paramFile,
                                     const char* section, const std::string& subject, long id,
                                     const DebugLog* log = nullptr);

private:
    std::string NewTempFile(const char* prefix) const;

    SettingsFile config_;
    std::string programDir_;
    const DebugLog* log_;
    std::string tempDir_;
    Starter start_;
};

// Appends "<ctime> <kind>: <text>" to the section's relay log when its
// "logFile" is 1.
void WriteRelayLog(const SettingsFile& config, const char* section, const char* kind,
                   const std::string& text);

// The tariff plan's call-by-call prefix for now; the plan is named by its
// key or by its name.
std::string RelayCallByCallPrefix(const SettingsFile& config, const std::string& plan);
