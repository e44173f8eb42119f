// The parsed text of a profile file. It keeps every line as it was read, so
// that a change rewrites only the entry it concerns and keeps comments,
// blank lines and everything else that people edit by hand.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ProfileDocument {
public:
    void Parse(std::string_view data);
    std::string Serialize() const;

    // The raw value of [app] key (trimmed, quotes still on); nullopt when
    // the section or key is missing or the key line has no "=".
    std::optional<std::string_view> Find(std::string_view app, std::string_view key) const;

    // Key names of the first section named app (file order, duplicates
    // included, comments and lines without "=" left out); nullopt when the
    // section is missing.
    std::optional<std::vector<std::string>> KeyNames(std::string_view app) const;
    std::vector<std::string> SectionNames() const;

    // Each returns true when the text changed.
    bool Set(std::string_view app, std::string_view key, std::string_view value);
    bool RemoveKey(std::string_view app, std::string_view key);
    bool RemoveSection(std::string_view app);

private:
    enum class Kind { Blank, Comment, Header, Key, Bare };
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\n", "\r\n", "\r", or "" for a last line without one
        Kind kind;
        bool removed = false;
    };
    struct Section {
        std::vector<Line> lines;  // the header first, unless it is the headerless top
        std::unordered_map<std::string, std::vector<size_t>> keys;  // folded name -> live lines
        bool removed = false;
    };

    static Kind Classify(std::string_view trimmed);
    void AddLine(std::string text, std::string eol);
    void IndexKey(size_t section, size_t line);
    const Section* FirstSection(std::string_view app) const;
    size_t AppendSection(std::string_view app);
    void EndLastLine();
    size_t InsertPoint(const Section& s) const;

    std::string bom_;
    std::vector<Section> sections_;  // [0]: lines before the first header
    std::unordered_map<std::string, std::vector<size_t>> index_;  // folded name -> live sections
};

// Blank as the profile parser sees it: white space and the DOS end-of-file mark.
bool IsProfileBlank(char c);
std::string_view TrimProfileBlanks(std::string_view s);
// ASCII case folding; other bytes stay as they are.
std::string FoldCase(std::string_view s);
