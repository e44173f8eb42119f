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

unsigned short CRComObj::Send(unsigned char* block, unsigned long length, unsigned long) {
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    return m_pLinkInterface->Send(block, static_cast<DWORD>(length));
}

unsigned short CRComObj::Get(unsigned char* block, unsigned long* length, unsigned long waitSteps) {
    if (!m_pLinkInterface) return RCO_CALL_FAILED;
    DWORD got = 0;
    unsigned short rc = m_pLinkInterface->Get(block, got, static_cast<DWORD>(waitSteps));
    *length = got;
    return rc;
}
