// A profile file's text as people and other programs write it (Telvora.cfg,
// the parameter files, VeloUpdate.dat): it parses into the same text, every
// value found reads the same after the text is parsed again, and a value set
// reads back as it was set.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "profile.h"
#include "profile_document.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

// Whether every key of doc reads the same in other.
void CheckSameValues(const ProfileDocument& doc, const ProfileDocument& other) {
    for (const std::string& app : doc.SectionNames()) {
        for (const std::string& key : doc.KeyNames(app).value_or(std::vector<std::string>{})) {
            Check(doc.Find(app, key) == other.Find(app, key));
        }
    }
}

// A value that the reader gives back unchanged: no blank or quote at its
// ends and no line break.
bool Plain(const std::string& v) {
    if (v.find_first_of("\r\n") != std::string::npos || v.find('\0') != std::string::npos)
        return false;
    if (v.empty()) return true;
    auto edge = [](char c) { return IsProfileBlank(c) || c == '"' || c == '\''; };
    return !edge(v.front()) && !edge(v.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    std::string app(in.Block()), key(in.Block()), value(in.Block());
    std::string_view text = in.Rest();

    ProfileDocument doc;
    doc.Parse(text);
    Check(doc.Serialize() == text);

    ProfileEditor editor(doc);
    for (const std::string& section : doc.SectionNames()) {
        for (const std::string& name : editor.KeyNames(section)) editor.Get(section, name);
    }
    if (editor.Set(app, key, value)) {
        if (Plain(value)) Check(editor.Get(app, key) == value);
        ProfileDocument again;
        again.Parse(doc.Serialize());
        CheckSameValues(doc, again);
        CheckSameValues(again, doc);
    }
    editor.RemoveKey(app, key);
    editor.RemoveSection(app);
    ProfileDocument after;
    after.Parse(doc.Serialize());
    CheckSameValues(doc, after);
    return 0;
}
