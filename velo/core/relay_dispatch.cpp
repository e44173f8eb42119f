#include "relay_dispatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "config_keys.h"
#include "field_text.h"
#include "item_list.h"
#include "paths.h"
#include "platform.h"
#include "profile.h"
#include "relay_template.h"
#include "tariffs.h"

namespace {

constexpr const char* kParameters = "RelayParameters";

// Operation codes of a relay profile.
constexpr int kMail = 1, kFile = 2, kFirstSms = 3, kLastSms = 5;

std::string CtimeText(std::time_t now) {
    char text[64];
    ctime_r(&now, text);
    std::string s = text;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

}  // namespace

RelayDispatcher::RelayDispatcher(std::string config, std::string programDir,
                                 const DebugLog* log, std::string tempDir)
    : config_(std::move(config)),
      programDir_(std::move(programDir)),
      log_(log),
      tempDir_(std::move(tempDir)) {
    start_ = [](const std::string& program, const std::vector<std::string>& args) {
        return StartDetachedProgram(program, args) > 0;
    };
}

std::string RelayDispatcher::NewTempFile(const char* prefix) const {
    std::string dir = tempDir_;
    if (dir.empty()) dir = getenv("TMPDIR") && *getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    std::string path = JoinPath(dir, std::string(prefix) + "XXXXXX");
    int fd = mkstemp(path.data());
    if (fd < 0) return "";
    close(fd);
    return path;
}

bool RelayDispatcher::RelayItem(const NoteItem& item, const char* section,
                                const std::string& textFile) {
    std::string paramFile = PrepareRelay(item, section, textFile);
    if (paramFile.empty()) return false;
    RunRelayNote(paramFile);
    return true;
}

std::string RelayDispatcher::PrepareRelay(const NoteItem& item, const char* section,
                                          const std::string& textFile) {
    bool call = std::string(section) == cfg::kRelayCall;
    if (log_) log_->Write(call ? "++RelayPhoneCall\n" : "++RelayNote\n");
    std::string paramFile = NewTempFile("telvora-relay-");
    std::string messageFile = NewTempFile("telvora-message-");
    if (paramFile.empty() || messageFile.empty()) {
        // No room for the files: the item waits for the next pass.
        if (!paramFile.empty()) unlink(paramFile.c_str());
        if (!messageFile.empty()) unlink(messageFile.c_str());
        return "";
    }
    cfg::RelaySettings keys = cfg::RelayKeys(section);
    RelayTemplate templ = LoadRelayTemplate(config_, config_.Read(keys.templateId));
    std::FILE* message = std::fopen(messageFile.c_str(), "w+");
    bool written = message != nullptr;
    if (message) {
        std::string text = ExpandRelayTemplate(templ.text, item, textFile);
        written = std::fwrite(text.data(), 1, text.size(), message) == text.size();
        written = std::fclose(message) == 0 && written;
    }
    SettingsFile params(paramFile);
    if (!written || !params.WriteText(kParameters, "Message", messageFile.c_str()) ||
        !SetServiceParameters(config_, paramFile, section,
                              ExpandRelayTemplate(templ.subject, item, textFile), item.NoteId(),
                              log_)) {
        unlink(paramFile.c_str());
        unlink(messageFile.c_str());
        return "";
    }
    if (log_) log_->Write(call ? "--RelayPhoneCall\n" : "--RelayNote\n");
    return paramFile;
}

void RelayDispatcher::DiscardRelay(const std::string& paramFile) {
    std::string message = SettingsFile(paramFile).ReadText(kParameters, "Message", "");
    if (!message.empty()) unlink(message.c_str());
    unlink(paramFile.c_str());
}

bool RelayDispatcher::SetServiceParameters(const SettingsFile& config, const std::string& paramFile,
                                           const char* section, const std::string& subject,
                                           long id, const DebugLog* log) {
    if (log) log->Write("++SetServiceParameters\n");
    SettingsFile params(paramFile);
    auto put = [&](const char* key, const std::string& value) {
        return params.WriteText(kParameters, key, value.c_str());
    };
    cfg::RelaySettings keys = cfg::RelayKeys(section);
    std::string logName = config.Read(keys.logFilename);
    bool logOn = config.Read(keys.logFile) != 0 && !logName.empty();
    if (!put("msn", config.Read(cfg::kSenderMsn)) ||
        !put("isdnPrefix", config.Read(cfg::kIsdnPrefix)) || !put("configFileName", config.Path()) ||
        !put("noteId", std::to_string(static_cast<unsigned long>(id))) ||
        !put("logFile", logOn ? "1" : "0") || !put("logFileName", logName)) {
        return false;
    }
    // The first entry of the list whose id is the section's profile.
    int profileId = config.Read(keys.profile);
    std::vector<std::string> records;
    if (auto file = ReadProfile(config.Path())) {
        records = ItemList::ReadRecords(ProfileReader(*file), cfg::kRelayProfiles);
    }
    const std::string* record = nullptr;
    for (const std::string& r : records) {
        if (std::atoi(r.c_str()) == profileId && r.find('|') != std::string::npos) {
            record = &r;
            break;
        }
    }
    if (!record) return false;
    // The fields as the line holds them: each ended by "|" but the last
    // of an e-mail profile, which takes the rest of the line.
    std::string rest = record->substr(record->find('|') + 1);
    int operation = std::atoi(rest.c_str());
    if (!put("operation", rest.substr(0, rest.find('|')))) return false;
    auto take = [&](bool last) -> std::optional<std::string> {
        size_t bar = rest.find('|');
        if (bar == std::string::npos) {
            if (!last) return std::nullopt;
            std::string value = BrokenBarsToBars(rest);
            rest.clear();
            return value;
        }
        std::string value = BrokenBarsToBars(rest.substr(0, bar));
        rest.erase(0, bar + 1);
        return value;
    };
    take(false);  // the operation
    take(false);  // the profile's name, not used here
    auto next = [&](const char* key, bool last = false) {
        auto value = take(last);
        return value && put(key, *value) ? value : std::nullopt;
    };
    bool ok = false;
    if (operation == kMail) {
        auto server = take(false);
        if (!server) return false;
        size_t colon = server->find(':');
        ok = put("Host", server->substr(0, colon)) &&
             put("Port", colon == std::string::npos
                             ? std::to_string(cfg::relay_profile::kDefaultSmtpPort)
                             : std::to_string(std::atoi(server->c_str() + colon + 1))) &&
             next("From") && next("To") && next("Cc") && next("dialUpEntry") &&
             next("ConnectionMode", true) && put("Subject", subject);
    } else if (operation == kFile) {
        ok = next("relayFile").has_value();
    } else if (operation >= kFirstSms && operation <= kLastSms) {
        ok = next("SMSCenter") && next("To") && next("delay") && next("tries");
        if (ok) {
            auto plan = take(false);
            ok = plan && put("callByCallPrefix", RelayCallByCallPrefix(config, *plan));
        }
    }
    if (ok && log) log->Write("--SetServiceParameters\n");
    return ok;
}

void RelayDispatcher::RunRelayNote(const std::string& paramFile) {
    if (log_) log_->Write("++RunRelayNote:\n");
    std::string program = JoinPath(programDir_, "relay");
    std::string argument = "-f:" + paramFile;
    bool started = start_ && start_(program, {argument});
    if (log_ && log_->IsOn()) {
        log_->Printf("--RunRelayNote: WinExec %s %s\n", program.c_str(), argument.c_str());
        log_->Write(started ? "--RunRelayNote: WinExec OK\n" : "--RunRelayNote: WinExec ERROR\n");
    }
}

void WriteRelayLog(const SettingsFile& config, const char* section, const char* kind,
                   const std::string& text) {
    cfg::RelaySettings keys = cfg::RelayKeys(section);
    if (config.Read(keys.logFile) != 1) return;
    std::string path = config.Read(keys.logFilename);
    std::FILE* log = path.empty() ? nullptr : std::fopen(path.c_str(), "a+");
    if (!log) return;
    std::fprintf(log, "%s %s: %s\n", CtimeText(std::time(nullptr)).c_str(), kind, text.c_str());
    std::fclose(log);
}

std::string RelayCallByCallPrefix(const SettingsFile& config, const std::string& plan) {
    ItemList plans(cfg::kTariffPlanFields);
    plans.Load(config, cfg::kCallByCallTariffPlan);
    std::string key = plan;
    if (!plans.FindByField(tariff::kPlanKey, plan)) {
        if (const ListItem* named = plans.FindByField(tariff::kPlanName, plan))
            key = named->fields[tariff::kPlanKey];
    }
    return tariff::PrefixForNow(config, key);
}
