#include "smtp_connection.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "debuglog.h"
#include "format.h"
#include "mail_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kDataChunk = 16 * 1024;

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "localhost";
    return name;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// An address that can stand in "MAIL FROM:<>" and "RCPT TO:<>": printable
// ASCII without blanks and angle brackets, so that it can neither end the
// command nor smuggle in another one.
bool IsSendableAddress(std::string_view address) {
    return std::all_of(address.begin(), address.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte > 32 && byte < 127 && byte != '<' && byte != '>';
    });
}

// "60 Sekunden", "1,5 Sekunden", "1 Sekunde".
std::string SecondsText(int ms) {
    if (ms == 1000) return "1 Sekunde";
    if (ms % 1000 / 100 == 0) return std::to_string(ms / 1000) + " Sekunden";
    return FormatText("%d,%d Sekunden", ms / 1000, ms % 1000 / 100);
}

}  // namespace

CSMTPConnection::CSMTPConnection(const DebugLog* log) : log_(log) {}

CSMTPConnection::~CSMTPConnection() {
    if (connected_) Disconnect();
    socket_.Close();
}

bool CSMTPConnection::OnSendProgress(unsigned, unsigned) {
    return true;
}

bool CSMTPConnection::Connect(const std::string& host, int port, const std::string& bindAddress) {
    if (log_) log_->Printf("++CSMTPConnection::Connect (%s:%d)\n", host.c_str(), port);
    if (connected_) Disconnect();
    socket_.Close();
    replies_.Clear();
    connected_ = false;
    host_ = host;
    lastError_ = lastReplyCode_ = 0;
    errorText_.clear();
    lastReplyText_.clear();
    extensions_.clear();

    SocketFailure failure;
    if (!socket_.Connect(host, port, bindAddress, milliseconds(connectTimeoutMs_), failure)) {
        Broken(failure);
        return false;
    }
    if (options_.security == SmtpSecurity::kTls &&
        !socket_.StartTls(host, options_.caFile, milliseconds(replyTimeoutMs_), failure)) {
        Broken(failure);
        return false;
    }
    connected_ = true;
    if (Greet(host)) {
        if (log_) log_->Write("--CSMTPConnection::Connect\n");
        return true;
    }
    if (connected_) {
        // Say goodbye politely, but the user is to hear why it failed, not
        // what the server said to QUIT.
        int error = lastError_, code = lastReplyCode_;
        std::string text = errorText_, reply = lastReplyText_;
        Disconnect();
        lastError_ = error;
        lastReplyCode_ = code;
        errorText_ = text;
        lastReplyText_ = reply;
    }
    if (log_) log_->Printf("**CSMTPConnection::Connect : %s\n", errorText_.c_str());
    return false;
}

bool CSMTPConnection::Greet(const std::string& host) {
    if (!ReadCommandReply(220)) {
        if (connected_) Refused(kErrorNoExpectedReply, "Der Server hat die Verbindung abgelehnt");
        return false;
    }
    if (heloHostName_ == "auto") heloHostName_ = LocalHostName();
    bool extended = options_.security != SmtpSecurity::kNone || !options_.user.empty();
    if (!extended) return Hello("HELO");
    if (!Hello("EHLO")) return false;
    if (options_.security == SmtpSecurity::kStartTls && !(StartTls(host) && Hello("EHLO"))) {
        return false;
    }
    return LogOn();
}

bool CSMTPConnection::Hello(const char* command) {
    std::string context = FormatText("Der Server hat die Begrüßung (%s) abgelehnt", command);
    if (!Command(std::string(command) + " " + SingleLineValue(heloHostName_), 250,
                 kErrorNoExpectedReply, context)) {
        return false;
    }
    extensions_.clear();
    std::vector<std::string> texts = lastReply_.Texts();
    for (std::size_t i = 1; i < texts.size(); ++i) extensions_.push_back(Upper(texts[i]));
    return true;
}

bool CSMTPConnection::StartTls(const std::string& host) {
    if (std::find(extensions_.begin(), extensions_.end(), "STARTTLS") == extensions_.end()) {
        Fail(kErrorTls, FormatText("Der Server '%s' bietet keine verschlüsselte Verbindung "
                                   "(STARTTLS) an.",
                                   host.c_str()));
        return false;
    }
    if (!Command("STARTTLS", 220, kErrorNoExpectedReply, "Der Server hat STARTTLS abgelehnt")) {
        return false;
    }
    // Whatever came before the handshake is not from the encrypted server.
    replies_.Clear();
    SocketFailure failure;
    if (!socket_.StartTls(host, options_.caFile, milliseconds(replyTimeoutMs_), failure)) {
        Broken(failure);
        return false;
    }
    return true;
}

