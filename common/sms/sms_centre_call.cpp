#include "sms_centre_call.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "textcodec.h"

CSMSCentreCall::CSMSCentreCall(const char* className, unsigned long replyWait,
                               unsigned long sendWait)
    : className_(className), m_dwReplyWait(replyWait), m_dwSendWait(sendWait) {}

CSMSCentreCall::~CSMSCentreCall() {
    if (IsConnected()) Disconnect(10);
}

int CSMSCentreCall::SendMessage() {
    Log("++%s::SendMessage()\n", className_);
    Dump("  Message to send", m_abFrame, m_dwFrameLength);
    m_dwLinkStatus = Send(m_abFrame, m_dwFrameLength, m_dwSendWait);
    return m_dwLinkStatus == 0 ? 1 : 0;
}

std::string CSMSCentreCall::ReplyText() const {
    return Cp1252ToUtf8(m_szReplyText);
}

bool CSMSCentreCall::SetFrame(std::string_view frame) {
    std::memset(m_abFrame, 0, sizeof m_abFrame);
    m_dwFrameLength = 0;
    if (frame.size() > kFrameSize) return false;
    std::memcpy(m_abFrame, frame.data(), frame.size());
    m_dwFrameLength = frame.size();
    return true;
}

void CSMSCentreCall::ClearReceived() {
    std::memset(m_abRecvBuffer, 0, sizeof m_abRecvBuffer);
    m_dwRecvLength = 0;
}

void CSMSCentreCall::SetReplyText(std::string_view text) {
    size_t n = text.size() < kReplyTextSize - 1 ? text.size() : kReplyTextSize - 1;
    std::memcpy(m_szReplyText, text.data(), n);
    m_szReplyText[n] = '\0';
}

void CSMSCentreCall::ExplainSilence(const char* whenAnswered) {
    if (m_szReplyText[0] != '\0') return;
    std::string text;
    if (m_dwLinkStatus != 0 && m_dwLinkStatus != RCO_TIMEOUT) {
        text = std::string("Die Verbindung zum SMS-Center ist unterbrochen (") +
               GetErrorText(static_cast<unsigned short>(m_dwLinkStatus)) + ")";
    } else if (m_dwRecvLength == 0) {
        text = "Das SMS-Center hat nicht geantwortet";
    } else {
        text = whenAnswered;
    }
    SetReplyText(Utf8ToCp1252(text));
}

void CSMSCentreCall::Log(const char* format, ...) const {
    if (!log_ || !log_->IsOn()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log_->Write(line);
}

void CSMSCentreCall::Dump(const char* title, const void* data, unsigned long length) const {
    if (log_) log_->Dump(title, data, static_cast<std::int32_t>(length));
}
