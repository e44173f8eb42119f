// Encryption and logging on: STARTTLS and TLS from the start against
// aiosmtpd with certificates of a test authority, AUTH PLAIN and LOGIN,
// and the certificates, passwords and servers that must be refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "debuglog.h"
#include "mail_test_support.h"
#include "smtp_connection.h"
#include "test_dir.h"

namespace {

using mailtest::Certificates;
using mailtest::SmtpTestServer;
using mailtest::TestCertificates;

std::vector<std::string> TlsServerOptions(const std::string& cert, const std::string& key,
                                          const char* mode) {
    return {mode, "--cert", cert, "--key", key, "--auth", "telvora:geheim 123"};
}

CMailMessage SecureMail() {
    CMailMessage message;
    message.from = CMailAddress("absender@example.de");
    message.AddRecipient(CMailAddress("anna@example.de"), CMailMessage::kTo);
    message.subject = "Verschlüsselt";
    message.AddTextBody("Geheimer Text");
    return message;
}

TEST(SmtpSecurityTest, EncryptedAndLoggedOnTheMailArrives) {
    const Certificates& certs = TestCertificates();
    struct Case {
        const char* serverMode;
        SmtpSecurity security;
        const char* mechanism;
        const char* host;
    } cases[] = {
        {"--starttls", SmtpSecurity::kStartTls, "PLAIN", "localhost"},
        {"--starttls", SmtpSecurity::kStartTls, "LOGIN", "127.0.0.1"},
        {"--tls", SmtpSecurity::kTls, "PLAIN", "localhost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.serverMode) + " " + c.mechanism + " " + c.host);
        std::vector<std::string> options =
            TlsServerOptions(certs.serverCert, certs.serverKey, c.serverMode);
        options.insert(options.end(), {"--auth-only", c.mechanism});
        SmtpTestServer server(options);
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();

        TestDir dir;
        dir.Put("Telvora.cfg", "[Parameters]\ndebug=1\n");
        DebugLog log;
        log.Init(dir.File("Velo.log"), dir.File("Telvora.cfg"));
        CSMTPConnection smtp(&log);
        smtp.SetOptions({c.security, "telvora", "geheim 123", certs.ca});
        ASSERT_TRUE(smtp.Connect(c.host, server.Port(), "")) << smtp.ErrorText();
        ASSERT_TRUE(smtp.SendMessage(SecureMail())) << smtp.ErrorText();
        EXPECT_TRUE(smtp.Disconnect());

        auto mails = server.Messages(1);
        ASSERT_EQ(mails.size(), 1u);
        EXPECT_EQ(mails[0].Text("login"), "telvora");
        EXPECT_EQ(mails[0].Text("subject"), "Verschlüsselt");
        EXPECT_EQ(mails[0].Text("body"), "Geheimer Text");

        std::string logText = dir.Get("Velo.log");
        EXPECT_NE(logText.find(c.security == SmtpSecurity::kTls ? "  > EHLO" : "  > STARTTLS"),
                  std::string::npos)
            << logText;
        EXPECT_NE(logText.find(std::string("  > AUTH ") + c.mechanism), std::string::npos);
        EXPECT_NE(logText.find("****"), std::string::npos);
        // Neither the password nor any base64 form of the credentials.
        for (const char* secret :
             {"geheim", "AHRlbHZvcmEAZ2VoZWltIDEyMw==", "Z2VoZWltIDEyMw==", "dGVsdm9yYQ=="}) {
            EXPECT_EQ(logText.find(secret), std::string::npos) << secret;
        }
    }
}

TEST(SmtpSecurityTest, RefusedPasswordsCertificatesAndMissingEncryption) {
    const Certificates& certs = TestCertificates();
    struct Case {
        std::vector<std::string> serverOptions;
        SmtpOptions client;
        int lastError;
        std::string errorText;
    } cases[] = {
        {TlsServerOptions(certs.serverCert, certs.serverKey, "--starttls"),
         {SmtpSecurity::kStartTls, "telvora", "falsch", certs.ca},
         CSMTPConnection::kErrorUnexpectedReply,
         "Die Anmeldung am Server wurde abgelehnt: 535 5.7.8 Authentication credentials invalid"},
        {TlsServerOptions(certs.rogueCert, certs.rogueKey, "--starttls"),
         {SmtpSecurity::kStartTls, "telvora", "geheim 123", certs.ca},
         CSMTPConnection::kErrorTls,
         "Das Zertifikat des Servers 'localhost' ist nicht vertrauenswürdig: self-signed "
         "certificate"},
        {TlsServerOptions(certs.otherCert, certs.otherKey, "--tls"),
         {SmtpSecurity::kTls, "telvora", "geheim 123", certs.ca},
         CSMTPConnection::kErrorTls,
         "Das Zertifikat des Servers 'localhost' ist nicht vertrauenswürdig: hostname mismatch"},
        // The test authority is not among the system's.
        {TlsServerOptions(certs.serverCert, certs.serverKey, "--tls"),
         {SmtpSecurity::kTls, "telvora", "geheim 123", ""},
         CSMTPConnection::kErrorTls,
         "Das Zertifikat des Servers 'localhost' ist nicht vertrauenswürdig: unable to get local "
         "issuer certificate"},
        {{},
         {SmtpSecurity::kStartTls, "", "", certs.ca},
         CSMTPConnection::kErrorTls,
         "Der Server 'localhost' bietet keine verschlüsselte Verbindung (STARTTLS) an."},
        {{},
         {SmtpSecurity::kNone, "telvora", "geheim 123", ""},
         CSMTPConnection::kErrorUnexpectedReply,
         "Der Server 'localhost' bietet keine Anmeldung mit Benutzername und Passwort (AUTH "
         "PLAIN oder LOGIN) an."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errorText);
        SmtpTestServer server(c.serverOptions);
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        CSMTPConnection smtp;
        smtp.SetOptions(c.client);
        EXPECT_FALSE(smtp.Connect("localhost", server.Port(), ""));
        EXPECT_FALSE(smtp.IsConnected());
        EXPECT_EQ(smtp.LastError(), c.lastError);
        EXPECT_EQ(smtp.ErrorText(), c.errorText);
    }
}

TEST(SmtpSecurityTest, TheAuthorityCanComeFromSslCertFile) {
    const Certificates& certs = TestCertificates();
    SmtpTestServer server(TlsServerOptions(certs.serverCert, certs.serverKey, "--tls"));
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    setenv("SSL_CERT_FILE", certs.ca.c_str(), 1);
    CSMTPConnection smtp;
    smtp.SetOptions({SmtpSecurity::kTls, "telvora", "geheim 123", ""});
    bool connected = smtp.Connect("localhost", server.Port(), "");
    unsetenv("SSL_CERT_FILE");
    EXPECT_TRUE(connected) << smtp.ErrorText();
    EXPECT_TRUE(smtp.Disconnect());
}

}  // namespace
