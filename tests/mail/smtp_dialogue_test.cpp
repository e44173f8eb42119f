// The plain SMTP dialogue against aiosmtpd: what arrives, as Python's
// email package reads it, and how replies that are long, slow, missing or
// refusing are taken.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "mail_encoding.h"
#include "mail_test_support.h"
#include "smtp_connection.h"

namespace {

using namespace std::chrono_literals;
using mailtest::MailRecord;
using mailtest::SmtpTestServer;
using DialogueClock = std::chrono::steady_clock;

std::string ThisHostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// A message as velo makes it: sender as From and Reply-To, recipients from text.
CMailMessage NoteMail(const std::string& to, const std::string& subject, const std::string& text) {
    CMailMessage message;
    message.from = CMailAddress("absender@example.de");
    message.replyTo = message.from;
    message.AddRecipientsFromText(to, CMailMessage::kTo);
    message.subject = subject;
    message.AddTextBody(text);
    return message;
}

// Records the progress calls of the data.
class CountingConnection : public CSMTPConnection {
public:
    bool OnSendProgress(unsigned sent, unsigned total) override {
        calls.emplace_back(sent, total);
        return true;
    }
    std::vector<std::pair<unsigned, unsigned>> calls;
};

TEST(SmtpDialogueTest, ANoteArrivesAsWrittenWithItsRecipients) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::string longLine;
    while (longLine.size() < 300) longLine += "Übermorgen = später; ";
    const std::string text =
        "Hallo Anna,\r\n.Punkt am Anfang\n.\rZeile mit Blanks am Ende   \n\t\n" + longLine +
        "\n..zwei Punkte\r\nGrüße, Jörg Ω 5 € – „gut“";
    CMailMessage message =
        NoteMail("Anna Müller <anna@example.de>, bernd@example.de", "Grüße aus Köln", text);
    message.AddRecipientsFromText("carla@example.de", CMailMessage::kCc);
    message.AddRecipient(CMailAddress("geheim@example.de"), CMailMessage::kBcc);

    CountingConnection smtp;
    ASSERT_TRUE(smtp.Connect("127.0.0.1", server.Port(), "")) << smtp.ErrorText();
    EXPECT_EQ(smtp.HeloHostName(), ThisHostName());
    ASSERT_TRUE(smtp.SendMessage(message)) << smtp.ErrorText();
    EXPECT_EQ(smtp.LastReplyText(), "250 Message accepted for delivery");
    EXPECT_TRUE(smtp.Disconnect());
    EXPECT_FALSE(smtp.Disconnect());
    ASSERT_FALSE(smtp.calls.empty());
    EXPECT_EQ(smtp.calls.back().first, smtp.calls.back().second);

    std::vector<MailRecord> mails = server.Messages(1);
    ASSERT_EQ(mails.size(), 1u);
    const MailRecord& mail = mails[0];
    EXPECT_EQ(mail.Text("helo"), ThisHostName());
    EXPECT_EQ(mail.Text("mail_from"), "absender@example.de");
    EXPECT_EQ(mail.List("rcpt_tos"),
              (std::vector<std::string>{"anna@example.de", "bernd@example.de", "carla@example.de",
                                        "geheim@example.de"}));
    EXPECT_EQ(mail.List("to"),
              (std::vector<std::string>{"Anna Müller|anna@example.de", "|bernd@example.de"}));
    EXPECT_EQ(mail.List("cc"), (std::vector<std::string>{"|carla@example.de"}));
    EXPECT_EQ(mail.Text("data").find("geheim"), std::string::npos);
    EXPECT_EQ(mail.Text("subject"), "Grüße aus Köln");
    // "€", "–" and „“ make it Windows-1252; "Ω" is in neither character set.
    EXPECT_EQ(mail.Text("charset"), "windows-1252");
    std::string expected = text;
    expected.replace(expected.find("Ω"), std::string("Ω").size(), "?");
    // Python keeps the CRLF line ends of the wire; every kind became one.
    EXPECT_EQ(mail.Text("body"), UniformLineEnds(expected));
    EXPECT_TRUE(mail.List("defects").empty());
    for (const std::string& line : mail.List("header_lines")) EXPECT_LE(line.size(), 78u) << line;
    std::string data = mail.Text("data");
    EXPECT_EQ(data.find("\\x"), std::string::npos) << "only 7-bit bytes on the wire";
    for (std::size_t start = data.find("\r\n\r\n") + 4; start < data.size();) {
        std::size_t end = data.find("\r\n", start);
        EXPECT_LE(end - start, 76u) << data.substr(start, end - start);
        start = end + 2;
    }
}