bool CSMTPConnection::LogOn() {
    if (options_.user.empty()) return true;
    std::vector<std::string> mechanisms;
    for (const std::string& line : extensions_) {
        if (line.rfind("AUTH ", 0) != 0 && line.rfind("AUTH=", 0) != 0) continue;
        std::string rest = line.substr(5);
        for (std::size_t pos = 0; pos < rest.size();) {
            std::size_t end = std::min(rest.find(' ', pos), rest.size());
            mechanisms.push_back(rest.substr(pos, end - pos));
            pos = end + 1;
        }
    }
    auto offers = [&](const char* name) {
        return std::find(mechanisms.begin(), mechanisms.end(), name) != mechanisms.end();
    };
    const std::string refused = "Die Anmeldung am Server wurde abgelehnt";
    const std::string& user = options_.user;
    const std::string& password = options_.password;
    if (offers("PLAIN")) {
        std::string credentials = std::string(1, '\0') + user + '\0' + password;
        return Command("AUTH PLAIN " + Base64(credentials), 235, kErrorUnexpectedReply, refused,
                       "AUTH PLAIN ****");
    }
    if (offers("LOGIN")) {
        return Command("AUTH LOGIN", 334, kErrorUnexpectedReply, refused) &&
               Command(Base64(user), 334, kErrorUnexpectedReply, refused, "****") &&
               Command(Base64(password), 235, kErrorUnexpectedReply, refused, "****");
    }
    Fail(kErrorUnexpectedReply,
         FormatText("Der Server '%s' bietet keine Anmeldung mit Benutzername und Passwort "
                    "(AUTH PLAIN oder LOGIN) an.",
                    host_.c_str()));
    return false;
}

bool CSMTPConnection::Disconnect() {
    bool confirmed = false;
    if (connected_) {
        if (log_) log_->Write("++CSMTPConnection::Disconnect\n");
        confirmed = Command("QUIT", 221, kErrorUnexpectedReply,
                            "Der Server hat das Ende der Verbindung nicht bestätigt");
        connected_ = false;
    }
    socket_.Close();
    replies_.Clear();
    return confirmed;
}

bool CSMTPConnection::SendMessage(const CMailMessage& message) {
    if (log_) log_->Write("++CSMTPConnection::SendMessage\n");
    if (!connected_) {
        Fail(kErrorNotConnected, "Keine Verbindung zum Mail-Server.");
        return false;
    }
    std::vector<const CMailAddress*> recipients;
    for (int type : {CMailMessage::kTo, CMailMessage::kCc, CMailMessage::kBcc}) {
        for (const CMailAddress& r : message.Recipients(type)) recipients.push_back(&r);
    }
    for (const CMailAddress* address : recipients) {
        if (!IsSendableAddress(address->address) || address->address.empty()) {
            Fail(kErrorBadAddress, "Ungültige E-Mail-Adresse: '" + address->address + "'");
            return false;
        }
    }
    const std::string& sender = message.from.address;
    if (!IsSendableAddress(sender)) {
        Fail(kErrorBadAddress, "Ungültige Absenderadresse: '" + sender + "'");
        return false;
    }
    if (!Command("MAIL FROM:<" + sender + ">", 250, kErrorUnexpectedReply,
                 "Der Server hat den Absender '" + sender + "' abgelehnt")) {
        return false;
    }
    for (const CMailAddress* address : recipients) {
        const std::string& to = address->address;
        if (!SendCommand("RCPT TO:<" + to + ">")) return false;
        // 251 "user not local; will forward" accepts the recipient as well.
        if (!ReadReply(250, 251)) {
            if (connected_)
                Refused(kErrorUnexpectedReply,
                        "Der Server hat den Empfänger '" + to + "' abgelehnt");
            return false;
        }
    }
    const std::string refused = "Der Server hat die Nachricht abgelehnt";
    if (!Command("DATA", 354, kErrorUnexpectedReply, refused)) return false;
    // The header ends with its empty line; the encoded body ends with a
    // line end, so ".\r\n" completes the end-of-data mark "\r\n.\r\n".
    std::string data = message.ComposeHeader() + DoubleLeadingDots(message.EncodedBody()) + ".\r\n";
    if (!SendData(data)) return false;
    if (!ReadCommandReply(250)) {
        if (connected_) Refused(kErrorUnexpectedReply, refused);
        return false;
    }
    if (log_) log_->Write("--CSMTPConnection::SendMessage\n");
    return true;
}

