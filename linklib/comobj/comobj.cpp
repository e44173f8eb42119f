// CRComObj: one end of a link. It moves framed messages, acknowledgements
// and the identification through its transport interface; what the bytes
// look like is the frame codec's.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "com_interface.h"
#include "corvane.h"
#include "error_texts.h"
#include "frame_codec.h"
#include "link_log.h"
#include "reason_texts.h"

namespace {

constexpr unsigned long kDataTimeout = 250;
constexpr unsigned long kIdTimeout = 15;
constexpr unsigned long kIdBuffer = 1024;

}  // namespace

CRComObj::CRComObj() {
    Init();
}

CRComObj::~CRComObj() {
    delete m_pLinkInterface;
}

void CRComObj::Init() {
    m_bConnected = 0;
    m_dwDataTimeout = kDataTimeout;
    m_dwIdTimeout = kIdTimeout;
    m_pLinkInterface = new (std::nothrow) CRComInterface;
}

unsigned short CRComObj::Connect(char* address, char* parameter, unsigned long waitSteps) {
    if (IsConnected()) return RCO_ALREADY_CONNECTED;
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    unsigned short rc =
        m_pLinkInterface->Connect(address, parameter, static_cast<DWORD>(waitSteps));
    if (rc == RCO_OK && waitSteps > 0) m_bConnected = 1;
    return rc;
}

unsigned short CRComObj::Disconnect(unsigned long waitSteps) {
    LinkLog().Write("++CRComObj::Disconnect\n");
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    unsigned short rc = RCO_CALL_FAILED;
    if (m_pLinkInterface) rc = m_pLinkInterface->Disconnect(static_cast<DWORD>(waitSteps));
    if (rc == RCO_OK && waitSteps > 0) m_bConnected = 0;
    LinkLog().Write("--CRComObj::Disconnect\n");
    return rc;
}

int CRComObj::IsConnected() {
    m_bConnected = m_pLinkInterface ? m_pLinkInterface->IsConnected() : 0;
    return m_bConnected;
}

int CRComObj::IsDataPending() {
    return m_pLinkInterface && m_pLinkInterface->ReceivedCount() > 0 ? 1 : 0;
}

int CRComObj::WaitForConnection(unsigned long waitSteps) {
    if (!m_pLinkInterface) return 0;
    return m_pLinkInterface->WaitForConnection(static_cast<DWORD>(waitSteps));
}

int CRComObj::WaitForDisconnection(unsigned long waitSteps) {
    if (!m_pLinkInterface) return 0;
    return m_pLinkInterface->WaitForDisconnection(static_cast<DWORD>(waitSteps));
}

unsigned short CRComObj::StartServer(char* parameter) {
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    return m_pLinkInterface->StartServer(parameter);
}

char* CRComObj::GetConnectionPar() {
    static char none[1] = "";
    return m_pLinkInterface ? m_pLinkInterface->ConnectionPar() : none;
}

const char* CRComObj::GetDisconnectInfo(unsigned short& reason) {
    reason = m_pLinkInterface ? m_pLinkInterface->DisconnectReason() : 0;
    return ReasonText(reason);
}

char* CRComObj::GetErrorText(unsigned short code) {
    return const_cast<char*>(ErrorText(code));
}

CRComInterface* CRComObj::GetLinkInterface() {
    return m_pLinkInterface;
}

void CRComObj::SetLinkInterface(CRComInterface* linkInterface) {
    m_pLinkInterface = linkInterface;
}

void CRComObj::Connected() {
    m_bConnected = 1;
}

void CRComObj::Disconnected() {
    m_bConnected = 0;
}

