#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "corvane.h"
#include "linklog.h"
#include "reason_texts.h"
#include "transport.h"

namespace {

struct ErrorText {
    unsigned short code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {RCO_OK, "Unbekannter Fehler (0)"},
    {RCO_NOT_CONNECTED, "Keine Verbindung"},
    {RCO_CONNECT_FAILED, "Verbindung kann nicht hergestellt werden"},
    {RCO_DISCONNECT_FAILED, "Verbindungsabbau fehlgeschlagen"},
    {RCO_SEND_FAILED, "Daten konnten nicht gesendet werden"},
    {RCO_WRONG_MSG_ID, "Falscher Befehl-ID"},
    {RCO_WRONG_RESP_ID, "Falscher Antwort-ID"},
    {RCO_ACK_NOT_RECEIVED, "Kein ACK empfangen"},
    {RCO_ZERO_LENGTH_MSG, "Nachricht mit Länge Null empfangen"},
    {RCO_NO_MEMORY, "Speicher kann nicht alloquiert werden"},
    {RCO_REMCMD_NOT_FOUND, "Fernbefehl nicht gefunden"},
    {RCO_REMCMD_FAILED, "Ausführung des Fernbefehls ist fehlgeschlagen"},
    {RCO_ACK_NOT_SENT, "ACK konnte nicht gesendet werden"},
    {RCO_TIMEOUT, "Timeout"},
    {RCO_ID_NOT_SENT, "Identifikation der Gegenstelle nicht möglich"},
    {RCO_ID_NOT_RECEIVED, "Keine Identifikation der Gegenstelle empfangen"},
    {RCO_ALREADY_CONNECTED, "Bereits verbunden"},
    {RCO_CALL_FAILED, "Funktionsaufruf fehlgeschlagen"},
    {0xFFFF, "Unbekannter Fehler"},
};

constexpr unsigned long kDataTimeout = 250;
constexpr unsigned long kIdTimeout = 15;

// A frame: msgId, three zero bytes, the 32-bit count of message bytes not
// yet sent (this frame's included), then at most 120 bytes of the message.
constexpr unsigned long kFrameHeader = 8;
constexpr unsigned long kMaxFrame = 128;
constexpr unsigned long kMaxPayload = kMaxFrame - kFrameHeader;
// Room for any block a carrier hands over, with a margin.
constexpr unsigned long kFrameBuffer = 136;
constexpr unsigned char kAckMark = 0x0A;
constexpr unsigned char kIdentification[2] = {0x00, 0x05};
constexpr unsigned long kIdBuffer = 1024;

void PutDword(unsigned char* at, unsigned long value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

unsigned long GetDword(const unsigned char* at) {
    return static_cast<unsigned long>(at[0]) | static_cast<unsigned long>(at[1]) << 8 |
           static_cast<unsigned long>(at[2]) << 16 | static_cast<unsigned long>(at[3]) << 24;
}

unsigned char NextMsgId(unsigned char msgId) {
    return static_cast<unsigned char>((msgId + 1) % 255);
}

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
    const ErrorText* entry = kErrorTexts;
    while (entry->code != code && entry->code != 0xFFFF) ++entry;
    return const_cast<char*>(entry->text);
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
        unsigned char frame[kFrameBuffer] = {};
        msgId = NextMsgId(msgId);
        unsigned long left = length - sent;
        unsigned long n = left + kFrameHeader <= kMaxFrame ? left : kMaxPayload;
        frame[0] = msgId;
        PutDword(frame + 4, left);
        std::memcpy(frame + kFrameHeader, data + sent, n);
        LinkLog().Printf("  CRComObj::SendMessage: [%d] msgId=%0X msgLen=%lu\n", 0, msgId, left);
        unsigned short rc = Send(frame, n + kFrameHeader, m_dwDataTimeout);
        if (rc == RCO_OK) rc = WaitForAcknoledge(msgId);
        if (rc != RCO_OK) {
            LinkLog().Printf("**CRComObj::SendMessage (cr=%d)\n", rc);
            return rc;
        }
        sent += n;
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
        unsigned char frame[kFrameBuffer] = {};
        unsigned long got = 0;
        rc = Get(frame, &got, m_dwDataTimeout);
        if (rc != RCO_OK) break;
        if (got <= kFrameHeader) {
            rc = RCO_ZERO_LENGTH_MSG;
            break;
        }
        unsigned long msgLen = GetDword(frame + 4);
        LinkLog().Printf("  CRComObj::GetMessage: msgId=%0X msgLen=%lu\n", frame[0], msgLen);
        if (frame[0] != expected) {
            rc = RCO_WRONG_MSG_ID;
            break;
        }
        unsigned long payload = got - kFrameHeader;
        // Refused before it is acknowledged: nothing is written past the
        // buffer, and the sender's wait ends when the line is cleared.
        if (payload > capacity - total || msgLen > capacity - total) {
            LinkLog().Printf("**CRComObj::GetMessage message too long (msgLen=%lu capacity=%lu)\n",
                             msgLen, capacity - total);
            rc = RCO_ZERO_LENGTH_MSG;
            break;
        }
        std::memcpy(buffer + total, frame + kFrameHeader, payload);
        rc = SendAcknoledge(frame[0]);
        if (rc != RCO_OK) break;
        total += payload;
        expected = NextMsgId(expected);
        if (msgLen == payload) break;
    }
    length = rc == RCO_OK ? total : 0;
    LinkLog().Printf("--CRComObj::GetMessage (rc=%d) length=%lu\n", rc, length);
    if (length > 0) LinkLog().Dump("RECEIVED MSG", buffer, static_cast<std::int32_t>(length));
    return rc;
}

