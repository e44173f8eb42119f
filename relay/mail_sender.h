// relay's own small SMTP client: HELO, one message in plain text with a
// quoted-printable body (see mail_body.h), QUIT.
//
//     CMailSender sender;
//     if (sender.Connect(host, port) != 1) ...
//     if (sender.SendMail(from, to, cc, subject, text) != 1) error = sender.ErrorText();
//     sender.Close();
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "mail_socket.h"

class CMailSender : public CMailSocket {
public:
    static constexpr size_t kExchangeSize = 512;
    // A reply is waited for 29 times one second.
    static constexpr std::chrono::milliseconds kReplyTimeout{29000};

    CMailSender() { SetWaitLimit(kReplyTimeout); }

    // Connects, takes the greeting and says HELO with this host's name.
    // 1 on success, a negative number on failure.
    int Connect(const char* host, const char* port);
    // Sends one message. to and cc are lists separated by ","; each element
    // is used as it is, blanks included; an empty cc means none. The body
    // is UTF-8 text with LF line ends. 1 when the server accepted it, a
    // negative number otherwise (-1 for a negative reply or none).
    int SendMail(const std::string& from, const std::string& to, const std::string& cc,
                 const std::string& subject, std::string_view body);
    // Sends "QUIT" and reads the reply.
    int Quit();
    // Quit (unless the dialogue is broken: no answer, the connection
    // closed or a send failed), then closes the socket.
    void Close() override;

    // The last reply line received, or the last command sent when no reply
    // came, without its line end; after a failed send the socket error.
    std::string ErrorText() const;

    // The longest wait for a reply (and for the connect and a send).
    void SetReplyTimeout(std::chrono::milliseconds timeout);

private:
    // Sends text through the exchange; a failure leaves the socket error
    // and what was being sent there.
    int Send(const std::string& text, const std::string& what);
    int SendLine(const std::string& text);
    int Command(const std::string& text);
    int ReadReply();
    bool ReadRestOfLine();
    int Broken(int result);

    std::string exchange_;
    std::chrono::milliseconds replyTimeout_ = kReplyTimeout;
    bool answering_ = true;
};
