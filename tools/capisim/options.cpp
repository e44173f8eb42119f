#include "options.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace capisim {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.push_back("");
    return parts;
}

bool ApplyOutsidePrefix(Options& o, const std::string& option, std::string& error) {
    auto colon = option.find(':');
    std::string name = option.substr(0, colon);
    std::string digits = colon == std::string::npos ? "" : option.substr(colon + 1);
    if (colon == std::string::npos || !IsNumber(digits)) {
        error = "--outside-prefix erwartet NAME:ZIFFERN, nicht \"" + option + "\"";
        return false;
    }
    for (LineConfig& line : o.lines) {
        if (line.name != name) continue;
        line.outsidePrefix = digits;
        return true;
    }
    error = "--outside-prefix nennt die unbekannte Leitung \"" + name + "\"";
    return false;
}

// A --sms-centre replaces the profile file's entry of its number, but two
// --sms-centre options of one number are a mistake.
bool ApplySmsCentre(Options& o, const std::string& value, std::set<std::string>& centres,
                    std::string& error) {
    size_t equals = value.find('=');
    std::string number = value.substr(0, equals);
    std::string what = equals == std::string::npos ? "" : value.substr(equals + 1);
    if (equals == std::string::npos || !IsNumber(number) || !NamesSmsCentre(what)) {
        error = "--sms-centre erwartet NUMMER=sms-tap|sms-emi [FEHLER...], nicht \"" + value + "\"";
        return false;
    }
    std::string why;
    auto centre = ParseSpecial(number, what, why);
    if (!centre) {
        error = "--sms-centre " + value + ": " + why;
        return false;
    }
    if (!centres.insert(number).second) {
        error = "die SMS-Zentrale " + number +
                " ist mit --sms-centre zweimal angegeben; jede Rufnummer nur einmal";
        return false;
    }
    PutSpecial(o, *centre);
    return true;
}

struct OptionInfo {
    const char* name;
    const char* value;
    const char* meaning;
};

constexpr OptionInfo kOptions[] = {
    {"--line", "NAME:PORT:NUMMER[,NUMMER...]",
     "eine Leitung: ihr Name, ihr TCP-Port auf 127.0.0.1 (0: irgendein freier)\n"
     "und ihre Rufnummern; mehrfach angebbar, jeder Name und jede Rufnummer\n"
     "nur einmal"},
    {"--outside-prefix", "NAME:ZIFFERN",
     "die Ziffern, die die Leitung NAME vor einer externen Nummer wählt\n"
     "(zum Beispiel A:0)"},
    {"--rate", "BIT_PRO_SEKUNDE", "Bitrate jedes B-Kanals (Vorgabe 64000)"},
    {"--delay", "MS",
     "Laufzeit des B-Kanals in eine Richtung in Millisekunden, auch mit\n"
     "Nachkommastellen (Vorgabe 10)"},
    {"--ring-time", "SEKUNDEN",
     "so lange klingelt ein Anruf, bevor der Anrufer \"keine Antwort\" hört\n"
     "(Vorgabe 30)"},
    {"--call-log", "DATEI", "an diese Datei wird je beendetem Anruf eine JSON-Zeile angehängt"},
    {"--sms-centre", "NUMMER=WERT",
     "Anrufe an NUMMER beantwortet eine SMS-Zentrale der Vermittlung selbst.\n"
     "WERT ist sms-tap oder sms-emi, dahinter durch Leerzeichen getrennt die\n"
     "Fehler, die sie zeigen soll (alles ein Argument, also in Anführungszeichen):\n"
     "  sms-tap: nak, rs, no-prompt, prompt-silence, no-go-ahead, no-logout,\n"
     "           silence-after-block, hang-up\n"
     "  sms-emi: negative/CODE/TEXT, silence-after-block, hang-up\n"
     "FEHLER gilt immer, FEHLER@N nur beim N-ten Anruf (no-prompt,\n"
     "prompt-silence, no-go-ahead, no-logout) oder N-ten Block (die übrigen),\n"
     "gezählt je Zentrale seit dem Start; mehrfach angebbar, zum Beispiel\n"
     "--sms-centre \"5558002=sms-emi negative/02/Syntaxfehler@2\""},
    {"--sms-log", "DATEI",
     "an diese Datei hängen die SMS-Zentralen je angenommener Nachricht eine\n"
     "JSON-Zeile an"},
    {"--config", "DATEI",
     "Profildatei, die zuerst gelesen wird; die übrigen Optionen fügen Leitungen\n"
     "hinzu, ersetzen Leitungen gleichen Namens und SMS-Zentralen gleicher\n"
     "Rufnummer oder überschreiben Einstellungen"},
};

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

