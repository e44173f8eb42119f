#include "relay_template.h"

#include <fstream>
#include <iterator>
#include <utility>

#include "config_keys.h"
#include "item_list.h"

namespace {

// Fields of a template profile.
constexpr size_t kName = cfg::kTemplateName, kSubject = 3, kText = 4;

std::string LocalTime(long seconds, const char* format) {
    std::time_t t = seconds;
    std::tm tm{};
    localtime_r(&t, &tm);
    char out[64];
    return std::strftime(out, sizeof out, format, &tm) ? out : "";
}

std::string FileText(const std::string& path) {
    if (path.empty()) return "";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
}

}  // namespace

const char* const kRelayTemplateHelp =
    "Sie können folgende Schlüsselwörte verwenden:\n"
    "%PROGRAMM%\tProgramm des Absenders (a)\n"
    "%DIENST%\tDienst (a)\n"
    "%MSN%\tangerufene Rufnummer (MSN/EAZ) (a)\n"
    "%DATUM%\tDatum (a)\n"
    "%UHRZEIT%\tUhrzeit (a)\n"
    "%NAME%\tName des Absenders oder Anrufers (a)\n"
    "%NUMMER%\tRufnummer des Absenders oder Anrufers (a)\n"
    "%BETREFF%\tBetreff (n)\n"
    "%TEXT%\tText der Notiz (n)\n"
    "'a': gültig für Anrufe\n"
    "'n': gültig für ISDN-Notizen";

RelayTemplate LoadRelayTemplate(const SettingsFile& settings, int templateId) {
    ItemList templates(cfg::kTemplateProfileFields);
    templates.Load(settings, cfg::kTemplateProfiles);
    if (const ListItem* t = templates.FindById(templateId))
        return {t->fields[kName], t->fields[kSubject], t->fields[kText]};
    return {"Unknown", "%BETREFF%", "%TEXT%"};
}

std::string ExpandRelayTemplate(const std::string& templ, const NoteItem& item,
                                const std::string& textFile) {
    long time = item.Number(NoteItem::kDateTime);
    const std::pair<const char*, std::string> values[] = {
        {"%PROGRAMM%", item.Get(NoteItem::kProgram)},
        {"%DIENST%", item.Get(NoteItem::kInfo)},
        {"%MSN%", item.Get(NoteItem::kMsn)},
        {"%DATUM%", LocalTime(time, "%d-%m-%y")},
        {"%UHRZEIT%", LocalTime(time, "%H:%M:%S")},
        {"%NAME%", item.Get(NoteItem::kName)},
        {"%NUMMER%", item.Get(NoteItem::kNumber)},
        {"%BETREFF%", item.Get(NoteItem::kSubject)},
    };
    std::string text = templ;
    for (const auto& [placeholder, value] : values) ReplaceAll(text, placeholder, value);
    // The file is read only when the template asks for it.
    if (text.find("%TEXT%") != std::string::npos) ReplaceAll(text, "%TEXT%", FileText(textFile));
    return text;
}
