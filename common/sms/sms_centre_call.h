// What the two dial-in protocol classes share: one call to an SMS centre on
// the link library's communication object, the buffers of one reply and
// one frame, the reply text a caller shows as the reason of a failure, and
// the diagnostic log lines.
#pragma once

#include <string>
#include <string_view>

#include "corvane.h"
#include "debuglog.h"

class CSMSCentreCall : public CRComObj {
public:
    static constexpr unsigned long kReceiveSize = 256;
    // An EMI frame of 160 characters is about 380 bytes.
    static constexpr unsigned long kFrameSize = 1024;
    static constexpr unsigned long kReplyTextSize = 256;

    // A call that is still up is cleared first.
    ~CSMSCentreCall() override;

    void SetLog(const DebugLog* log) { log_ = log; }
    // No wait for a reply lasts longer than maxSteps wait steps: tests and
    // a quick look at a simulated exchange need not sit through a silent
    // centre's full time.
    void LimitReplyWaits(unsigned long maxSteps) { replyStepLimit_ = maxSteps; }

    // Sends the frame with Send; the code stays in link status. 1 when sent.
    int SendMessage();

    // The reply text in UTF-8: the centre's words about the last message,
    // or, when it said nothing, why there is no answer.
    std::string ReplyText() const;
    unsigned long LinkStatus() const { return m_dwLinkStatus; }
    const unsigned char* Received() const { return m_abRecvBuffer; }
    unsigned long ReceivedLength() const { return m_dwRecvLength; }

protected:
    CSMSCentreCall(const char* className, unsigned long replyWait, unsigned long sendWait);

    unsigned long ReplySteps(unsigned long steps) const {
        return steps < replyStepLimit_ ? steps : replyStepLimit_;
    }
    // False, with the frame left empty, when it does not fit.
    bool SetFrame(std::string_view frame);
    void ClearReceived();
    void SetReplyText(std::string_view text);
    void ClearReplyText() { m_szReplyText[0] = '\0'; }
    // A message that failed without a word from the centre is explained.
    void ExplainSilence(const char* whenAnswered);

    void Log(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void Dump(const char* title, const void* data, unsigned long length) const;

    const char* className_;
    unsigned long m_dwReplyWait;
    unsigned long m_dwSendWait;
    unsigned long m_dwLinkStatus = 0;
    unsigned long m_dwRecvLength = 0;
    unsigned long m_dwFrameLength = 0;
    unsigned char m_abRecvBuffer[kReceiveSize] = {};
    unsigned char m_abFrame[kFrameSize] = {};
    char m_szReplyText[kReplyTextSize] = {};

private:
    const DebugLog* log_ = nullptr;
    unsigned long replyStepLimit_ = ~0ul;
};
