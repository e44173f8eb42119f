// A blocking SMTP client for one server: connect and greet, send messages,
// say QUIT. Without credentials and security it speaks plain SMTP with
// HELO; with them it greets with EHLO, encrypts (STARTTLS or TLS from the
// start) and logs on with AUTH PLAIN or AUTH LOGIN.
//
//     CSMTPConnection smtp(&debugLog);
//     smtp.SetOptions({SmtpSecurity::kStartTls, "user", "secret", ""});
//     if (!smtp.Connect("mail.example.de", 587, "")) show(smtp.ErrorText());
//     else if (!smtp.SendMessage(message)) show(smtp.ErrorText());
//     smtp.Disconnect();
//
// After a failure LastError() holds the number the failure is known by and
// ErrorText() a German text for the user; LastReplyText() is the server's
// last reply line as it came.
#pragma once

#include <string>
#include <vector>

#include "mail_message.h"
#include "smtp_reply.h"
#include "smtp_socket.h"

class DebugLog;

enum class SmtpSecurity {
    kNone,      // plain SMTP
    kStartTls,  // plain connect, then STARTTLS before anything else
    kTls,       // TLS from the first byte (port 465)
};

struct SmtpOptions {
    SmtpSecurity security = SmtpSecurity::kNone;
    // With a user name the client logs on after EHLO (and encryption).
    std::string user;
    std::string password;
    // Certificates of further trusted authorities (PEM), besides the
    // system's; empty for none. OpenSSL's SSL_CERT_FILE works as well.
    std::string caFile;
};

class CSMTPConnection {
public:
    // Last-error values.
    static constexpr int kErrorTimeout = 10060;          // no reply in time
    static constexpr int kErrorNoExpectedReply = 10043;  // greeting, HELO, EHLO, STARTTLS
    static constexpr int kErrorUnexpectedReply = 22;  // MAIL, RCPT, DATA, end of data, QUIT, AUTH
    static constexpr int kErrorBadAddress = kMailErrorBadRecipient;                   // 13
    static constexpr int kErrorHostLookup = SmtpSocket::kErrorInvalidArgument;        // 10022
    static constexpr int kErrorReplyTooLong = SmtpSocket::kErrorMessageSize;          // 10040
    static constexpr int kErrorConnectionClosed = SmtpSocket::kErrorConnectionReset;  // 10054
    static constexpr int kErrorTls = SmtpSocket::kErrorTls;  // handshake, certificate, not offered
    static constexpr int kErrorCancelled = 10004;            // the progress hook said stop
    static constexpr int kErrorNotConnected = 10057;         // SendMessage without a connection

    explicit CSMTPConnection(const DebugLog* log = nullptr);
    // Disconnects (QUIT) when still connected.
    virtual ~CSMTPConnection();
    CSMTPConnection(const CSMTPConnection&) = delete;
    CSMTPConnection& operator=(const CSMTPConnection&) = delete;

    // Called while the message data is sent, with the bytes sent so far
    // and the whole count; returning false stops the send, which then fails.
    virtual bool OnSendProgress(unsigned sent, unsigned total);

    void SetOptions(const SmtpOptions& options) { options_ = options; }
    // The name sent with HELO or EHLO; "auto" (the default, exactly so
    // written) is this machine's host name.
    void SetHeloHostName(const std::string& name) { heloHostName_ = name; }
    // How long a reply may keep silent, counted from the last data received
    // (default 60 s); also the limit for sending and for the TLS handshake.
    void SetReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }
    // How long connecting may take (default 30 s).
    void SetConnectTimeout(int milliseconds) { connectTimeoutMs_ = milliseconds; }

    // Connects to host and port, reads the greeting (220) and greets,
    // encrypts and logs on as the options ask. bindAddress, when not empty,
    // is the local address to connect from.
    bool Connect(const std::string& host, int port, const std::string& bindAddress);
    // QUIT and 221 when connected; closes the socket in any case. False
    // when the server did not confirm or there was no connection.
    bool Disconnect();
    // MAIL FROM, RCPT TO for every To, Cc and Bcc recipient, DATA, the
    // message, end of data. The connection stays open either way.
    bool SendMessage(const CMailMessage& message);

    bool IsConnected() const { return connected_; }
    int LastError() const { return lastError_; }
    const std::string& ErrorText() const { return errorText_; }
    const std::string& LastReplyText() const { return lastReplyText_; }
    int LastReplyCode() const { return lastReplyCode_; }
    const std::string& HeloHostName() const { return heloHostName_; }

protected:
    // Reads one whole reply and succeeds when its code is expected. A
    // failure sets last error 10043.
    virtual bool ReadCommandReply(int expected);

private:
    // ReadCommandReply that also takes alsoAccepted, when that is not 0.
    bool ReadReply(int expected, int alsoAccepted);
    bool Greet(const std::string& host);
    bool Hello(const char* command);
    bool StartTls(const std::string& host);
    bool LogOn();
    bool SendCommand(const std::string& command, const std::string& logText = {});
    // Sends command and reads its reply; a reply other than expected sets
    // mismatchError and failureText with the reply.
    bool Command(const std::string& command, int expected, int mismatchError,
                 const std::string& failureText, const std::string& logText = {});
    bool SendData(const std::string& data);
    // A reply that was not the expected one: lastError and the text.
    void Refused(int lastError, const std::string& what);
    // The connection is of no more use: error, text, socket closed.
    void Broken(const SocketFailure& failure);
    void Fail(int lastError, const std::string& text);
    void LogReply(const SmtpReply& reply) const;

    const DebugLog* log_;
    SmtpOptions options_;
    SmtpSocket socket_;
    SmtpReplyBuffer replies_;
    std::string host_;
    bool connected_ = false;
    std::string lastReplyText_;
    std::string heloHostName_ = "auto";
    int replyTimeoutMs_ = 60000;
    int connectTimeoutMs_ = 30000;
    int lastReplyCode_ = 0;
    int lastError_ = 0;
    std::string errorText_;
    // What the server offered after EHLO, one keyword line each ("AUTH PLAIN LOGIN").
    std::vector<std::string> extensions_;
    SmtpReply lastReply_;
};
