#include "sms_centre.h"

#include <algorithm>
#include <sstream>

#include "emi_centre.h"
#include "tap_centre.h"

namespace capisim {
namespace {

struct FaultName {
    const char* name;
    SmsFaultKind kind;
    bool tap;
    bool emi;
};

constexpr FaultName kFaultNames[] = {
    {"nak", SmsFaultKind::kNak, true, false},
    {"rs", SmsFaultKind::kRs, true, false},
    {"no-prompt", SmsFaultKind::kNoPrompt, true, false},
    {"prompt-silence", SmsFaultKind::kPromptSilence, true, false},
    {"no-go-ahead", SmsFaultKind::kNoGoAhead, true, false},
    {"no-logout", SmsFaultKind::kNoLogout, true, false},
    {"negative/CODE/TEXT", SmsFaultKind::kNegative, false, true},
    {"silence-after-block", SmsFaultKind::kSilenceAfterBlock, true, true},
    {"hang-up", SmsFaultKind::kHangUp, true, true},
};

// The text of a negative answer goes into the answer frame as it is: it
// must not end a field, must not be read as the @N of the fault, and must
// leave the answer short enough for one block of the smallest size a
// caller may register (128 bytes).
constexpr size_t kMaxNegativeText = 64;

std::string FaultList(SmsProtocol protocol) {
    std::string list;
    for (const FaultName& f : kFaultNames) {
        if (protocol == SmsProtocol::kTap ? !f.tap : !f.emi) continue;
        list += std::string(list.empty() ? "" : ", ") + f.name;
    }
    return list;
}

bool IsNegativeText(const std::string& text) {
    if (text.empty() || text.size() > kMaxNegativeText) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c > 0x20 && c < 0x7F && c != '/' && c != '@'; });
}

bool ParseNegative(const std::string& name, SmsFault& fault) {
    std::vector<std::string> parts;
    std::stringstream stream(name);
    for (std::string part; std::getline(stream, part, '/');) parts.push_back(part);
    if (name.back() == '/' || parts.size() != 3 || parts[0] != "negative") return false;
    if (parts[1].size() != 2 || !AllDecimalDigits(parts[1]) || !IsNegativeText(parts[2]))
        return false;
    fault.kind = SmsFaultKind::kNegative;
    fault.code = parts[1];
    fault.text = parts[2];
    return true;
}

bool ParseFault(const std::string& word, SmsProtocol protocol, SmsFault& fault,
                std::string& error) {
    std::string name = word;
    if (size_t at = word.rfind('@'); at != std::string::npos) {
        name = word.substr(0, at);
        std::string n = word.substr(at + 1);
        if (!AllDecimalDigits(n) || n.size() > 9 || std::stoul(n) == 0) {
            error = "beim Fehler \"" + word + "\" muss nach @ eine Zahl ab 1 stehen";
            return false;
        }
        fault.only = std::stoul(n);
    }
    const char* protocolWord = protocol == SmsProtocol::kTap ? "sms-tap" : "sms-emi";
    if (protocol == SmsProtocol::kEmi && name.rfind("negative", 0) == 0) {
        if (ParseNegative(name, fault)) return true;
        error = "der Fehler \"" + word +
                "\" braucht die Form negative/CODE/TEXT mit zweistelligem CODE und einem TEXT "
                "von 1 bis " +
                std::to_string(kMaxNegativeText) + " Zeichen ohne Leerzeichen, \"/\" und \"@\"";
        return false;
    }
    for (const FaultName& f : kFaultNames) {
        bool fits = protocol == SmsProtocol::kTap ? f.tap : f.emi;
        if (!fits || name != f.name || f.kind == SmsFaultKind::kNegative) continue;
        fault.kind = f.kind;
        return true;
    }
    error = "der Fehler \"" + word + "\" passt nicht zu " + protocolWord + "; möglich sind " +
            FaultList(protocol) + ", jeweils auch mit @N";
    return false;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

}  // namespace

const char* ProtocolName(SmsProtocol protocol) {
    return protocol == SmsProtocol::kTap ? "tap" : "emi";
}

const SmsFault* SmsCentreConfig::Find(std::initializer_list<SmsFaultKind> kinds, uint64_t n) const {
    for (const SmsFault& f : faults) {
        bool wanted = std::find(kinds.begin(), kinds.end(), f.kind) != kinds.end();
        if (wanted && f.AppliesTo(n)) return &f;
    }
    return nullptr;
}

bool NamesSmsCentre(const std::string& value) {
    std::vector<std::string> words = Words(value);
    return !words.empty() && (words[0] == "sms-tap" || words[0] == "sms-emi");
}

std::optional<SmsCentreConfig> ParseSmsCentre(const std::string& value, std::string& error) {
    std::vector<std::string> words = Words(value);
    SmsCentreConfig config;
    if (words.empty() || (words[0] != "sms-tap" && words[0] != "sms-emi")) {
        error = "erwartet sms-tap oder sms-emi, nicht \"" + value + "\"";
        return std::nullopt;
    }
    config.protocol = words[0] == "sms-tap" ? SmsProtocol::kTap : SmsProtocol::kEmi;
    for (size_t i = 1; i < words.size(); ++i) {
        SmsFault fault;
        if (!ParseFault(words[i], config.protocol, fault, error)) return std::nullopt;
        config.faults.push_back(fault);
    }
    return config;
}

std::unique_ptr<SmsCentreSession> MakeSmsCentreSession(const SmsCentreConfig& config, uint64_t call,
                                                       uint64_t& blocks) {
    if (config.protocol == SmsProtocol::kTap) {
        return std::make_unique<TapCentre>(config, call, blocks);
    }
    return std::make_unique<EmiCentre>(config, blocks);
}

bool AllDecimalDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string MapToUtf8(const std::string& bytes, std::span<const MappedCharacter> map) {
    std::string out;
    for (unsigned char c : bytes) {
        char32_t character = c < 0x80 ? char32_t(c) : U'\uFFFD';
        for (const MappedCharacter& m : map) {
            if (m.byte == c) character = m.character;
        }
        AppendUtf8(out, character);
    }
    return out;
}

}  // namespace capisim
