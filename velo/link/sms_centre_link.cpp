#include "sms_centre_link.h"

#include "mobile_networks.h"

CentreSmsLink::CentreSmsLink(int network, const DebugLog* log, unsigned long replyStepLimit) {
    if (network == note_kind::kD2Sms) {
        emi_ = std::make_unique<CSMSEmi>();
        call_ = emi_.get();
    } else {
        tap_ = std::make_unique<CSMSTap>();
        call_ = tap_.get();
    }
    call_->SetLog(log);
    call_->LimitReplyWaits(replyStepLimit);
    RCOInitLinkDLL(FALSE);
}

unsigned short CentreSmsLink::Connect(const std::string& number, const std::string& msn,
                                      unsigned long waitSteps) {
    std::string address = number, parameter = msn;
    return call_->Connect(address.data(), parameter.data(), waitSteps);
}

unsigned short CentreSmsLink::Disconnect(unsigned long waitSteps) {
    return call_->Disconnect(waitSteps);
}

std::string CentreSmsLink::DisconnectInfo(unsigned short& reason) {
    const char* text = call_->GetDisconnectInfo(reason);
    return text ? text : "";
}

int CentreSmsLink::Logon() {
    return tap_ ? tap_->Logon() : emi_->Logon();
}

int CentreSmsLink::SendSMSMessage(const std::string& originator, const std::string& recipient,
                                  const std::string& text) {
    if (tap_) return tap_->SendSMSMessage(recipient.c_str(), text.c_str(), "");
    return emi_->SendSMSMessage(originator.c_str(), recipient.c_str(), text.c_str(), "");
}

int CentreSmsLink::Logout() {
    return tap_ ? tap_->Logout() : emi_->Logout();
}

std::string CentreSmsLink::ReplyText() {
    return call_->ReplyText();
}

SmsLinkFactory CentreSmsLinkFactory(const DebugLog* log, unsigned long replyStepLimit) {
    return [log, replyStepLimit](int network) -> std::unique_ptr<SmsCentreLink> {
        return std::make_unique<CentreSmsLink>(network, log, replyStepLimit);
    };
}