bool CSMTPConnection::SendData(const std::string& data) {
    if (log_) log_->Printf("  > (Nachricht, %zu Bytes)\n", data.size());
    const auto total = static_cast<unsigned>(data.size());
    for (std::size_t sent = 0; sent < data.size();) {
        std::size_t n = std::min(kDataChunk, data.size() - sent);
        SocketFailure failure;
        if (!socket_.SendAll(std::string_view(data).substr(sent, n), milliseconds(replyTimeoutMs_),
                             failure)) {
            Broken(failure);
            return false;
        }
        sent += n;
        if (!OnSendProgress(static_cast<unsigned>(sent), total)) {
            // Half a message cannot be taken back: the connection ends here.
            Broken({kErrorCancelled, "Das Senden wurde abgebrochen."});
            return false;
        }
    }
    return true;
}

bool CSMTPConnection::SendCommand(const std::string& command, const std::string& logText) {
    if (log_) log_->Printf("  > %s\n", logText.empty() ? command.c_str() : logText.c_str());
    SocketFailure failure;
    if (!socket_.SendAll(command + "\r\n", milliseconds(replyTimeoutMs_), failure)) {
        Broken(failure);
        return false;
    }
    return true;
}

bool CSMTPConnection::Command(const std::string& command, int expected, int mismatchError,
                              const std::string& failureText, const std::string& logText) {
    if (!SendCommand(command, logText)) return false;
    if (ReadCommandReply(expected)) return true;
    if (connected_) Refused(mismatchError, failureText);
    return false;
}

bool CSMTPConnection::ReadCommandReply(int expected) {
    return ReadReply(expected, 0);
}

bool CSMTPConnection::ReadReply(int expected, int alsoAccepted) {
    const milliseconds timeout(replyTimeoutMs_);
    auto deadline = Clock::now() + timeout;
    char chunk[4096];
    for (;;) {
        if (std::optional<SmtpReply> reply = replies_.TakeReply()) {
            LogReply(*reply);
            lastReplyCode_ = reply->code;
            lastReplyText_ = reply->LastLine();
            lastReply_ = std::move(*reply);
            if (lastReplyCode_ == expected || (alsoAccepted && lastReplyCode_ == alsoAccepted)) {
                return true;
            }
            Fail(kErrorNoExpectedReply, "Unerwartete Antwort des Servers: " + lastReplyText_);
            return false;
        }
        if (replies_.TooLong()) {
            lastReplyText_ = replies_.PendingText().substr(0, 256);
            Broken({kErrorReplyTooLong, "Die Antwort des Servers ist zu lang."});
            return false;
        }
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            lastReplyText_ = replies_.PendingText();
            Broken({kErrorTimeout, FormatText("Der Server hat nicht innerhalb von %s geantwortet.",
                                              SecondsText(replyTimeoutMs_).c_str())});
            return false;
        }
        SmtpSocket::WaitResult ready = socket_.WaitReadable(left);
        if (ready == SmtpSocket::WaitResult::kTimedOut) continue;
        long n =
            ready == SmtpSocket::WaitResult::kReadable ? socket_.Receive(chunk, sizeof chunk) : -1;
        if (n == SmtpSocket::kNothingYet) continue;
        if (n <= 0) {
            lastReplyText_ = replies_.PendingText();
            Broken({kErrorConnectionClosed, "Der Server hat die Verbindung unerwartet beendet."});
            return false;
        }
        replies_.Append(std::string_view(chunk, static_cast<std::size_t>(n)));
        // The time-out counts from the last data received.
        deadline = Clock::now() + timeout;
    }
}

void CSMTPConnection::Refused(int lastError, const std::string& what) {
    Fail(lastError, what + ": " + lastReplyText_);
}

void CSMTPConnection::Broken(const SocketFailure& failure) {
    connected_ = false;
    socket_.Close();
    replies_.Clear();
    Fail(failure.code, failure.text);
}

void CSMTPConnection::Fail(int lastError, const std::string& text) {
    lastError_ = lastError;
    errorText_ = text;
    if (log_) log_->Printf("**CSMTPConnection : %s (%d)\n", text.c_str(), lastError);
}

void CSMTPConnection::LogReply(const SmtpReply& reply) const {
    if (!log_) return;
    for (const std::string& line : reply.lines) log_->Printf("  < %s\n", line.c_str());
}
