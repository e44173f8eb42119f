// The SMS sender's link over the ISDN line: a TAP call for D1 and E-Plus,
// an EMI call for D2.
#pragma once

#include <memory>

#include "debuglog.h"
#include "sms_emi.h"
#include "sms_sender.h"
#include "sms_tap.h"

class CentreSmsLink : public SmsCentreLink {
public:
    // Binds the line to a new protocol object; the link library must be
    // started. replyStepLimit caps every wait for a reply (see
    // CSMSCentreCall::LimitReplyWaits).
    CentreSmsLink(int network, const DebugLog* log, unsigned long replyStepLimit);

    unsigned short Connect(const std::string& number, const std::string& msn,
                           unsigned long waitSteps) override;
    unsigned short Disconnect(unsigned long waitSteps) override;
    std::string DisconnectInfo(unsigned short& reason) override;
    int Logon() override;
    int SendSMSMessage(const std::string& originator, const std::string& recipient,
                       const std::string& text) override;
    int Logout() override;
    std::string ReplyText() override;

private:
    std::unique_ptr<CSMSTap> tap_;
    std::unique_ptr<CSMSEmi> emi_;
    CSMSCentreCall* call_;
};

// Makes a CentreSmsLink for each call.
SmsLinkFactory CentreSmsLinkFactory(const DebugLog* log, unsigned long replyStepLimit = ~0ul);
