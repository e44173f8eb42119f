#include "sms_sender.h"

#include <cstdlib>
#include <optional>

#include "config_keys.h"
#include "dial_failure.h"
#include "dial_string.h"
#include "format.h"
#include "mobile_networks.h"
#include "note_item.h"
#include "utf8.h"

namespace {

constexpr size_t kMaxSmsChars = 160;

struct NetworkKeys {
    TextSetting centre, tariffPlan;
};

NetworkKeys KeysOf(int network) {
    switch (network) {
        case note_kind::kD2Sms:
            return {cfg::kD2SmsCenter, cfg::kD2TariffPlan};
        case note_kind::kEPlusSms:
            return {cfg::kEPlusSmsCenter, cfg::kEPlusTariffPlan};
        default:
            return {cfg::kD1SmsCenter, cfg::kD1TariffPlan};
    }
}

bool IsEmi(int network) {
    return network == note_kind::kD2Sms;
}

}  // namespace

SmsSender::~SmsSender() = default;

std::string SmsSender::CentreDialString(int network, std::time_t now) const {
    NetworkKeys keys = KeysOf(network);
    return DialString(settings_, settings_.Read(keys.tariffPlan), settings_.Read(keys.centre),
                      now);
}

bool SmsSender::Connect(int network, SmsProgress& progress, std::time_t now) {
    network_ = network;
    std::string dial = CentreDialString(network, now);
    if (log_) log_->Write(IsEmi(network) ? "++SendSMSDlg D2:\n" : "++SendSMSDlg\n");
    std::string msn = settings_.Read(cfg::kSenderMsn);
    link_ = makeLink_ ? makeLink_(network) : nullptr;
    if (!link_) {
        ShowResult(false, "Kommunikationsobjekt kann nicht erzeugt werden!", progress);
        return false;
    }
    progress.Status(FormatText("Verbindungsaufbau zum SMS-Center (%s) ...", dial.c_str()));
    if (link_->Connect(dial, msn, kConnectSteps) != 0) {
        link_->Disconnect(0);
        unsigned short reason = 0;
        std::string reasonText = link_->DisconnectInfo(reason);
        std::optional<std::string> known = KnownDialFailure(reason);
        link_.reset();
        ShowResult(false,
                   known ? *known
                         : FormatText("Verbindung zum SMS-Center '%s' konnte nicht aufgebaut "
                                      "werden!. Grund: [%s]",
                                      dial.c_str(), reasonText.c_str()),
                   progress);
        return false;
    }
    progress.Status("Anmelden...");
    if (link_->Logon() == 0) {
        std::string reply = link_->ReplyText();
        if (reply.empty()) reply = "Das SMS-Center hat keine Anmeldeaufforderung gesendet";
        link_->Disconnect(kHangUpSteps);
        link_.reset();
        ShowResult(false, FormatText("Logon fehlgeschlagen! Grund: [%s]", reply.c_str()),
                   progress);
        return false;
    }
    return true;
}

bool SmsSender::Send(const SmsToSend& sms, SmsProgress& progress) {
    reason_.clear();
    if (!link_) return false;
    std::string recipient = DigitsOf(sms.number);
    // What is refused here is said as the reason too, so that the result
    // names it.
    if (sms.text.empty()) {
        reason_ = FormatText("Note-Datei '%s' kann nicht geöffnet werden!", sms.textPath.c_str());
        progress.Status(reason_);
        return false;
    }
    if (Utf8Chars(sms.text) > kMaxSmsChars) {
        reason_ =
            "SMS-Nachricht ist zu groß!. Sie können SMS-Nachrichten bis zu einer Größe von 160 "
            "Zeichen senden.";
        progress.Status(reason_);
        return false;
    }
    progress.Status(FormatText(
        IsEmi(network_) ? "Sende D2 SMS-Nachricht an %s..." : "Sende SMS-Nachricht an %s...",
        recipient.c_str()));
    std::string originator = IsEmi(network_) ? settings_.Read(cfg::kD2CallerPhoneNumberForSms) : "";
    bool accepted = link_->SendSMSMessage(originator, recipient, sms.text) == 1;
    reason_ = link_->ReplyText();
    return accepted;
}

void SmsSender::Disconnect(SmsProgress& progress) {
    if (!link_) return;
    progress.Status("Abmelden...");
    if (link_->Logout() == 0) {
        std::string reply = link_->ReplyText();
        link_->Disconnect(kHangUpSteps);
        link_.reset();
        progress.Status(FormatText("Abmeldenfehler! Grund: [%s]", reply.c_str()));
        return;
    }
    progress.Status("Verbindungsabbau...");
    if (link_->Disconnect(kHangUpSteps) != 0) {
        link_->Disconnect(0);
        progress.Status("Verbindungsabbau-Fehler!");
    }
    link_.reset();
}

void SmsSender::ShowResult(bool success, const std::string& text, SmsProgress& progress) {
    if (success) settings_.CountUp(cfg::kSmsSent);
    progress.Report(success, text);
}

std::string MultipleSmsResult(int sent, int failed) {
    std::string text;
    if (sent > 0) text += FormatText("%d SMS-Nachricht(en) wurde(n) gesendet.", sent);
    if (failed > 0) text += FormatText("%d SMS-Nachricht(en) konnte(n) nicht gesendet werden.", failed);
    return text;
}
