#include "profile_document.h"

#include <algorithm>

bool IsProfileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

std::string_view TrimProfileBlanks(std::string_view s) {
    while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string FoldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

namespace {

// The name between "[" and the last "]" of a header line.
std::string_view HeaderName(std::string_view trimmed) {
    auto close = trimmed.rfind(']');
    return TrimProfileBlanks(trimmed.substr(1, close - 1));
}

// A key line splits at its first "=".
std::string_view KeyName(std::string_view trimmed) {
    return TrimProfileBlanks(trimmed.substr(0, trimmed.find('=')));
}

std::string_view KeyValue(std::string_view trimmed) {
    auto eq = trimmed.find('=');
    return TrimProfileBlanks(trimmed.substr(eq + 1));
}

}  // namespace

ProfileDocument::Kind ProfileDocument::Classify(std::string_view t) {
    if (t.empty()) return Kind::Blank;
    if (t.front() == ';') return Kind::Comment;
    if (t.front() == '[' && t.find(']') != std::string_view::npos) return Kind::Header;
    if (t.find('=') != std::string_view::npos) return Kind::Key;
    return Kind::Bare;
}

void ProfileDocument::Parse(std::string_view data) {
    bom_.clear();
    sections_.assign(1, Section{});
    index_.clear();
    if (data.substr(0, 3) == "\xEF\xBB\xBF") {
        bom_ = data.substr(0, 3);
        data.remove_prefix(3);
    }
    while (!data.empty()) {
        size_t end = data.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            AddLine(std::string(data), "");
            break;
        }
        size_t eolLen =
            (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
        AddLine(std::string(data.substr(0, end)), std::string(data.substr(end, eolLen)));
        data.remove_prefix(end + eolLen);
    }
}

void ProfileDocument::AddLine(std::string text, std::string eol) {
    std::string_view trimmed = TrimProfileBlanks(text);
    Kind kind = Classify(trimmed);
    if (kind == Kind::Header) {
        index_[FoldCase(HeaderName(trimmed))].push_back(sections_.size());
        sections_.emplace_back();
    }
    Section& s = sections_.back();
    s.lines.push_back(Line{std::move(text), std::move(eol), kind});
    if (kind == Kind::Key || kind == Kind::Bare) IndexKey(sections_.size() - 1, s.lines.size() - 1);
}

void ProfileDocument::IndexKey(size_t section, size_t line) {
    Section& s = sections_[section];
    std::string_view trimmed = TrimProfileBlanks(s.lines[line].text);
    s.keys[FoldCase(KeyName(trimmed))].push_back(line);
}

std::string ProfileDocument::Serialize() const {
    std::string out = bom_;
    for (const Section& s : sections_) {
        if (s.removed) continue;
        for (const Line& l : s.lines) {
            if (l.removed) continue;
            out += l.text;
            out += l.eol;
        }
    }
    return out;
}

const ProfileDocument::Section* ProfileDocument::FirstSection(std::string_view app) const {
    auto it = index_.find(FoldCase(TrimProfileBlanks(app)));
    if (it == index_.end() || it->second.empty()) return nullptr;
    return &sections_[it->second.front()];
}

std::optional<std::string_view> ProfileDocument::Find(std::string_view app,
                                                      std::string_view key) const {
    const Section* s = FirstSection(app);
    if (!s) return std::nullopt;
    auto it = s->keys.find(FoldCase(TrimProfileBlanks(key)));
    if (it == s->keys.end() || it->second.empty()) return std::nullopt;
    const Line& line = s->lines[it->second.front()];
    if (line.kind != Kind::Key) return std::nullopt;
    return KeyValue(TrimProfileBlanks(line.text));
}

std::optional<std::vector<std::string>> ProfileDocument::KeyNames(std::string_view app) const {
    const Section* s = FirstSection(app);
    if (!s) return std::nullopt;
    std::vector<std::string> names;
    for (const Line& l : s->lines) {
        if (!l.removed && l.kind == Kind::Key)
            names.emplace_back(KeyName(TrimProfileBlanks(l.text)));
    }
    return names;
}

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (!s.removed) names.emplace_back(HeaderName(TrimProfileBlanks(s.lines.front().text)));
    }
    return names;
}

// The last line of the file gets a line end before anything is added after it.
void ProfileDocument::EndLastLine() {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
        if (s->removed) continue;
        for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l) {
            if (l->removed) continue;
            if (l->eol.empty()) l->eol = "\n";
            return;
        }
    }
}

size_t ProfileDocument::AppendSection(std::string_view app) {
    EndLastLine();
    index_[FoldCase(app)].push_back(sections_.size());
    Section s;
    s.lines.push_back(Line{"[" + std::string(app) + "]", "\n", Kind::Header});
    sections_.push_back(std::move(s));
    return sections_.size() - 1;
}

// A new key goes right after the section's last entry, ahead of the blank
// lines that separate it from the next section.
size_t ProfileDocument::InsertPoint(const Section& s) const {
    size_t pos = s.lines.size();
    while (pos > 0 && (s.lines[pos - 1].removed || s.lines[pos - 1].kind == Kind::Blank)) --pos;
    return pos;
}

bool ProfileDocument::Set(std::string_view app, std::string_view key, std::string_view value) {
    app = TrimProfileBlanks(app);
    key = TrimProfileBlanks(key);
    auto found = index_.find(FoldCase(app));
    size_t si = (found == index_.end() || found->second.empty()) ? AppendSection(app)
                                                                 : found->second.front();
    Section& s = sections_[si];
    auto k = s.keys.find(FoldCase(key));
    if (k != s.keys.end() && !k->second.empty()) {
        Line& line = s.lines[k->second.front()];
        std::string_view trimmed = TrimProfileBlanks(line.text);
        if (line.kind == Kind::Key && KeyValue(trimmed) == value) return false;
        // The key keeps its spelling and place; only the value changes.
        line.text = std::string(KeyName(trimmed)) + "=" + std::string(value);
        line.kind = Kind::Key;
        return true;
    }
    size_t pos = InsertPoint(s);
    if (pos > 0 && s.lines[pos - 1].eol.empty()) s.lines[pos - 1].eol = "\n";
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(pos),
                   Line{std::string(key) + "=" + std::string(value), "\n", Kind::Key});
    // Only blank or removed lines lie behind the insertion point, none of
    // them indexed, so the index stays valid.
    IndexKey(si, pos);
    return true;
}

bool ProfileDocument::RemoveKey(std::string_view app, std::string_view key) {
    auto found = index_.find(FoldCase(TrimProfileBlanks(app)));
    if (found == index_.end() || found->second.empty()) return false;
    Section& s = sections_[found->second.front()];
    auto k = s.keys.find(FoldCase(TrimProfileBlanks(key)));
    if (k == s.keys.end() || k->second.empty()) return false;
    s.lines[k->second.front()].removed = true;
    k->second.erase(k->second.begin());
    return true;
}

bool ProfileDocument::RemoveSection(std::string_view app) {
    auto found = index_.find(FoldCase(TrimProfileBlanks(app)));
    if (found == index_.end() || found->second.empty()) return false;
    sections_[found->second.front()].removed = true;
    found->second.erase(found->second.begin());
    return true;
}
