// Operations 3, 4 and 5: the message as an SMS, in one call to the SMS
// centre: connect, logon, the message, logout, hang-up.
#include <memory>

#include "format.h"
#include "relay_message.h"
#include "relay_operations.h"
#include "sms_emi.h"
#include "sms_tap.h"
#include "textcodec.h"
#include "utf8.h"

namespace {

constexpr size_t kMaxSmsChars = 160;
constexpr size_t kCutSmsChars = 130;
constexpr unsigned long kConnectSteps = 200;
constexpr unsigned long kHangUpSteps = 50;
constexpr unsigned long kFinalHangUpSteps = 100;
constexpr int kD2 = 4;

struct SmsJob {
    std::string dial, msn, recipient, originator, text;
};

std::string DialFailure(unsigned short reason, const std::string& centre,
                        const std::string& reasonText) {
    switch (reason) {
        case 0x3491:
            return "Die gewählte Rufnummer ist besetzt!";
        case 0x3492:
            return "Der Teilnehmer antwortet nicht!.";
        case 0x34D8:
            return "Der Teilnehmer ist nicht erreichbar!";
        default:
            return FormatText(
                "Verbindung zum SMS-Center '%s' konnte nicht aufgebaut werden!. Grund: [%s]",
                centre.c_str(), reasonText.c_str());
    }
}

int Send(CSMSTap& tap, const SmsJob& job) {
    return tap.SendSMSMessage(job.recipient.c_str(), job.text.c_str(), "");
}

int Send(CSMSEmi& emi, const SmsJob& job) {
    return emi.SendSMSMessage(job.originator.c_str(), job.recipient.c_str(), job.text.c_str(), "");
}

template <class Centre>
bool Deliver(Centre& centre, const SmsJob& job, const RelayContext& context,
             const std::string& centreNumber) {
    const RelayParameters& p = context.params;
    centre.SetLog(&context.log);
    long steps = p.ReadNumber(relay_key::kReplyWaitSteps);
    if (steps > 0) centre.LimitReplyWaits(static_cast<unsigned long>(steps));
    // Binds the ISDN line to this object.
    RCOInitLinkDLL(FALSE);
    std::string dial = job.dial, msn = job.msn;
    if (centre.Connect(dial.data(), msn.data(), kConnectSteps) != 0) {
        centre.Disconnect(0);
        unsigned short reason = 0;
        const char* reasonText = centre.GetDisconnectInfo(reason);
        p.Fail(DialFailure(reason, centreNumber, reasonText ? reasonText : ""));
        return false;
    }
    if (centre.Logon() == 0) {
        centre.Disconnect(kHangUpSteps);
        p.Fail("Logon fehlgeschlagen!");
        return false;
    }
    if (Send(centre, job) != 1) {
        std::string reply = centre.ReplyText();
        centre.Logout();
        centre.Disconnect(kHangUpSteps);
        p.Fail(reply);
        return false;
    }
    // The centre has the message: what goes wrong from here on is noted,
    // but the message counts as delivered.
    if (centre.Logout() == 0) {
        centre.Disconnect(kHangUpSteps);
        p.Fail(FormatText("Abmeldefehler! Grund: [%s]", centre.ReplyText().c_str()));
    } else if (centre.Disconnect(kFinalHangUpSteps) != 0) {
        centre.Disconnect(0);
        p.Fail("Verbindungsabbau-Fehler!");
    }
    return true;
}

}  // namespace

bool SendNoteAsSms(const RelayContext& context) {
    const RelayParameters& p = context.params;
    std::string centreNumber = p.Read(relay_key::kSmsCenter);
    SmsJob job;
    job.msn = p.Read(relay_key::kMsn);
    job.dial = p.Read(relay_key::kIsdnPrefix) + p.Read(relay_key::kCallByCallPrefix) + centreNumber;
    // A number as people write it ("0170 123 45-67", "+49 170 ...") goes to
    // the centre as its digits, as velo sends it; a blank or "-" in a block
    // is no number to the centre.
    for (char c : p.Read(relay_key::kTo)) {
        if (c >= '0' && c <= '9') job.recipient += c;
    }
    if (context.operation == kD2) job.originator = p.Read(relay_key::kCallerPhoneNumber);
    std::optional<std::string> text = ReadMessageText(p);
    if (!text) return false;
    job.text = TextAsUtf8(*text);
    if (Utf8Chars(job.text) > kMaxSmsChars) job.text = CutToChars(job.text, kCutSmsChars);
    if (context.operation == kD2) {
        auto emi = std::make_unique<CSMSEmi>();
        return Deliver(*emi, job, context, centreNumber);
    }
    auto tap = std::make_unique<CSMSTap>();
    return Deliver(*tap, job, context, centreNumber);
}
