#include "relay_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <thread>

#include "config_keys.h"
#include "corvane.h"
#include "format.h"
#include "relay_log.h"
#include "relayed_items.h"

namespace {

constexpr const char* kDebugLogFile = "RelayDebug.log";
constexpr const char* kLinkFailure = "Link-DLL kann nicht initialiert werden";

// True when a and b are one file (links followed); false when either is missing.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}

}  // namespace

const char* const kRelayHelp =
    "Aufruf: relay -f:PARAMETERDATEI\n"
    "\n"
    "relay leitet eine empfangene Notiz oder einen Anruf weiter: per E-Mail, in eine\n"
    "Datei oder als SMS über das SMS-Center von D1, D2 oder E-Plus. velo (ohne\n"
    "grafische Anzeige das wartende 'telvora take') startet es je Eintrag mit einer\n"
    "Parameterdatei (Abschnitt [RelayParameters]); von Hand braucht man es nur zur\n"
    "Fehlersuche.\n"
    "Das Ergebnis steht im Weiterleitungsprotokoll und in Telvora.cfg\n"
    "([RelayResults] RelayedItems, [RelayFailures]).\n"
    "\n"
    "  -f:PARAMETERDATEI  die Parameterdatei; bei mehreren gilt die letzte\n"
    "  -h, --help         diese Hilfe (nur ohne -f:)\n"
    "\n"
    "Rückgabewert: 1, wenn keine Parameterdatei genannt ist (relay schreibt dann nur\n"
    "\"Usage: RelayNote -f:paramter-file\") oder die ISDN-Schnittstelle für eine SMS\n"
    "nicht startet, sonst 0, auch wenn die Weiterleitung scheiterte.\n"
    "RelayDebug.log im aktuellen Ordner bei [Parameters] debug=1.\n";

std::string ParameterFileOf(const std::vector<std::string>& args) {
    std::string file;
    for (const std::string& arg : args) {
        if (arg.rfind("-f:", 0) == 0) file = arg.substr(3);
    }
    return file;
}

RelayProgram::RelayProgram(std::ostream& out)
    : out_(out),
      pause_([](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }),
      startLink_([] { return RCOInitLinkDLL(TRUE) != FALSE; }),
      stopLink_([] { RCOExitLinkDLL(); }) {}

int RelayProgram::Run(const std::vector<std::string>& args) {
    std::string file = ParameterFileOf(args);
    if (file.empty() && AsksForHelp(args)) {
        out_ << kRelayHelp << std::flush;
        return 0;
    }
    if (file.empty()) {
        out_ << "Usage: RelayNote -f:paramter-file" << std::endl;
        return 1;
    }
    RelayParameters params(file);
    std::string configFile = params.ConfigFile();
    log_.Init(kDebugLogFile, configFile);
    log_.Write("++RELAY\n");
    if (!params.Exists()) {
        out_ << "RelayNote: file " << file << " not found" << std::endl;
        log_.Write("--RELAY\n");
        return 0;
    }
    params.Begin();
    int code = params.Operation();
    const RelayOperation& operation = RelayOperationFor(code);
    // The ISDN line is needed for an SMS only: mail and file work on a
    // station without CAPI.
    bool linkStarted = operation.needsLink && startLink_();
    int result = 0;
    Outcome outcome;
    if (operation.needsLink && !linkStarted) {
        out_ << "RelayNote: " << kLinkFailure << std::endl;
        params.Fail(kLinkFailure);
        result = 1;
    } else {
        outcome = Attempt(params, operation, code);
    }
    bool reported = Report(params, configFile, operation, outcome);
    params.Finish();
    if (linkStarted) stopLink_();
    log_.Write("--RELAY\n");
    // With debugging on the files stay for a look; a run whose outcome
    // could not be written keeps them as the only trace.
    if (reported && !log_.IsOn()) RemoveRunFiles(params, configFile);
    return result;
}

RelayProgram::Outcome RelayProgram::Attempt(const RelayParameters& params,
                                            const RelayOperation& operation, int code) {
    Outcome outcome;
    int tries = params.Tries();
    std::chrono::milliseconds pause = params.Pause();
    RelayContext context{params, log_, code};
    while (outcome.attempts < tries && !outcome.success) {
        ++outcome.attempts;
        pause_(pause);
        if (operation.debugLine) log_.Write(operation.debugLine);
        outcome.success = operation.action && operation.action(context);
    }
    return outcome;
}

bool RelayProgram::Report(const RelayParameters& params, const std::string& configFile,
                          const RelayOperation& operation, const Outcome& outcome) {
    std::string text =
        outcome.success
            ? FormatText("%s nach %d Versuch(en).", operation.successText, outcome.attempts)
            : FormatText("%s [%s] nach %d Versuch(en)", operation.failureText,
                         params.LastError().c_str(), outcome.attempts);
    bool reported = true;
    if (cfg::IsOn(params.Read(relay_key::kLogFile))) {
        reported = AppendRelayLogLine(params.Read(relay_key::kLogFileName), operation.name, text,
                                      std::time(nullptr));
    }
    std::string noteId = params.Read(relay_key::kNoteId);
    long id = 0;
    if (!ParseNoteId(noteId, id)) {
        log_.Printf("**RELAY: noteId '%s' is no item id\n", noteId.c_str());
        return false;
    }
    bool recorded = outcome.success
                        ? AppendRelayedItem(configFile, id)
                        : RecordRelayFailure(configFile, id, operation.name + (": " + text));
    if (!recorded) log_.Printf("**RELAY: cannot write the outcome into %s\n", configFile.c_str());
    return reported && recorded;
}

void RelayProgram::RemoveRunFiles(const RelayParameters& params,
                                  const std::string& configFile) const {
    std::string message = params.Read(relay_key::kMessage);
    // Whatever velo named, the configuration itself is never removed.
    for (const std::string& file : {message, params.Path()}) {
        if (!file.empty() && !SameFile(file, configFile)) unlink(file.c_str());
    }
}