unsigned short CRComObj::SendMessage(unsigned char* data, unsigned long length) {
    LinkLog().Write("++CRComObj::SendMessage\n");
    if (length == 0) return RCO_OK;
    // msgLen is 32 bits wide on the line.
    if (!data || length > 0xFFFFFFFFul) return RCO_CALL_FAILED;
    LinkLog().Dump("pbBuffer", data, static_cast<std::int32_t>(std::min(length, 0x7FFFFFFFul)));
    unsigned long sent = 0;
    unsigned char msgId = 0;
    while (sent < length) {
        unsigned char block[frame::kBuffer];
        msgId = frame::NextMsgId(msgId);
        auto left = static_cast<std::uint32_t>(length - sent);
        std::size_t size = frame::BuildFrame(msgId, data + sent, left, block);
        LinkLog().Printf("  CRComObj::SendMessage: [%d] msgId=%0X msgLen=%lu\n", 0, msgId,
                         static_cast<unsigned long>(left));
        unsigned short rc = Send(block, size, m_dwDataTimeout);
        if (rc == RCO_OK) rc = WaitForAcknoledge(msgId);
        if (rc != RCO_OK) {
            LinkLog().Printf("**CRComObj::SendMessage (cr=%d)\n", rc);
            return rc;
        }
        sent += size - frame::kHeader;
    }
    LinkLog().Write("--CRComObj::SendMessage\n");
    return RCO_OK;
}

unsigned short CRComObj::GetMessage(unsigned char* buffer, unsigned long& length) {
    LinkLog().Write("++CRComObj::GetMessage\n");
    const unsigned long capacity = buffer ? length : 0;
    unsigned long total = 0;
    unsigned char expected = 1;
    unsigned short rc = RCO_OK;
    for (;;) {
        unsigned char block[frame::kBuffer] = {};
        unsigned long got = 0;
        rc = Get(block, &got, m_dwDataTimeout);
        if (rc != RCO_OK) break;
        auto header = frame::ReadFrame(block, got);
        if (!header) {
            rc = RCO_ZERO_LENGTH_MSG;
            break;
        }
        LinkLog().Printf("  CRComObj::GetMessage: msgId=%0X msgLen=%lu\n", header->msgId,
                         static_cast<unsigned long>(header->msgLen));
        if (header->msgId != expected) {
            rc = RCO_WRONG_MSG_ID;
            break;
        }
        // Refused before it is acknowledged: nothing is written past the
        // buffer, and the sender's wait ends when the line is cleared.
        if (header->payload > capacity - total || header->msgLen > capacity - total) {
            LinkLog().Printf("**CRComObj::GetMessage message too long (msgLen=%lu capacity=%lu)\n",
                             static_cast<unsigned long>(header->msgLen), capacity - total);
            rc = RCO_ZERO_LENGTH_MSG;
            break;
        }
        std::memcpy(buffer + total, block + frame::kHeader, header->payload);
        rc = SendAcknoledge(header->msgId);
        if (rc != RCO_OK) break;
        total += header->payload;
        expected = frame::NextMsgId(expected);
        if (header->Last()) break;
    }
    length = rc == RCO_OK ? total : 0;
    LinkLog().Printf("--CRComObj::GetMessage (rc=%d) length=%lu\n", rc, length);
    if (length > 0) LinkLog().Dump("RECEIVED MSG", buffer, static_cast<std::int32_t>(length));
    return rc;
}

unsigned short CRComObj::SendAcknoledge(unsigned char msgId) {
    LinkLog().Write("++CRComObj::SendAcknowledge\n");
    auto ack = frame::Acknowledgement(msgId);
    if (Send(ack.data(), ack.size(), m_dwDataTimeout) != RCO_OK) return RCO_ACK_NOT_SENT;
    LinkLog().Printf("--CRComObj::SendAcknowledge: msgId=%0X\n", msgId);
    return RCO_OK;
}

