#include "sms_tap.h"

#include <algorithm>
#include <cstring>

#include "sms_frames.h"
#include "sms_text.h"
#include "textcodec.h"

namespace {

constexpr unsigned long kTapReplyWait = 200;
constexpr unsigned long kTapSendWait = 50;
// A carrier hands over blocks of at most this many bytes.
constexpr unsigned long kBlockSize = 128;

}  // namespace

CSMSTap::CSMSTap() : CSMSCentreCall("CSMSTap", kTapReplyWait, kTapSendWait) {}

int CSMSTap::SendBytes(std::string_view bytes) {
    SetFrame(bytes);
    return SendMessage();
}

int CSMSTap::GetMessage(unsigned long stepsPerRead, unsigned long maxReads) {
    Log("++CSMSTap::GetMessage:\n");
    ClearReceived();
    unsigned long total = 0, arrived = 0, reads = 0;
    unsigned char last = 0;
    unsigned long steps = ReplySteps(stepsPerRead);
    for (;;) {
        unsigned char block[kBlockSize];
        unsigned long length = 0;
        m_dwLinkStatus = Get(block, &length, steps);
        if (length > kBlockSize) length = 0;
        if (length > 0) {
            // A reply that keeps coming is cut at the buffer's end; its last
            // byte still decides whether it is complete.
            unsigned long fits = std::min(length, kReceiveSize - total);
            std::memcpy(m_abRecvBuffer + total, block, fits);
            total += fits;
            arrived += length;
            last = block[length - 1];
        }
        ++reads;
        if (arrived > 0 && (last == '=' || (last == 0x0D && arrived >= 2))) break;
        if (reads > maxReads) break;
    }
    m_dwRecvLength = total;
    if (m_dwLinkStatus == 0) {
        Dump("  Received message", m_abRecvBuffer, total);
    } else {
        Log("**CSMSTap::GetMessage: FAILED\n");
    }
    SetReplyText(tap::ReplyText({reinterpret_cast<const char*>(m_abRecvBuffer), total}));
    return m_dwLinkStatus == 0 && total > 0 ? 1 : 0;
}

int CSMSTap::ScanMessage(const unsigned char* pattern) {
    Log("++CSMSTap::ScanMessage\n");
    unsigned long n = pattern[0];
    if (m_dwRecvLength < n) return 0;
    const unsigned char* begin = m_abRecvBuffer;
    const unsigned char* end = begin + m_dwRecvLength;
    if (std::search(begin, end, pattern + 1, pattern + 1 + n) == end) return 0;
    Log("--CSMSTap::ScanMessage\n");
    return 1;
}

int CSMSTap::GetAndScanMessage(const unsigned char* pattern) {
    Log("++CSMSTap::GetAndScanMessage\n");
    m_dwLinkStatus = 0;
    if (!GetMessage(10, 25)) return 0;
    return ScanMessage(pattern);
}

int CSMSTap::Logon() {
    Log("++CSMSTap::Logon\n");
    const std::string cr(1, tap::kCr);
    if (!SendBytes(cr)) return 0;
    // Up to three more prompts when the centre stays silent.
    for (int prompts = 1; !GetMessage(3, 15) && prompts < 4; ++prompts) {
        if (!SendBytes(cr)) return 0;
    }
    if (!ScanMessage(tap_pattern::SMSLogonMsg0)) {
        Log("**CSMSTap::Logon SMSLogonMsg0 not found\n");
        return 0;
    }
    if (!SendBytes("\x1bPG1\r")) return 0;
    if (!GetAndScanMessage(tap_pattern::SMSLogonMsg1)) {
        Log("**CSMSTap::Logon SMSLogonMsg1 not found\n");
        return kNotConfirmed;
    }
    if (!GetAndScanMessage(tap_pattern::SMSLogonMsg2)) {
        Log("**CSMSTap::Logon SMSLogonMsg2 not found\n");
        return kNotConfirmed;
    }
    Log("--CSMSTap::Logon\n");
    return 1;
}

int CSMSTap::SendSMSMessage(const char* recipient, const char* text, const char* suffix) {
    Log("++CSMSTap::SendSMSMessage\n");
    // The reason shown for this message must be this message's.
    ClearReplyText();
    std::string wireText = MapSmsText(SmsProtocol::Tap, text) + suffix;
    if (!SetFrame(tap::Block(recipient, wireText))) {
        SetReplyText(Utf8ToCp1252("Die Nachricht ist zu lang für einen Block an das SMS-Center"));
        return 0;
    }
    if (!SendMessage()) {
        ExplainSilence("");
        return 0;
    }
    if (GetAndScanMessage(tap_pattern::ACK)) {
        Log("--CSMSTap::SendSMSMessage\n");
        return 1;
    }
    if (ScanMessage(tap_pattern::NAK)) {
        Log("--CSMSTap::SendSMSMessage: NAK-Msg received\n");
    } else if (ScanMessage(tap_pattern::RS)) {
        Log("--CSMSTap::SendSMSMessage: RS-Msg received\n");
    } else {
        Log("--CSMSTap::SendSMSMessage: GetScan fehlgeschlagen\n");
    }
    ExplainSilence("Das SMS-Center hat die Nachricht nicht bestätigt");
    return 0;
}

int CSMSTap::Logout() {
    Log("++CSMSTap::Logout\n");
    if (!SendBytes("\x04\r")) return 0;
    if (GetAndScanMessage(tap_pattern::SMSLogoutMsg0)) {
        Log("--CSMSTap::Logout\n");
        return 1;
    }
    Log("**CSMSTap::Logout SMSLogoutMsg0 not found\n");
    return kNotConfirmed;
}