const OptionInfo* FindOption(const std::string& name) {
    for (const OptionInfo& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

// Pairs every option with the argument after it. When that argument is
// itself an option, the value was left out: taking the option as the value
// would only lead to a more confusing message about the next argument.
bool PairOptions(const std::vector<std::string>& args,
                 std::vector<std::pair<std::string, std::string>>& given, std::string& error) {
    for (size_t i = 0; i < args.size(); i += 2) {
        const OptionInfo* option = FindOption(args[i]);
        if (!option) {
            error = "unbekannte Option \"" + args[i] + "\"";
            return false;
        }
        if (i + 1 >= args.size() || FindOption(args[i + 1]) || IsHelp(args[i + 1])) {
            error = "der Option " + args[i] + " fehlt ihr Wert, richtig ist " + args[i] + " " +
                    option->value;
            return false;
        }
        given.emplace_back(args[i], args[i + 1]);
    }
    return true;
}

// Applies one option with its value; false with error on a bad value. A
// --line replaces a line of the profile file with its name, but two --line
// options with one name are a mistake.
bool ApplyOption(Options& o, const std::string& option, const std::string& value,
                 std::vector<std::string>& prefixes, std::set<std::string>& named,
                 std::set<std::string>& centres, std::string& error) {
    if (option == "--line") {
        auto line = ParseLineOption(value);
        if (!line) {
            error = "--line erwartet NAME:PORT:NUMMER[,NUMMER...], nicht \"" + value + "\"";
            return false;
        }
        if (!named.insert(line->name).second) {
            error = "die Leitung \"" + line->name +
                    "\" ist mit --line zweimal angegeben; jede Leitung braucht einen eigenen Namen";
            return false;
        }
        PutLine(o, *line);
        return true;
    }
    if (option == "--outside-prefix") {
        prefixes.push_back(value);
        return true;
    }
    if (option == "--sms-centre") return ApplySmsCentre(o, value, centres, error);
    if (option == "--rate") {
        auto rate = ParseUnsigned(value, 100000000);
        if (!rate || *rate == 0) error = "--rate erwartet Bit pro Sekunde größer 0";
        if (rate && *rate) o.bitsPerSecond = *rate;
        return rate && *rate;
    }
    if (option == "--delay") {
        auto delay = ParseDecimal(value);
        if (!delay) error = "--delay erwartet Millisekunden";
        if (delay) o.delayMs = *delay;
        return delay.has_value();
    }
    if (option == "--ring-time") {
        auto ring = ParseDecimal(value);
        if (!ring || *ring <= 0) error = "--ring-time erwartet Sekunden größer 0";
        if (ring && *ring > 0) o.ringSeconds = *ring;
        return ring && *ring > 0;
    }
    if (option == "--call-log") o.callLog = value;
    if (option == "--sms-log") o.smsLog = value;
    // --config has been read before every other option.
    return true;
}

// A number owned twice could only ever reach the first line that has it.
bool CheckNumbersUnique(const std::vector<LineConfig>& lines, std::string& error) {
    std::map<std::string, std::string> owners;
    for (const LineConfig& line : lines) {
        for (const std::string& number : line.numbers) {
            auto [owner, fresh] = owners.emplace(number, line.name);
            if (fresh) continue;
            if (owner->second == line.name) {
                error = "die Rufnummer " + number + " steht bei der Leitung \"" + line.name +
                        "\" zweimal";
            } else {
                error = "die Rufnummer " + number + " gehört zu den Leitungen \"" + owner->second +
                        "\" und \"" + line.name +
                        "\"; jede Rufnummer darf nur zu einer Leitung gehören";
            }
            return false;
        }
    }
    return true;
}

// A centre on a number that a line owns could never be reached.
bool CheckCentresReachable(const Options& o, std::string& error) {
    for (const SpecialNumber& s : o.specials) {
        if (s.kind != SpecialKind::kSmsCentre) continue;
        for (const LineConfig& line : o.lines) {
            if (std::find(line.numbers.begin(), line.numbers.end(), s.number) ==
                line.numbers.end()) {
                continue;
            }
            error = "die Rufnummer " + s.number + " gehört zur Leitung \"" + line.name +
                    "\" und kann nicht zugleich SMS-Zentrale sein";
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '*' || c == '#';
    });
}

std::optional<double> ParseDecimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double value = strtod(text.c_str(), &end);
    if (*end != '\0' || !(value >= 0) || value > 1e7) return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseUnsigned(const std::string& text, uint32_t max) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned long long value = std::stoull(text);
    if (value > max) return std::nullopt;
    return uint32_t(value);
}

std::optional<std::vector<std::string>> ParseNumberList(const std::string& list) {
    std::vector<std::string> numbers = Split(list, ',');
    if (numbers.empty() || !std::all_of(numbers.begin(), numbers.end(), IsNumber)) {
        return std::nullopt;
    }
    return numbers;
}

std::optional<LineConfig> ParseLineOption(const std::string& option) {
    std::vector<std::string> parts = Split(option, ':');
    if (parts.size() != 3 || parts[0].empty()) return std::nullopt;
    if (parts[0].find_first_of(" \t") != std::string::npos) return std::nullopt;
    auto port = ParseUnsigned(parts[1], 65535);
    auto numbers = ParseNumberList(parts[2]);
    if (!port || !numbers) return std::nullopt;
    LineConfig line;
    line.name = parts[0];
    line.port = uint16_t(*port);
    line.numbers = *numbers;
    return line;
}

std::optional<SpecialNumber> ParseSpecial(const std::string& number, const std::string& what,
                                          std::string& error) {
    if (!IsNumber(number)) {
        error = "\"" + number + "\" ist keine Rufnummer";
        return std::nullopt;
    }
    SpecialNumber s;
    s.number = number;
    if (NamesSmsCentre(what)) {
        auto centre = ParseSmsCentre(what, error);
        if (!centre) return std::nullopt;
        s.kind = SpecialKind::kSmsCentre;
        s.centre = *centre;
        return s;
    }
    error = "erwartet busy, no-answer, reject WERT, sms-tap oder sms-emi";
    if (what == "busy") return s;
    if (what == "no-answer") {
        s.kind = SpecialKind::kNoAnswer;
        return s;
    }
    if (what.rfind("reject ", 0) != 0) return std::nullopt;
    std::string value = what.substr(7);
    std::optional<uint32_t> reject;
    if (value.rfind("0x", 0) == 0 && value.size() > 2 && value.size() <= 6) {
        char* end = nullptr;
        unsigned long v = strtoul(value.c_str() + 2, &end, 16);
        if (*end == '\0') reject = uint32_t(v);
    } else {
        reject = ParseUnsigned(value, 0xFFFF);
    }
    if (!reject || *reject < 2) return std::nullopt;
    s.kind = SpecialKind::kReject;
    s.reject = uint16_t(*reject);
    return s;
}

void PutSpecial(Options& options, SpecialNumber special) {
    for (SpecialNumber& existing : options.specials) {
        if (existing.number != special.number) continue;
        existing = std::move(special);
        return;
    }
    options.specials.push_back(std::move(special));
}

void PutLine(Options& options, LineConfig line) {
    for (LineConfig& existing : options.lines) {
        if (existing.name != line.name) continue;
        if (line.outsidePrefix.empty()) line.outsidePrefix = existing.outsidePrefix;
        existing = std::move(line);
        return;
    }
    options.lines.push_back(std::move(line));
}

bool AsksForHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), IsHelp);
}