unsigned short CRComObj::WaitForAcknoledge(unsigned char msgId) {
    LinkLog().Write("++CRComObj::WaitForAcknoledge\n");
    unsigned char block[frame::kBuffer] = {};
    unsigned long got = 0;
    unsigned short rc = Get(block, &got, m_dwDataTimeout);
    auto check = rc == RCO_OK ? frame::CheckAcknowledgement(block, got, msgId)
                              : frame::AckCheck::NotReceived;
    switch (check) {
        case frame::AckCheck::NotReceived:
            LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_ACK_NOT_RECEIVED)\n");
            LinkLog().Dump("ACK-MSG", block, static_cast<std::int32_t>(got));
            return RCO_ACK_NOT_RECEIVED;
        case frame::AckCheck::WrongRespId:
            LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_WRONG_RESP_ID)\n");
            return RCO_WRONG_RESP_ID;
        case frame::AckCheck::WrongMsgId:
            LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_WRONG_MSG_ID)\n");
            return RCO_WRONG_MSG_ID;
        case frame::AckCheck::Ok:
            break;
    }
    LinkLog().Printf("GET-ACK: msgId=%0X\n", msgId);
    return RCO_OK;
}

unsigned short CRComObj::SendId() {
    LinkLog().Write("++CRComObj::SendId\n");
    auto id = frame::kIdentification;
    if (Send(id.data(), id.size(), m_dwDataTimeout) != RCO_OK) return RCO_ID_NOT_SENT;
    LinkLog().Write("--CRComObj::SendId\n");
    return RCO_OK;
}

unsigned short CRComObj::WaitForId(int& currentPeer) {
    LinkLog().Write("++CRComObj::WaitForId\n");
    currentPeer = 1;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kIdBuffer]());
    if (!block) return RCO_NO_MEMORY;
    unsigned long got = 0;
    if (Get(block.get(), &got, m_dwIdTimeout) != RCO_OK) {
        LinkLog().Write("**CRComObj::WaitForId (RCO_ID_NOT_RECEIVED)\n");
        return RCO_ID_NOT_RECEIVED;
    }
    if (got == 0) {
        LinkLog().Write("--CRComObj::WaitForId NO ID RECEIVED\n");
        return RCO_OK;
    }
    if (frame::IsIdentification(block.get(), got)) {
        LinkLog().Write("--CRComObj::WaitForId OK\n");
        return RCO_OK;
    }
    if (CheckOldVersionMsg(block.get(), got) != RCO_OK) {
        LinkLog().Write("**CRComObj::WaitForId Wrong ID\n");
        return RCO_WRONG_RESP_ID;
    }
    currentPeer = 0;
    LinkLog().Write("--CRComObj::WaitForId OK\n");
    return RCO_OK;
}

unsigned short CRComObj::CheckOldVersionMsg(unsigned char* block, unsigned long length) {
    LinkLog().Write("++CRComObj::CheckOldVersionMsg\n");
    if (!frame::IsOldVersionRequest(block, length)) return RCO_CALL_FAILED;
    unsigned short rc = SendAcknoledge(1);
    if (rc != RCO_OK) return rc;
    // Built apart from the block, which may be no longer than four bytes.
    auto reply = frame::OldVersionReply(block);
    return SendMessage(reply.data(), reply.size());
}

unsigned short CRComObj::Send(unsigned char* block, unsigned long length, unsigned long) {
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    return m_pLinkInterface->Send(block, static_cast<DWORD>(length));
}

unsigned short CRComObj::Get(unsigned char* block, unsigned long* length, unsigned long waitSteps) {
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    DWORD got = 0;
    unsigned short rc = m_pLinkInterface->Get(block, got, static_cast<DWORD>(waitSteps));
    // A carrier promises blocks of at most 128 bytes; a longer one is refused
    // rather than passed to callers whose buffers hold one such block.
    if (got > frame::kMaxFrame) {
        LinkLog().Printf("**CRComObj::Get block too long (%lu)\n", static_cast<unsigned long>(got));
        *length = 0;
        return RCO_CALL_FAILED;
    }
    *length = got;
    return rc;
}
