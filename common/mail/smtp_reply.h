// SMTP replies taken from the bytes a server sends, however they are cut
// into pieces by the network: a reply is one or more lines, every line but
// the last with a hyphen after its three-digit code ("250-SIZE"), the last
// with a blank or nothing ("250 OK").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SmtpReply {
    // The code of the last line; 0 when it does not start with three digits.
    int code = 0;
    // The lines without their line ends.
    std::vector<std::string> lines;

    const std::string& LastLine() const { return lines.back(); }
    // The text after the code of each line ("SIZE 1000", "AUTH PLAIN").
    std::vector<std::string> Texts() const;
};

class SmtpReplyBuffer {
public:
    // No reply is that long; a server sending more is not speaking SMTP.
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024;

    void Append(std::string_view bytes) { pending_.append(bytes); }
    // The first complete reply, taken out of the buffer; what follows it
    // stays for the next one.
    std::optional<SmtpReply> TakeReply();
    // True when the reply still being received has grown beyond the limit.
    bool TooLong() const { return pending_.size() > kMaxReplyBytes; }
    // What came of a reply that never completed, without line ends.
    std::string PendingText() const;
    // Forgets everything received: after STARTTLS nothing that came before
    // the handshake may be taken as the encrypted server's answer.
    void Clear() {
        pending_.clear();
        scanned_ = 0;
    }

private:
    std::string pending_;
    // The lines of pending_ before this offset are complete lines that
    // announce more.
    std::size_t scanned_ = 0;
};
