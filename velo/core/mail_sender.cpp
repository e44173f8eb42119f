#include "mail_sender.h"

#include <cstdlib>

#include "app_caption.h"
#include "config_keys.h"
#include "format.h"
#include "item_list.h"
#include "msgbox.h"
#include "ras_connection.h"

namespace {

constexpr const char* kUnknownName = "Unbekannt";

SmtpSecurity SecurityOf(const std::string& text) {
    if (text == "1") return SmtpSecurity::kStartTls;
    if (text == "2") return SmtpSecurity::kTls;
    return SmtpSecurity::kNone;
}

}  // namespace

void MailSender::SplitServer(const std::string& server, std::string& host, int& port) {
    size_t colon = server.find(':');
    host = server.substr(0, colon);
    port = cfg::relay_profile::kDefaultSmtpPort;
    if (colon != std::string::npos) port = std::atoi(server.c_str() + colon + 1);
}

std::string MailSender::RecipientText(const std::string& name, const std::string& address) {
    if (name.empty() || name == kUnknownName) return address;
    return name + " <" + address + ">";
}

std::optional<MailServerProfile> MailSender::ServerProfile() const {
    ItemList profiles(cfg::kRelayProfileFields);
    profiles.Load(settings_, cfg::kRelayProfiles);
    int id = settings_.Read(cfg::kEmailServerProfile);
    const ListItem* item = profiles.FindById(id);
    if (!item) {
        ShowMessageBox(
            "Email-Profile kann nicht ausgewählt werden!\nBitte zuerst SMTP-Server unter dem "
            "Menü 'Optionen' konfigurieren",
            kAppCaption, MB_ICONSTOP);
        return std::nullopt;
    }
    MailServerProfile p;
    SplitServer(item->fields[cfg::relay_profile::kSmtpServer], p.host, p.port);
    p.sender = item->fields[cfg::relay_profile::kSender];
    p.dialUpEntry = item->fields[cfg::relay_profile::kDialUpEntry];
    p.connectionMode = ConnectionMode::FromText(item->fields[cfg::relay_profile::kConnectionMode]);
    std::string account = cfg::EmailAccountSection(id);
    p.options.security =
        SecurityOf(settings_.ReadText(account.c_str(), cfg::kEmailSecurity, "0"));
    p.options.user = settings_.ReadText(account.c_str(), cfg::kEmailUser, "");
    p.options.password = settings_.ReadText(account.c_str(), cfg::kEmailPassword, "");
    p.options.caFile = settings_.ReadText(account.c_str(), cfg::kEmailCaFile, "");
    return p;
}

bool MailSender::Fail(MailProgress& progress, const std::string& status) {
    progress.Status(status);
    progress.Report(false);
    return false;
}

bool MailSender::Send(const MailToSend& mail, MailProgress& progress,
                      const std::function<void()>& onAccepted) {
    std::optional<MailServerProfile> profile = ServerProfile();
    if (!profile) return false;

    CMailMessage message;
    message.from = CMailAddress(profile->sender);
    message.replyTo = CMailAddress(profile->sender);
    std::string recipients = RecipientText(mail.name, mail.address);
    message.AddRecipientsFromText(recipients, CMailMessage::kTo);
    if (!mail.cc.empty()) message.AddRecipientsFromText(mail.cc, CMailMessage::kCc);
    message.subject = mail.subject;
    message.AddTextBody(mail.text);

    CRasConnection ras(log_);
    bool dial = ConnectionMode::DialFirst(profile->connectionMode);
    bool hangUp = ConnectionMode::HangUpAfter(profile->connectionMode);
    if (dial) {
        progress.Status(FormatText("Internet Verbindung über '%s' herstellen...",
                                   profile->dialUpEntry.c_str()));
        if (!ras.Connect(profile->dialUpEntry)) {
            return Fail(progress, FormatText("RAS-Verbindung '%s' fehlgeschlagen. Error: '%s'",
                                             profile->dialUpEntry.c_str(),
                                             ras.ErrorText().c_str()));
        }
    }
    CSMTPConnection smtp(log_);
    smtp.SetOptions(profile->options);
    smtp.SetReplyTimeout(replyTimeoutMs_);
    auto failAndHangUp = [&](const std::string& status) {
        // The connection says QUIT when it is still up, after the hang-up
        // as designed; a server that is gone does not hold the dialog.
        if (hangUp) ras.HangUp();
        return Fail(progress, status);
    };
    progress.Status(FormatText("Verbindungsaufbau (%s:%d) ...", profile->host.c_str(), profile->port));
    if (!smtp.Connect(profile->host, profile->port, "")) {
        return failAndHangUp(
            FormatText("Verbindung zu '%s:%d' konnte nicht aufgebaut werden!.\nError: %s",
                       profile->host.c_str(), profile->port, smtp.ErrorText().c_str()));
    }
    progress.Status(FormatText("EMail an %s senden...", recipients.c_str()));
    if (!smtp.SendMessage(message)) {
        return failAndHangUp(FormatText("Email konnte nicht gesendet werden!.\nError: %s",
                                        smtp.ErrorText().c_str()));
    }
    if (onAccepted) onAccepted();
    if (hangUp) {
        progress.Status("Verbindungsabbau...");
        ras.HangUp();
    }
    progress.Status(FormatText("EMail an %s wurde gesendet!", recipients.c_str()));
    progress.Report(true);
    return true;
}
