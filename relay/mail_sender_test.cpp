#include "mail_sender.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "scripted_smtp_peer.h"

namespace {

using namespace std::chrono_literals;
using Peer = ScriptedSmtpPeer;

std::string Hello() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return std::string("HELO ") + name + "\r\n";
}

const std::string kHeaderEnd =
    "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n";

class MailSenderTest : public testing::Test {
protected:
    // Sends one mail to a server that answers as scripted; the result of
    // SendMail, or of Connect when that failed.
    int SendOne(Peer& peer, const std::string& to, const std::string& cc,
                const std::string& subject, const std::string& body) {
        sender_.SetReplyTimeout(reply_);
        int result = sender_.Connect("127.0.0.1", peer.PortText().c_str());
        if (result == 1) result = sender_.SendMail("absender@example.org", to, cc, subject, body);
        error_ = sender_.ErrorText();
        sender_.Close();
        return result;
    }

    CMailSender sender_;
    std::chrono::milliseconds reply_ = 2s;
    std::string error_;
};

TEST_F(MailSenderTest, TheMessageGoesOutLineByLineAsTheServerTakesIt) {
    Peer peer;
    ASSERT_EQ(SendOne(peer, "r1, r2", "c1", "Betreff", "Preis: 5.00 €="), 1);
    EXPECT_EQ(peer.Received(),
              Hello() +
                  "MAIL FROM: <absender@example.org>\r\n"
                  "RCPT TO: <r1>\r\nRCPT TO: < r2>\r\nRCPT TO: <c1>\r\nDATA\r\n"
                  "To: r1\r\nTo:  r2\r\nCc: c1\r\nFrom: <absender@example.org>\r\n"
                  "Subject: Betreff\r\nMIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=windows-1252\r\n"
                  "Content-Transfer-Encoding: quoted-printable\r\n"
                  "Content-Length: 25\r\n\r\nPreis: 5=2E00 =80=3D=\r\n.\r\nQUIT\r\n");
    EXPECT_EQ(error_, "250 accepted");
}

TEST_F(MailSenderTest, NoSubjectNoBodyAndEmptyListElementsWriteNothing) {
    Peer peer;
    ASSERT_EQ(SendOne(peer, "r1,", ",", "", ""), 1);
    EXPECT_EQ(peer.Received(), Hello() +
                                   "MAIL FROM: <absender@example.org>\r\nRCPT TO: <r1>\r\n"
                                   "DATA\r\nTo: r1\r\nFrom: <absender@example.org>\r\n" +
                                   kHeaderEnd + "\r\n.\r\nQUIT\r\n");
}

TEST_F(MailSenderTest, ASubjectWithUmlautsIsAnEncodedWord) {
    Peer peer;
    ASSERT_EQ(SendOne(peer, "r", "", "Grüße von Jörg", "x\n"), 1);
    std::string received = peer.Received();
    EXPECT_NE(received.find("\r\nSubject: =?iso-8859-1?q?Gr=FC=DFe_von_J=F6rg?=\r\n"),
              std::string::npos)
        << received;
}

TEST_F(MailSenderTest, RepliesUpToThreePassAndANegativeOneEndsTheDialogue) {
    Peer peer({{"RCPT", {"250 ok\r\n", "550 no such user\r\n"}}});
    EXPECT_EQ(SendOne(peer, "r1,r2,r3", "", "", "x"), -1);
    EXPECT_EQ(error_, "550 no such user");
    // No reset, no further command: the caller closes, with QUIT.
    EXPECT_EQ(peer.Received(), Hello() +
                                   "MAIL FROM: <absender@example.org>\r\n"
                                   "RCPT TO: <r1>\r\nRCPT TO: <r2>\r\nQUIT\r\n");
}

TEST_F(MailSenderTest, AReplyOfSeveralLinesIsReadWholeAndJudgedByItsLast) {
    // The greeting and HELO come in several lines; MAIL's own reply must
    // answer MAIL.
    Peer refused({{"GREETING", {"220-welcome\r\n220-to the\r\n220 test\r\n"}},
                  {"HELO", {"250-hello\r\n250-SIZE 1000\r\n250 HELP\r\n"}},
                  {"MAIL", {"553 sender refused\r\n"}}});
    EXPECT_EQ(SendOne(refused, "r", "", "", "x"), -1);
    EXPECT_EQ(error_, "553 sender refused");

    Peer lastCounts({{"RCPT", {"250-fine so far\r\n550 but no\r\n"}}});
    EXPECT_EQ(SendOne(lastCounts, "r", "", "", "x"), -1);
    EXPECT_EQ(error_, "550 but no");

    std::string longLine = "250-" + std::string(700, 'x') + "\r\n";
    Peer overlong({{"DATA", {longLine + "354 go on\r\n"}}});
    EXPECT_EQ(SendOne(overlong, "r", "", "", "x"), 1);
    EXPECT_NE(overlong.Received().find("\r\n.\r\nQUIT\r\n"), std::string::npos);
}