TEST(SmtpDialogueTest, SubjectsAndHeloNamesOnOneConnection) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::string longSubject;
    while (longSubject.size() < 300) longSubject += "Größenänderung über Nacht ";
    const std::vector<std::string> subjects = {"Grüße", longSubject, "Plain ASCII subject", ""};
    for (const char* helo : {"auto", "AUTO"}) {
        CSMTPConnection smtp;
        smtp.SetHeloHostName(helo);
        ASSERT_TRUE(smtp.Connect("localhost", server.Port(), "")) << smtp.ErrorText();
        for (const std::string& subject : subjects) {
            ASSERT_TRUE(smtp.SendMessage(NoteMail("a@example.de", subject, "x")))
                << smtp.ErrorText();
        }
        EXPECT_TRUE(smtp.Disconnect());
    }
    std::vector<MailRecord> mails = server.Messages(2 * subjects.size());
    ASSERT_EQ(mails.size(), 2 * subjects.size());
    for (std::size_t i = 0; i < mails.size(); ++i) {
        EXPECT_EQ(mails[i].Text("helo"), i < subjects.size() ? ThisHostName() : "AUTO");
        EXPECT_EQ(mails[i].Text("subject"), subjects[i % subjects.size()]);
        EXPECT_EQ(mails[i].Text("body"), "x");
        for (const std::string& line : mails[i].List("header_lines")) {
            EXPECT_LE(line.size(), 78u) << line;
        }
    }
    EXPECT_NE(mails[0].Text("data").find("Subject: =?iso-8859-1?q?Gr=FC=DFe?=\r\n"),
              std::string::npos);
    EXPECT_NE(mails[2].Text("data").find("Subject: Plain ASCII subject\r\n"), std::string::npos);
}

TEST(SmtpDialogueTest, MultiLineRepliesAreReadWholeAndNeverLeak) {
    SmtpTestServer server({"--greeting-lines", "3", "--before", "HELO=250-first|250-second",
                           "--before", "MAIL=250-sender line one|250-sender line two", "--before",
                           "RCPT=250-recipient", "--before", "DATA=354-go on"});
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    CSMTPConnection smtp;
    ASSERT_TRUE(smtp.Connect("127.0.0.1", server.Port(), "")) << smtp.ErrorText();
    EXPECT_EQ(smtp.LastReplyText(), "250 telvora-test");
    ASSERT_TRUE(smtp.SendMessage(NoteMail("a@example.de, b@example.de", "s", "t")))
        << smtp.ErrorText();
    EXPECT_EQ(smtp.LastReplyText(), "250 Message accepted for delivery");
    EXPECT_TRUE(smtp.Disconnect());
    EXPECT_EQ(server.Messages(1).size(), 1u);
}

TEST(SmtpDialogueTest, SilenceTimesOutButTrickledRepliesKeepTheReadAlive) {
    SmtpTestServer silent({"--silent", "MAIL"});
    SmtpTestServer slow({"--trickle", "MAIL=2.6", "--trickle", "RCPT=1"});
    ASSERT_TRUE(silent.Started() && slow.Started()) << silent.ErrorOutput() << slow.ErrorOutput();

    CSMTPConnection smtp;
    smtp.SetReplyTimeout(1500);
    ASSERT_TRUE(smtp.Connect("127.0.0.1", silent.Port(), "")) << smtp.ErrorText();
    auto start = DialogueClock::now();
    EXPECT_FALSE(smtp.SendMessage(NoteMail("a@example.de", "s", "t")));
    auto waited = DialogueClock::now() - start;
    EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorTimeout);
    EXPECT_EQ(smtp.ErrorText(), "Der Server hat nicht innerhalb von 1,5 Sekunden geantwortet.");
    EXPECT_GE(waited, 1400ms);
    EXPECT_LT(waited, 5s);
    // Nothing more to wait for: no QUIT goes into a dead dialogue.
    start = DialogueClock::now();
    EXPECT_FALSE(smtp.IsConnected());
    EXPECT_FALSE(smtp.Disconnect());
    EXPECT_LT(DialogueClock::now() - start, 500ms);

    ASSERT_TRUE(smtp.Connect("127.0.0.1", slow.Port(), "")) << smtp.ErrorText();
    start = DialogueClock::now();
    EXPECT_TRUE(smtp.SendMessage(NoteMail("a@example.de", "s", "t"))) << smtp.ErrorText();
    EXPECT_GE(DialogueClock::now() - start, 2500ms);
    EXPECT_TRUE(smtp.Disconnect());
    EXPECT_EQ(slow.Messages(1).size(), 1u);
}

