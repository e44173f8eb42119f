// What the mail sender reads of the e-mail server profile and how it
// writes the recipient; sending itself is tested against a real SMTP
// server in tests/mail.
#include "mail_sender.h"

#include <gtest/gtest.h>

#include "msgbox_recorder.h"
#include "test_dir.h"

namespace {

TEST(MailSender, TheServerFieldGivesHostAndPortTwentyFiveWithoutOne) {
    std::string host;
    int port = 0;
    MailSender::SplitServer("mail.example.de", host, port);
    EXPECT_EQ(host, "mail.example.de");
    EXPECT_EQ(port, 25);
    MailSender::SplitServer("mail.example.de:587", host, port);
    EXPECT_EQ(host, "mail.example.de");
    EXPECT_EQ(port, 587);
}

TEST(MailSender, AnUnknownOrMissingNameGivesTheBareAddress) {
    EXPECT_EQ(MailSender::RecipientText("Bernd Berg", "b@example.org"), "Bernd Berg <b@example.org>");
    EXPECT_EQ(MailSender::RecipientText("Unbekannt", "b@example.org"), "b@example.org");
    EXPECT_EQ(MailSender::RecipientText("", "b@example.org"), "b@example.org");
}

TEST(MailSender, TheProfileNamedByEmailServerWithItsAccount) {
    TestDir dir;
    MessageBoxRecorder boxes;
    dir.Put("Telvora.cfg",
            "[EmailServer]\nprofile=7\n[RelayProfiles]\nItems=2\n"
            "item-001=2|1|Andere|other.example||||Heim|19\n"
            "item-002=7|1|Büro|smtp.example.de:465|anna@example.de|||T-Online|17\n"
            "[EmailAccount_7]\nsecurity=2\nuser=anna\npassword=geheim\n");
    SettingsFile settings(dir.File("Telvora.cfg"));
    MailSender sender(settings);
    auto profile = sender.ServerProfile();
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->host, "smtp.example.de");
    EXPECT_EQ(profile->port, 465);
    EXPECT_EQ(profile->sender, "anna@example.de");
    EXPECT_EQ(profile->dialUpEntry, "T-Online");
    EXPECT_EQ(profile->connectionMode, 17);
    EXPECT_EQ(profile->options.security, SmtpSecurity::kTls);
    EXPECT_EQ(profile->options.user, "anna");
    EXPECT_EQ(profile->options.password, "geheim");

    // An older file without the account: plain SMTP, no logon.
    settings.WriteText("EmailServer", "profile", "2");
    profile = sender.ServerProfile();
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->options.security, SmtpSecurity::kNone);
    EXPECT_EQ(profile->options.user, "");

    settings.WriteText("EmailServer", "profile", "9");
    EXPECT_FALSE(sender.ServerProfile());
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{"Email-Profile kann nicht ausgewählt werden!\nBitte zuerst "
                                       "SMTP-Server unter dem Menü 'Optionen' konfigurieren"});
}

}  // namespace