TEST_F(MailSenderTest, OnlyRepliesBeginningWithOneToThreeArePositive) {
    for (const char* reply : {"\r\n", "050 odd\r\n", "421 closing\r\n", "hello\r\n"}) {
        Peer peer({{"HELO", {reply}}});
        EXPECT_EQ(SendOne(peer, "r", "", "", "x"), -1) << reply;
    }
    Peer refused({{"GREETING", {"554 no service\r\n"}}});
    EXPECT_EQ(SendOne(refused, "r", "", "", "x"), -1);
    EXPECT_EQ(error_, "554 no service");
    // No HELO after a refused greeting: the replies would lag behind.
    EXPECT_EQ(refused.Received(), "QUIT\r\n");
}

TEST_F(MailSenderTest, AClosedConnectionOrASilentServerIsAFailure) {
    Peer closing({{"RCPT", {Peer::kClose}}});
    EXPECT_EQ(SendOne(closing, "r", "", "", "x"), -1);
    EXPECT_EQ(error_, "RCPT TO: <r>");

    reply_ = 300ms;
    Peer silent({{"END", {Peer::kSilent}}});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendOne(silent, "r", "", "", "x"), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(error_, ".");
    // Nothing more is said to a server that stopped answering.
    std::string received = silent.Received();
    EXPECT_EQ(received.substr(received.size() - 5), "\r\n.\r\n");
}

TEST_F(MailSenderTest, NoSenderOrNoRecipientSendsNothing) {
    Peer peer;
    sender_.SetReplyTimeout(2s);
    ASSERT_EQ(sender_.Connect("127.0.0.1", peer.PortText().c_str()), 1);
    EXPECT_EQ(sender_.SendMail("", "r", "", "s", "x"), -1);
    EXPECT_EQ(sender_.SendMail("a@b", "", "c", "s", "x"), -1);
    EXPECT_EQ(sender_.SendMail("a@b", ",", "c", "s", "x"), -1);
    sender_.Close();
    EXPECT_EQ(peer.Received(), Hello() + "QUIT\r\n");
}

TEST_F(MailSenderTest, LineEndsInAddressesCannotAddCommands) {
    Peer peer;
    ASSERT_EQ(SendOne(peer, "r\r\nRCPT TO: <x>", "", "s\r\nBcc: y", "x"), 1);
    std::string received = peer.Received();
    EXPECT_NE(received.find("RCPT TO: <r  RCPT TO: <x>>\r\n"), std::string::npos) << received;
    EXPECT_NE(received.find("Subject: s  Bcc: y\r\n"), std::string::npos) << received;
}

TEST(MailSocket, ConnectFailuresAreWindowsSocketErrors) {
    CMailSocket socket;
    int port;
    {
        Peer gone;
        port = gone.Port();
    }
    EXPECT_EQ(socket.ConnectSocket("127.0.0.1", std::to_string(port).c_str()), -10061);
    // A host that begins with a digit is an address, never a name.
    EXPECT_EQ(socket.ConnectSocket("1nosuchhost.example", "25"), -10022);
    EXPECT_EQ(socket.ConnectSocket("127.0.0.1", "99999"), -10022);
    EXPECT_EQ(socket.ConnectSocket("127.0.0.1", "no-such-service"), -10022);
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_EQ(socket.WaitAny(0, 0), 0);
    char buf[8];
    EXPECT_EQ(socket.ReadLine(buf, sizeof buf), -10057);
}

// A listener whose queue is full drops further connection requests: the
// connect waits no longer than the wait limit.
TEST(MailSocket, AConnectThatGetsNoAnswerTimesOut) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::string port = std::to_string(ntohs(address.sin_port));
    std::vector<std::unique_ptr<CMailSocket>> queued;
    int result = 0;
    auto start = std::chrono::steady_clock::now();
    while (result >= 0 && queued.size() < 8) {
        queued.push_back(std::make_unique<CMailSocket>());
        queued.back()->SetWaitLimit(300ms);
        start = std::chrono::steady_clock::now();
        result = queued.back()->ConnectSocket("127.0.0.1", port.c_str());
    }
    EXPECT_EQ(result, -10060);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 3s);
    close(listener);
}

TEST(MailSocket, PeekLeavesTheBytesThatReceiveTakes) {
    Peer peer({{"GREETING", {"220 ready\r\n"}}});
    CMailSocket socket;
    ASSERT_GE(socket.ConnectSocket("127.0.0.1", peer.PortText().c_str()), 0);
    ASSERT_EQ(socket.WaitReadable(5, 0), 1);
    EXPECT_EQ(socket.WaitError(0, 0), 0);
    EXPECT_EQ(socket.WaitWritable(0, 0), 1);
    char buf[32];
    long n = socket.Peek(buf, sizeof buf);
    ASSERT_EQ(std::string(buf, n), "220 ready\r\n");
    char line[4];
    ASSERT_EQ(socket.ReadLine(line, sizeof line), 4);
    EXPECT_EQ(std::string(line, 4), "220 ");
    n = socket.Receive(buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), "ready\r\n");
    EXPECT_EQ(socket.Receive(buf, sizeof buf), 0);
}

}  // namespace