unsigned short CRComObj::SendAcknoledge(unsigned char msgId) {
    LinkLog().Write("++CRComObj::SendAcknowledge\n");
    unsigned char ack[2] = {msgId, kAckMark};
    if (Send(ack, sizeof ack, m_dwDataTimeout) != RCO_OK) return RCO_ACK_NOT_SENT;
    LinkLog().Printf("--CRComObj::SendAcknowledge: msgId=%0X\n", msgId);
    return RCO_OK;
}

unsigned short CRComObj::WaitForAcknoledge(unsigned char msgId) {
    LinkLog().Write("++CRComObj::WaitForAcknoledge\n");
    unsigned char block[kFrameBuffer] = {};
    unsigned long got = 0;
    unsigned short rc = Get(block, &got, m_dwDataTimeout);
    if (rc != RCO_OK || got != 2) {
        LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_ACK_NOT_RECEIVED)\n");
        LinkLog().Dump("ACK-MSG", block, static_cast<std::int32_t>(got));
        return RCO_ACK_NOT_RECEIVED;
    }
    if (block[1] != kAckMark) {
        LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_WRONG_RESP_ID)\n");
        return RCO_WRONG_RESP_ID;
    }
    if (block[0] != msgId) {
        LinkLog().Write("**CRComObj::WaitForAcknoledge (RCO_WRONG_MSG_ID)\n");
        return RCO_WRONG_MSG_ID;
    }
    LinkLog().Printf("GET-ACK: msgId=%0X\n", msgId);
    return RCO_OK;
}

unsigned short CRComObj::SendId() {
    LinkLog().Write("++CRComObj::SendId\n");
    unsigned char id[2] = {kIdentification[0], kIdentification[1]};
    if (Send(id, sizeof id, m_dwDataTimeout) != RCO_OK) return RCO_ID_NOT_SENT;
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
    if (got == 2 && block[0] == kIdentification[0] && block[1] == kIdentification[1]) {
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
    if (!block || length < 4 || block[0] != 0x01) return RCO_CALL_FAILED;
    unsigned short rc = SendAcknoledge(1);
    if (rc != RCO_OK) return rc;
    // The answer to its version request: the request's first four bytes,
    // then a response of one byte of data, the protocol version. Built apart
    // from the block, which may be no longer than those four bytes.
    unsigned char reply[9] = {};
    std::memcpy(reply, block, 4);
    PutDword(reply + 4, 1);
    reply[8] = '1';
    return SendMessage(reply, sizeof reply);
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
    if (got > kMaxFrame) {
        LinkLog().Printf("**CRComObj::Get block too long (%lu)\n", static_cast<unsigned long>(got));
        *length = 0;
        return RCO_CALL_FAILED;
    }
    *length = got;
    return rc;
}
