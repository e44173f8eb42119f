#include "smtp_reply.h"

#include <cctype>

namespace {

bool StartsWithCode(std::string_view line) {
    return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2]));
}

// A line with a code and a hyphen announces more lines; anything else, also
// a line that is no reply line at all, ends the reply, so that a confused
// server cannot keep the client reading.
bool IsContinuation(std::string_view line) {
    return line.size() >= 4 && StartsWithCode(line) && line[3] == '-';
}

std::string WithoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return std::string(line);
}

}  // namespace

std::vector<std::string> SmtpReply::Texts() const {
    std::vector<std::string> texts;
    for (const std::string& line : lines) texts.push_back(line.size() > 4 ? line.substr(4) : "");
    return texts;
}

std::optional<SmtpReply> SmtpReplyBuffer::TakeReply() {
    SmtpReply reply;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = pending_.find('\n', start);
        if (end == std::string::npos) return std::nullopt;
        std::string line = WithoutLineEnd(std::string_view(pending_).substr(start, end - start));
        start = end + 1;
        bool last = !IsContinuation(line);
        reply.lines.push_back(std::move(line));
        if (last) break;
    }
    const std::string& last = reply.LastLine();
    reply.code = StartsWithCode(last) ? std::stoi(last.substr(0, 3)) : 0;
    pending_.erase(0, start);
    return reply;
}

std::string SmtpReplyBuffer::PendingText() const {
    std::string text;
    for (char c : pending_) {
        if (c == '\r') continue;
        text += c == '\n' ? ' ' : c;
    }
    return text;
}