std::string UsageSynopsis() {
    std::string text = "Aufruf: capisim";
    for (const OptionInfo& option : kOptions) {
        bool required = std::string(option.name) == "--line";
        text += std::string(" ") + (required ? "" : "[") + option.name + " " + option.value +
                (required ? " [--line ...]" : "]");
    }
    return text + "\n";
}

std::string UsageText() {
    std::string text = UsageSynopsis() + "        capisim --help\n";
    text +=
        "\n"
        "capisim ist eine simulierte ISDN-Vermittlung. Jede Leitung ist ein TCP-Port\n"
        "auf 127.0.0.1, über den CAPI-Anwendungen mit libcapi20 telefonieren; dazu\n"
        "steht in ihrer ~/.capi20rc die Zeile \"REMOTE rcapi 127.0.0.1 PORT\".\n"
        "\n"
        "Optionen:\n";
    auto indent = [](const std::string& lines) {
        std::string out;
        size_t start = 0;
        for (size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
            out += "      " + lines.substr(start, end + 1 - start);
        }
        return out + "      " + lines.substr(start) + "\n";
    };
    for (const OptionInfo& option : kOptions) {
        text +=
            std::string("  ") + option.name + " " + option.value + "\n" + indent(option.meaning);
    }
    text += "  -h, --help\n" + indent("zeigt diese Hilfe");
    text +=
        "\n"
        "Sobald capisim bereit ist, gibt es je Leitung \"line NAME PORT NUMMER[,NUMMER...]\"\n"
        "und dann \"ready\" aus. Befehle auf der Standardeingabe, einer je Zeile:\n"
        "  call VON AN CIP SEKUNDEN   ein Telefonanruf, der SEKUNDEN lang klingelt\n"
        "  cut NAME                   Ausfall der Leitung NAME, ihre Anrufe enden\n"
        "  quit                       beendet capisim (wie das Ende der Eingabe)\n"
        "\n"
        "Rückgabewert: 0 nach quit, 1 wenn ein Port, das Anrufprotokoll oder das\n"
        "SMS-Protokoll nicht geöffnet werden kann, 2 bei einem Fehler im Aufruf oder\n"
        "in der Profildatei.\n";
    return text;
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
    std::vector<std::pair<std::string, std::string>> given;
    if (!PairOptions(args, given, error)) return std::nullopt;
    Options o;
    for (const auto& [option, value] : given) {
        if (option == "--config" && !LoadConfigFile(value, o, error)) return std::nullopt;
    }
    std::vector<std::string> prefixes;
    std::set<std::string> named;
    std::set<std::string> centres;
    for (const auto& [option, value] : given) {
        if (!ApplyOption(o, option, value, prefixes, named, centres, error)) return std::nullopt;
    }
    for (const std::string& option : prefixes) {
        if (!ApplyOutsidePrefix(o, option, error)) return std::nullopt;
    }
    if (o.lines.empty()) {
        error = "keine Leitung angegeben, mindestens eine --line NAME:PORT:NUMMER ist nötig";
        return std::nullopt;
    }
    if (!CheckNumbersUnique(o.lines, error) || !CheckCentresReachable(o, error)) {
        return std::nullopt;
    }
    return o;
}

}  // namespace capisim