TEST(SmtpDialogueTest, RefusalsFailWithTheServersText) {
    struct Case {
        std::vector<std::string> options;
        std::string to;
        bool connects;
        int lastError;
        std::string errorText;
    } cases[] = {
        {{"--reply", "GREETING=554-busy|554 Zu viele Verbindungen"},
         "a@example.de",
         false,
         CSMTPConnection::kErrorNoExpectedReply,
         "Der Server hat die Verbindung abgelehnt: 554 Zu viele Verbindungen"},
        {{"--reply", "HELO=501 Syntax: HELO hostname"},
         "a@example.de",
         false,
         CSMTPConnection::kErrorNoExpectedReply,
         "Der Server hat die Begrüßung (HELO) abgelehnt: 501 Syntax: HELO hostname"},
        {{"--reply", "RCPT=550 5.1.1 no such user"},
         "x@example.de",
         true,
         CSMTPConnection::kErrorUnexpectedReply,
         "Der Server hat den Empfänger 'x@example.de' abgelehnt: 550 5.1.1 no such user"},
        // "<" without ">": no recipient at all, and the server refuses DATA.
        {{},
         "Anna <anna@example.de",
         true,
         CSMTPConnection::kErrorUnexpectedReply,
         "Der Server hat die Nachricht abgelehnt: 503 Error: need RCPT command"},
        {{"--reply", "END=552 5.3.4 Message too big"},
         "a@example.de",
         true,
         CSMTPConnection::kErrorUnexpectedReply,
         "Der Server hat die Nachricht abgelehnt: 552 5.3.4 Message too big"},
        {{"--close", "END"},
         "a@example.de",
         true,
         CSMTPConnection::kErrorConnectionClosed,
         "Der Server hat die Verbindung unerwartet beendet."},
        {{"--close", "RCPT"},
         "a@example.de",
         true,
         CSMTPConnection::kErrorConnectionClosed,
         "Der Server hat die Verbindung unerwartet beendet."},
        {{},
         "bad address@example.de",
         true,
         CSMTPConnection::kErrorBadAddress,
         "Ungültige E-Mail-Adresse: 'bad address@example.de'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errorText);
        SmtpTestServer server(c.options);
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        CSMTPConnection smtp;
        bool connected = smtp.Connect("127.0.0.1", server.Port(), "");
        ASSERT_EQ(connected, c.connects) << smtp.ErrorText();
        if (connected) {
            EXPECT_FALSE(smtp.SendMessage(NoteMail(c.to, "s", "t")));
        }
        EXPECT_EQ(smtp.LastError(), c.lastError);
        EXPECT_EQ(smtp.ErrorText(), c.errorText);
        smtp.Disconnect();
    }
}

// Stops the send at the first progress call.
class CancellingConnection : public CSMTPConnection {
public:
    bool OnSendProgress(unsigned, unsigned) override { return false; }
};

TEST(SmtpDialogueTest, AStoppedSendEndsTheConnection) {
    SmtpTestServer server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    CancellingConnection smtp;
    ASSERT_TRUE(smtp.Connect("127.0.0.1", server.Port(), "127.0.0.1")) << smtp.ErrorText();
    EXPECT_FALSE(smtp.SendMessage(NoteMail("a@example.de", "s", std::string(100000, 'x'))));
    EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorCancelled);
    EXPECT_EQ(smtp.ErrorText(), "Das Senden wurde abgebrochen.");
    EXPECT_FALSE(smtp.IsConnected());
}

// A socket listening on a free loopback port; its port in port.
int LoopbackListener(int backlog, int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, backlog) != 0) {
        close(fd);
        return -1;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}

TEST(SmtpDialogueTest, ConnectFailuresSayWhy) {
    // A port that was listened on a moment ago has nobody listening now.
    int port = 0;
    close(LoopbackListener(1, port));
    CSMTPConnection smtp;
    EXPECT_FALSE(smtp.Connect("127.0.0.1", port, ""));
    EXPECT_EQ(smtp.LastError(), 10061);
    EXPECT_EQ(smtp.ErrorText(), "Der Server '127.0.0.1' nimmt auf Port " + std::to_string(port) +
                                    " keine Verbindung an.");

    // A server whose queue is full does not answer a connect at all.
    int full = LoopbackListener(0, port);
    ASSERT_GE(full, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    std::vector<int> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(waiting.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    smtp.SetConnectTimeout(400);
    auto start = DialogueClock::now();
    EXPECT_FALSE(smtp.Connect("127.0.0.1", port, ""));
    EXPECT_LT(DialogueClock::now() - start, 3s);
    EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorTimeout);
    EXPECT_EQ(
        smtp.ErrorText(),
        "Der Server '127.0.0.1' antwortet nicht (Zeitüberschreitung beim Verbindungsaufbau).");
    for (int fd : waiting) close(fd);
    close(full);

    EXPECT_FALSE(smtp.Connect("", 25, ""));
    EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorHostLookup);
    EXPECT_EQ(smtp.ErrorText(), "Der Servername '' ist unbekannt.");
    EXPECT_FALSE(smtp.SendMessage(NoteMail("a@example.de", "s", "t")));
    EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorNotConnected);
}

TEST(SmtpSocketTest, WritingToAClosedConnectionFailsWithoutSigpipe) {
    int port = 0;
    int listener = LoopbackListener(1, port);
    ASSERT_GE(listener, 0);
    SmtpSocket socket;
    SocketFailure failure;
    ASSERT_TRUE(socket.Connect("127.0.0.1", port, "", 2s, failure)) << failure.text;
    close(accept(listener, nullptr, nullptr));
    close(listener);
    const std::string block(64 * 1024, 'x');
    bool sent = true;
    for (int i = 0; i < 100 && sent; ++i) sent = socket.SendAll(block, 2s, failure);
    EXPECT_FALSE(sent);
    EXPECT_EQ(failure.code, SmtpSocket::kErrorConnectionReset);
}

}  // namespace
