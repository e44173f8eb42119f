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
    // Where the reply ends is looked for from the first line not yet seen
    // whole: a long reply that arrives a few bytes at a time is read once,
    // not once for every piece.
    std::size_t start = scanned_;
    for (;;) {
        std::size_t end = pending_.find('\n', start);
        if (end == std::string::npos) {
            scanned_ = start;
            return std::nullopt;
        }
        bool last = !IsContinuation(std::string_view(pending_).substr(start, end - start));
        start = end + 1;
        if (last) break;
    }
    SmtpReply reply;
    for (std::size_t at = 0; at < start;) {
        std::size_t end = pending_.find('\n', at);
        reply.lines.push_back(WithoutLineEnd(std::string_view(pending_).substr(at, end - at)));
        at = end + 1;
    }
    const std::string& last = reply.LastLine();
    reply.code = StartsWithCode(last) ? std::stoi(last.substr(0, 3)) : 0;
    pending_.erase(0, start);
    scanned_ = 0;
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
