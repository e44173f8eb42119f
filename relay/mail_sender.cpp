#include "mail_sender.h"

#include <unistd.h>

#include <cctype>
#include <vector>

#include "format.h"
#include "mail_body.h"
#include "mail_encoding.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The elements of a list separated by ",", each as it is; empty ones (a
// "," at the end) name nobody and are left out.
std::vector<std::string> ListElements(const std::string& list) {
    std::vector<std::string> elements;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) elements.push_back(SingleLineValue(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return elements;
}

std::string LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "localhost";
    return name;
}

// "250-..." is a line of a reply that goes on.
bool GoesOn(const std::string& line) {
    return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == '-';
}

}  // namespace

void CMailSender::SetReplyTimeout(milliseconds timeout) {
    replyTimeout_ = timeout;
    SetWaitLimit(timeout);
}

int CMailSender::Broken(int result) {
    answering_ = false;
    return result;
}

int CMailSender::SendLine(const std::string& text) {
    return Send(text, text.substr(0, text.find("\r\n")));
}

int CMailSender::Send(const std::string& text, const std::string& what) {
    exchange_ = text;
    long sent = SendAll(text.data(), text.size());
    if (sent >= 0) return 1;
    exchange_ = FormatText("Fehler %ld beim Senden: %s", -sent, what.c_str());
    return Broken(static_cast<int>(sent));
}

int CMailSender::Command(const std::string& text) {
    int sent = SendLine(text);
    return sent == 1 ? ReadReply() : sent;
}

bool CMailSender::ReadRestOfLine() {
    char rest[kExchangeSize];
    for (;;) {
        long n = ReadLine(rest, sizeof rest);
        if (n <= 0) return false;
        if (rest[n - 1] == m_lineEnd) return true;
    }
}

// Reads a whole reply, its continuation lines included, and judges it by
// its last line: positive when that begins with "1", "2" or "3".
int CMailSender::ReadReply() {
    auto deadline = Clock::now() + replyTimeout_;
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (!IsConnected() || left.count() <= 0) return Broken(-1);
        if (WaitAny(0, static_cast<long>(left.count()) * 1000) == 0) return Broken(-1);
        char line[kExchangeSize];
        SetWaitLimit(left);
        long n = ReadLine(line, sizeof line - 1);
        bool whole = n > 0 && (line[n - 1] == m_lineEnd || ReadRestOfLine());
        SetWaitLimit(replyTimeout_);
        if (n < 0) return Broken(static_cast<int>(n));
        // The server closed the connection instead of answering.
        if (n == 0 || !whole) return Broken(-1);
        exchange_.assign(line, static_cast<size_t>(n));
        if (GoesOn(exchange_)) continue;
        return exchange_[0] >= '1' && exchange_[0] <= '3' ? 1 : -1;
    }
}

int CMailSender::Connect(const char* host, const char* port) {
    answering_ = true;
    exchange_.clear();
    int socket = ConnectSocket(host, port);
    if (socket < 0) return socket;
    // Without the greeting every later reply would answer the command
    // before it.
    int greeting = ReadReply();
    if (greeting != 1) return greeting;
    return Command("HELO " + LocalHostName() + "\r\n");
}

int CMailSender::SendMail(const std::string& from, const std::string& to, const std::string& cc,
                          const std::string& subject, std::string_view body) {
    std::vector<std::string> recipients = ListElements(to), copies = ListElements(cc);
    std::string sender = SingleLineValue(from);
    if (sender.empty() || recipients.empty()) return -1;
    int result = Command("MAIL FROM: <" + sender + ">\r\n");
    for (const auto* list : {&recipients, &copies}) {
        for (const std::string& r : *list) {
            if (result == 1) result = Command("RCPT TO: <" + r + ">\r\n");
        }
    }
    if (result == 1) result = Command("DATA\r\n");
    if (result != 1) return result;

    std::vector<std::string> header;
    for (const std::string& r : recipients) header.push_back("To: " + r + "\r\n");
    for (const std::string& c : copies) header.push_back("Cc: " + c + "\r\n");
    header.push_back("From: <" + sender + ">\r\n");
    if (!subject.empty()) header.push_back(UnstructuredHeader("Subject", subject));
    header.push_back("MIME-Version: 1.0\r\n");
    MailBody encoded;
    if (!body.empty()) encoded = EncodeMailBody(body);
    header.push_back("Content-Type: text/plain; charset=" +
                     (body.empty() ? std::string("iso-8859-1") : encoded.charset) +
                     "\r\nContent-Transfer-Encoding: quoted-printable\r\n");
    if (!body.empty()) {
        header.push_back(FormatText("Content-Length: %zu\r\n", encoded.ContentLength()));
        header.push_back("\r\n");
    }
    for (const std::string& line : header) {
        if (int sent = SendLine(line); sent != 1) return sent;
    }
    if (!body.empty()) {
        if (int sent = Send(encoded.Wire(), "Nachrichtentext"); sent != 1) return sent;
    }
    return Command("\r\n.\r\n");
}

int CMailSender::Quit() {
    return Command("QUIT\r\n");
}

void CMailSender::Close() {
    if (IsConnected() && answering_) Quit();
    CMailSocket::Close();
}

std::string CMailSender::ErrorText() const {
    size_t begin = exchange_.find_first_not_of("\r\n");
    if (begin == std::string::npos) return "";
    size_t end = exchange_.find_last_not_of("\r\n");
    return exchange_.substr(begin, end - begin + 1);
}
