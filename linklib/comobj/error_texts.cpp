#include "error_texts.h"

#include "corvane.h"

namespace {

struct Entry {
    unsigned short code;
    const char* text;
};

constexpr Entry kErrorTexts[] = {
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

}  // namespace

const char* ErrorText(unsigned short code) {
    const Entry* entry = kErrorTexts;
    while (entry->code != code && entry->code != 0xFFFF) ++entry;
    return entry->text;
}
