#include "mail_message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using Pair = std::pair<std::string, std::string>;  // friendly name, address

std::vector<Pair> NamesAndAddresses(const CMailMessage& message, int type) {
    std::vector<Pair> pairs;
    for (const CMailAddress& a : message.Recipients(type))
        pairs.emplace_back(a.friendlyName, a.address);
    return pairs;
}

// Runs the test body with the process in zone, then puts the zone back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) : saved_(getenv("TZ") ? getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (saved_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", saved_.c_str(), 1);
        tzset();
    }

private:
    std::string saved_;
};

TEST(RecipientTextTest, PiecesAtCommasAndSemicolonsWithOrWithoutNames) {
    struct Case {
        const char* text;
        std::vector<Pair> found;
    } cases[] = {
        {"Anna Meier <anna@example.de>, bernd@example.de",
         {{"Anna Meier", "anna@example.de"}, {"", "bernd@example.de"}}},
        {" ; ,carla@example.de;; ", {{"", "carla@example.de"}}},
        {"<dora@example.de>", {{"", "dora@example.de"}}},
        {"  Emil  <  emil@example.de  > ignored", {{"Emil", "emil@example.de"}}},
        {"Leer <>, Nur Name", {{"", "Nur Name"}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        CMailMessage message;
        EXPECT_TRUE(message.AddRecipientsFromText(c.text, CMailMessage::kTo)) << c.text;
        EXPECT_EQ(NamesAndAddresses(message, CMailMessage::kTo), c.found) << c.text;
        EXPECT_EQ(message.LastError(), 0);
    }
}

TEST(RecipientTextTest, AnOpenAngleBracketSpoilsTheWholeText) {
    for (const char* text : {"a@example.de, Bad <b@example.de", "x> <y@example.de", "<"}) {
        CMailMessage message;
        message.AddRecipient(CMailAddress("kept@example.de"), CMailMessage::kCc);
        EXPECT_FALSE(message.AddRecipientsFromText(text, CMailMessage::kCc)) << text;
        EXPECT_EQ(message.LastError(), kMailErrorBadRecipient);
        EXPECT_EQ(NamesAndAddresses(message, CMailMessage::kCc),
                  (std::vector<Pair>{{"", "kept@example.de"}}));
    }
    CMailMessage message;
    EXPECT_EQ(message.AddRecipient(CMailAddress("a@b"), 3), -1);
    EXPECT_EQ(message.AddRecipient(CMailAddress("a@b"), CMailMessage::kBcc), 0);
    EXPECT_EQ(message.AddRecipient(CMailAddress("c@d"), CMailMessage::kBcc), 1);
    EXPECT_FALSE(message.AddRecipientsFromText("a@b", -1));
}

TEST(MailHeaderTest, LinesInTheirOrderWithBccNowhere) {
    ZoneScope zone("Europe/Berlin");
    CMailMessage message;
    message.from = CMailAddress("sender@example.de");
    message.replyTo = CMailAddress("sender@example.de");
    message.subject = "Treffen";
    message.AddRecipientsFromText("Anna <anna@example.de>,bernd@example.de", CMailMessage::kTo);
    message.AddRecipient(CMailAddress("carla@example.de", "Carla"), CMailMessage::kCc);
    message.AddRecipient(CMailAddress("secret@example.de"), CMailMessage::kBcc);
    message.AddTextBody("Hallo");
    message.SetDate(1719835200);
    EXPECT_EQ(message.ComposeHeader(),
              "From: sender@example.de\r\n"
              "To: Anna <anna@example.de>,bernd@example.de\r\n"
              "Cc: Carla <carla@example.de>\r\n"
              "Subject: Treffen\r\n"
              "Date: Mon, 01 Jul 2024 14:00:00 +0200\r\n"
              "X-Mailer: CSMTPConnection v2.17\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=iso-8859-1\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "Reply-To: sender@example.de\r\n"
              "\r\n");

    CMailMessage bare;
    bare.from = CMailAddress("s@example.de", "Jörg Müller");
    bare.AddRecipient(CMailAddress("t@example.de", "Meier, Hans"), CMailMessage::kTo);
    bare.AddTextBody("5 €");
    bare.SetDate(1705320000);
    EXPECT_EQ(bare.ComposeHeader(),
              "From: =?iso-8859-1?q?J=F6rg_M=FCller?= <s@example.de>\r\n"
              "To: \"Meier, Hans\" <t@example.de>\r\n"
              "Subject: \r\n"
              "Date: Mon, 15 Jan 2024 13:00:00 +0100\r\n"
              "X-Mailer: CSMTPConnection v2.17\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=windows-1252\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n");
}

TEST(MailHeaderTest, LongRecipientListsFoldAfterTheirCommas) {
    CMailMessage message;
    std::string joined;
    for (int i = 0; i < 12; ++i) {
        CMailAddress address("empfaenger" + std::to_string(i) + "@beispiel-firma.de",
                             i % 2 ? "Zoë Ärger" : "");
        message.AddRecipient(address, CMailMessage::kTo);
        if (i) joined += ",";
        joined +=
            (i % 2 ? "=?iso-8859-1?q?Zo=EB_=C4rger?= <" + address.address + ">" : address.address);
    }
    std::string header = message.ComposeHeader();
    std::string to = header.substr(header.find("To:"));
    to = to.substr(0, to.find("\r\nSubject:"));
    std::size_t lines = 0;
    for (std::size_t start = 0; start < to.size(); ++lines) {
        std::size_t end = std::min(to.find("\r\n", start), to.size());
        EXPECT_LE(end - start, 78u) << to.substr(start, end - start);
        start = end + 2;
    }
    EXPECT_GT(lines, 4u);
    // Unfolded, it is the display forms joined by ",".
    std::string unfolded;
    for (std::size_t i = 0; i < to.size(); ++i) {
        if (to.compare(i, 3, "\r\n ") == 0) {
            i += 2;
            if (unfolded.back() != ',') unfolded += ' ';
        } else {
            unfolded += to[i];
        }
    }
    EXPECT_EQ(unfolded, "To: " + joined) << to;
}

TEST(MailBodyTest, TextIsCarriedInItsCharsetQuotedPrintable) {
    CMailMessage message;
    message.AddTextBody("Grüße\r.Punkt\n\nEnde\r\n");
    EXPECT_EQ(message.body.contentType, "text/plain");
    EXPECT_EQ(message.body.charset, "iso-8859-1");
    EXPECT_EQ(message.body.text, "Grüße\r\n.Punkt\r\n\r\nEnde\r\n");
    EXPECT_EQ(message.EncodedBody(), "Gr=FC=DFe\r\n.Punkt\r\n\r\nEnde\r\n");

    message.AddTextBody("Preis: 5 €");
    EXPECT_EQ(message.body.charset, "windows-1252");
    EXPECT_EQ(message.EncodedBody(), "Preis: 5 =80=\r\n");
    EXPECT_EQ(CMailAddress("a@b", "A").DisplayForm(), "A <a@b>");
    EXPECT_EQ(CMailAddress("a@b").DisplayForm(), "a@b");
}

}  // namespace
