#include "mail_message.h"

#include "mail_encoding.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\f\v";
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// One address for a header: its friendly name (encoded when it needs to
// be) and the address in angle brackets, or the bare address.
void AddAddress(HeaderLineBuilder& line, const CMailAddress& address, std::string_view glue) {
    std::string bare = SingleLineValue(address.address);
    if (address.friendlyName.empty()) {
        line.Add(bare, glue, "");
        return;
    }
    AddPhrase(line, address.friendlyName, glue);
    line.Add("<" + bare + ">", "", " ");
}

std::string AddressHeader(std::string_view name, const std::vector<CMailAddress>& list) {
    HeaderLineBuilder line(name);
    if (list.empty()) line.Add("", "", "");
    for (std::size_t i = 0; i < list.size(); ++i) AddAddress(line, list[i], i ? "," : "");
    return line.Finish();
}

}  // namespace

std::string CMailAddress::DisplayForm() const {
    return friendlyName.empty() ? address : friendlyName + " <" + address + ">";
}

int CMailMessage::AddRecipient(const CMailAddress& address, int type) {
    if (type < kTo || type > kBcc) return -1;
    recipients_[type].push_back(address);
    return static_cast<int>(recipients_[type].size()) - 1;
}

bool CMailMessage::AddRecipientsFromText(std::string_view text, int type) {
    if (type < kTo || type > kBcc) return false;
    std::vector<CMailAddress> found;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",;", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view piece = text.substr(start, end - start);
        start = end + 1;
        CMailAddress address;
        std::size_t open = piece.find('<');
        if (open == std::string_view::npos) {
            address.address = TrimBlanks(piece);
        } else {
            std::size_t close = piece.find('>');
            if (close == std::string_view::npos || close < open) {
                lastError_ = kMailErrorBadRecipient;
                return false;
            }
            address.friendlyName = TrimBlanks(piece.substr(0, open));
            address.address = TrimBlanks(piece.substr(open + 1, close - open - 1));
        }
        if (!address.address.empty()) found.push_back(std::move(address));
    }
    for (const CMailAddress& address : found) recipients_[type].push_back(address);
    return true;
}

const std::vector<CMailAddress>& CMailMessage::Recipients(int type) const {
    static const std::vector<CMailAddress> kNone;
    return type >= kTo && type <= kBcc ? recipients_[type] : kNone;
}

void CMailMessage::AddTextBody(std::string_view text) {
    body.contentType = "text/plain";
    body.charset = MailCharsetFor(text);
    body.text = UniformLineEnds(text);
}

std::string CMailMessage::EncodedBody() const {
    return EncodeQuotedPrintable(ToMailCharset(body.text, body.charset));
}

std::string CMailMessage::ComposeHeader() const {
    std::string header;
    header += AddressHeader("From", {from});
    header += AddressHeader("To", recipients_[kTo]);
    if (!recipients_[kCc].empty()) header += AddressHeader("Cc", recipients_[kCc]);
    header += UnstructuredHeader("Subject", subject);
    header += "Date: " + MailDateText(date_ ? date_ : std::time(nullptr)) + "\r\n";
    header += UnstructuredHeader("X-Mailer", xMailer);
    header += "MIME-Version: 1.0\r\n";
    header += "Content-Type: " + SingleLineValue(body.contentType) +
              "; charset=" + SingleLineValue(body.charset) + "\r\n";
    header += "Content-Transfer-Encoding: quoted-printable\r\n";
    if (!replyTo.address.empty()) header += AddressHeader("Reply-To", {replyTo});
    return header + "\r\n";
}
