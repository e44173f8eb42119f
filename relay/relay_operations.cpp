#include "relay_operations.h"

namespace {

constexpr const char* kNotImplemented = "FEHLER: Funktion nicht implementiert";
constexpr const char* kSmsSent = "Notiz wurde als SMS-Nachricht gesendet";
constexpr const char* kSmsNotSent = "FEHLER: Notiz konnte nicht als SMS-Nachricht gesendet werden!";

constexpr RelayOperation kOperations[] = {
    {"Unbekannte Funktion", nullptr, "", kNotImplemented, nullptr, false},
    {"MailNote", "++IN_SERVICE_WSEMAIL\n", "Notiz wurde als Email weitergeleitet",
     "FEHLER: Notiz konnte nicht als Email weitergeleitet werden!", SendNoteByMail, false},
    {"SaveNote", "++IN_SERVICE_FILE\n", "Notiz wurde in Datei angehängt",
     "FEHLER: Notiz konnte nicht in Datei angehängt werden!", AppendNoteToFile, false},
    {"D1-SMS", "++IN_SERVICE_TAP\n", kSmsSent, kSmsNotSent, SendNoteAsSms, true},
    {"D2-SMS", "++IN_SERVICE_EMI\n", "Notiz wurde als D2-SMS-Nachricht gesendet",
     "FEHLER: Notiz konnte nicht als D2-SMS-Nachricht gesendet werden!", SendNoteAsSms, true},
    {"E-Plus-SMS", "++IN_SERVICE_TAP\n", kSmsSent, kSmsNotSent, SendNoteAsSms, true},
    {"PrintNote", "++IN_SERVICE_UNKNOWN\n", "", kNotImplemented, nullptr, false},
    {"MS-ExchNote", "++IN_SERVICE_UNKNOWN\n", "", kNotImplemented, nullptr, false},
    {"MS-ExchNote", "++IN_SERVICE_UNKNOWN\n", "", kNotImplemented, nullptr, false},
};

}  // namespace

const RelayOperation& RelayOperationFor(int code) {
    constexpr int kCount = sizeof kOperations / sizeof kOperations[0];
    return code >= 1 && code < kCount ? kOperations[code] : kOperations[0];
}
