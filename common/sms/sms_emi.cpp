#include "sms_emi.h"

#include "sms_frames.h"
#include "sms_text.h"
#include "textcodec.h"

namespace {

constexpr unsigned long kEmiReplyWait = 200;
constexpr unsigned long kEmiSendWait = 20;

}  // namespace

CSMSEmi::CSMSEmi() : CSMSCentreCall("CSMSEmi", kEmiReplyWait, kEmiSendWait) {}

int CSMSEmi::Logon() {
    Log("++CSMSEmi::Logon\n");
    Log("--CSMSEmi::Logon\n");
    return 1;
}

int CSMSEmi::Logout() {
    Log("++CSMSEmi::Logout\n");
    Log("--CSMSEmi::Logout\n");
    return 1;
}

int CSMSEmi::GetMessage() {
    Log("++CSMSEmi::GetMessage:\n");
    ClearReceived();
    unsigned long length = 0;
    // Get hands over one carrier block, which fits the receive buffer.
    m_dwLinkStatus = Get(m_abRecvBuffer, &length, ReplySteps(m_dwReplyWait));
    m_dwRecvLength = length <= kReceiveSize ? length : 0;
    if (m_dwLinkStatus == 0) {
        Dump("  Received message", m_abRecvBuffer, m_dwRecvLength);
        return 1;
    }
    Log("**CSMSEmi::GetMessage: FAILED\n");
    return 0;
}

int CSMSEmi::AnalyzeMessage() {
    Log("++CSMSEmi::AnalyzeMessage\n");
    emi::Reply reply =
        emi::ReadReply({reinterpret_cast<const char*>(m_abRecvBuffer), m_dwRecvLength});
    if (!reply.isResult) return 0;
    SetReplyText(reply.fields);
    Log("--CSMSEmi::AnalyzeMessage\n");
    return reply.accepted ? 1 : 0;
}

int CSMSEmi::GetAndAnalyzeMessage() {
    Log("++CSMSEmi::GetAndAnalyzeMessage\n");
    if (!GetMessage()) return 0;
    return AnalyzeMessage();
}

int CSMSEmi::SendSMSMessage(const char* originator, const char* recipient, const char* text,
                            const char*) {
    Log("++CSMSEmi::SendSMSMessage\n");
    // The reason shown for this message must be this message's, not the
    // previous one's when this one gets no answer.
    ClearReplyText();
    std::string frame =
        emi::SubmitFrame(originator, recipient, MapSmsText(SmsProtocol::Emi, text));
    if (!SetFrame(frame)) {
        SetReplyText(Utf8ToCp1252("Die Nachricht ist zu lang für einen Auftrag an das SMS-Center"));
        return 0;
    }
    if (!SendMessage()) {
        ExplainSilence("");
        return 0;
    }
    int accepted = GetAndAnalyzeMessage();
    if (!accepted) ExplainSilence("Die Antwort des SMS-Centers ist unverständlich");
    Log("--CSMSEmi::SendSMSMessage\n");
    return accepted;
}
