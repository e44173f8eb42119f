// The e-mail that CSMTPConnection sends: addresses, one plain-text body and
// the three recipient lists, and the header composed from them. Texts are
// UTF-8; the header and body go out in ISO-8859-1 (Windows-1252 where a text
// needs it), quoted-printable and as encoded words.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

class CMailAddress {
public:
    CMailAddress() = default;
    explicit CMailAddress(std::string address, std::string friendlyName = {})
        : friendlyName(std::move(friendlyName)), address(std::move(address)) {}

    // "name <address>", or the bare address when there is no name.
    std::string DisplayForm() const;

    std::string friendlyName;
    std::string address;
};

class CMailBodyPart {
public:
    virtual ~CMailBodyPart() = default;

    std::string contentType = "text/plain";
    // Also names the character set of the encoded header words.
    std::string charset = "iso-8859-1";
    // UTF-8, lines ended by CRLF.
    std::string text;
};

// Last-error value of a recipient text with "<" but no ">" after it.
inline constexpr int kMailErrorBadRecipient = 13;

class CMailMessage {
public:
    enum RecipientType { kTo = 0, kCc = 1, kBcc = 2 };

    virtual ~CMailMessage() = default;

    // The header: From, To, Cc (when there are Cc recipients), Subject,
    // Date, X-Mailer, MIME-Version, Content-Type, Content-Transfer-Encoding,
    // Reply-To (when it has an address), each line ended by CRLF, and the
    // empty line that ends the header. Bcc recipients never appear.
    virtual std::string ComposeHeader() const;

    // Adds a copy of address to the list of type; its index in that list,
    // or -1 when type is not 0, 1 or 2.
    int AddRecipient(const CMailAddress& address, int type);
    // Adds every address of a text such as "Anna <a@x.de>, b@y.de; c@z.de".
    // Pieces are cut at "," and ";"; a piece without "<" is a bare address,
    // else the name stands before "<" and the address between "<" and ">".
    // Blank pieces are skipped. A piece with "<" whose first ">" is missing
    // or stands before the "<" spoils
    // the whole text: nothing is added, LastError() becomes 13 and the
    // result is false.
    bool AddRecipientsFromText(std::string_view text, int type);
    const std::vector<CMailAddress>& Recipients(int type) const;

    // Sets the body to text (UTF-8) with uniform CRLF line ends, type
    // text/plain, and the character set the text needs.
    void AddTextBody(std::string_view text);
    // The body as it goes over the wire before dot transparency: in its
    // character set, quoted-printable, every line ended by CRLF.
    std::string EncodedBody() const;

    // The date the header carries; 0 (the default) is the time of composing.
    void SetDate(std::time_t when) { date_ = when; }

    int LastError() const { return lastError_; }

    CMailAddress from;
    std::string subject;
    std::string xMailer = "CSMTPConnection v2.17";
    CMailAddress replyTo;
    CMailBodyPart body;

private:
    std::vector<CMailAddress> recipients_[3];
    std::time_t date_ = 0;
    int lastError_ = 0;
};
