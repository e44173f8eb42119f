#include "reason_texts.h"

#include <cstdio>

namespace {

struct ReasonEntry {
    std::uint16_t code;
    const char* text;
};

// Looked up front to back; the order is the one users' reports refer to.
constexpr ReasonEntry kReasonTexts[] = {
    {0x1001, "Zu viele CAPI-Anwendungen[#1001]"},
    {0x1002, "Logische Blockgröße zu gering, mindestens 128 Bytes erforderlich[#1002]"},
    {0x1003, "Puffer überschreitet 64-kByte-Grenze[#1003]"},
    {0x1004, "Nachrichtenpuffer zu klein, mindestens 1024 Bytes erforderlich[#1004]"},
    {0x1005, "Max. Anzahl logischer Verbindungen nicht unterstützt[#1005]"},
    {0x1007, "Wegen interner Überlastung kann die Nachricht nicht angenommen werden[#1007]"},
    {0x1008, "Betriebssystem-Ressourcen erschöpft (z.B. Speichermangel)[#1008]"},
    {0x1009, "Common-ISDN-API Version 2.0 ist nicht installiert[#1009]"},
    {0x100A, "Controller unterstützt keine externen Geräte[#100A]"},
    {0x100B, "Controller unterstützt nur externe Geräte[#100B]"},
    {0x1101, "Unzulässige Anwendungsnummer[#1101]"},
    {0x1102, "Unzulässiges Kommando oder Subkommando oder Nachricht kleiner als 12 Byte[#1102]"},
    {0x1103,
     "Die Nachricht konnte wegen Überlauf der Warteschlange nicht angenommen werden! Nachrichten "
     "für andere PLCI oder NCCI sind davon nicht berührt[#1103]"},
    {0x1105,
     "Überlauf der Warteschlange, eine Nachricht ging verloren! Konfigurationsfehler, die "
     "Anwendung muß sich von der CAPI abmelden[#1105]"},
    {0x1106, "Unbekannter Parameter[#1106]"},
    {0x1107, "Wegen interner Überlastung kann die Nachricht nicht angenommen werden[#1107]"},
    {0x1108, "Betriebssystem-Ressourcen erschöpft (z.B. Speichermangel)[#1108]"},
    {0x1109, "Common-ISDN-API Version 2.0 ist nicht installiert[#1109]"},
    {0x110A, "Controller unterstützt keine externen Geräte[#110A]"},
    {0x110B, "Controller unterstützt nur externe Geräte[#110B]"},
    {0x2001, "Nachricht wird im aktuellem Zustand nicht unterstützt[#2001]"},
    {0x2002, "Ungültiger Controller / PLCI / NCCI[#2002]"},
    {0x2003, "Keine freien PLCI[#2003]"},
    {0x2004, "Keine freien NCCI[#2004]"},
    {0x2005, "Keine freien LISTEN[#2005]"},
    {0x2006, "Keine freien Ressourcen für FAX-Betrieb (Protokoll- T.30)[#2006]"},
    {0x2007, "Ungültige Nachrichtenparameter[#2007]"},
    {0x3001, "B1 Protokoll nicht unterstützt[#3001]"},
    {0x3002, "B2 Protokoll nicht unterstützt[#3002]"},
    {0x3003, "B3 Protokoll nicht unterstützt[#3003]"},
    {0x3004, "B1 Protokoll Parameter nicht unterstützt[#3004]"},
    {0x3005, "B2 Protokoll Parameter nicht unterstützt[#3005]"},
    {0x3006, "B3 Protokoll Parameter nicht unterstützt[#3006]"},
    {0x3007, "Kombination der B-Protokolle nicht unterstützt[#3007]"},
    {0x3008, "NCPI nicht unterstützt[#3008]"},
    {0x3009, "CIP-Wert unbekannt[#3009]"},
    {0x300A, "Flags nicht unterstützt (reservierte Bits)[#300A]"},
    {0x300B, "Eigenschaft nicht unterstützt[#300B]"},
    {0x300C, "Länge der Daten vom aktuellen Protokoll nicht unterstützt[#300C]"},
    {0x300D, "Rücksetzprozedur vom aktuellen Protokoll nicht unterstützt[#300D]"},
    {0x3301,
     "Protokollfehler Ebene 1 (Verbindung unterbrochen oder B-Kanal vom Steuerprotokoll "
     "geschlossen)[#3301]"},
    {0x3302, "Protokollfehler Ebene 2[#3302]"},
    {0x3303, "Protokollfehler Ebene 3[#3303]"},
    {0x3304, "Eine andere Anwendung erhielt den Ruf[#3304]"},
    {0x3311, "Verbindungsaufbau erfolglos (Gegenstelle ist kein FAX-G3-Gerät)[#3311]"},
    {0x3312, "Verbindungsaufbau erfolglos (Einstellungsfehler)[#3312]"},
    {0x3313,
     "Verbindungsabbau vor der Übertragung (Gegenstelle läßt Übertragung nicht zu, z.B. falsche "
     "Auflösung)[#3313]"},
    {0x3314, "Verbindungsabbau während der Übertragung (Abbruch von Gegenstelle)[#3314]"},
    {0x3315,
     "Verbindungsabbau während der Übertragung (Ausführungsfehler, z.B. erfolglose Wiederholung "
     "der T.30-Befehle)[#3315]"},
    {0x3316, "Verbindungsabbau während der Übertragung (keine Daten zum Senden vorhanden)[#3316]"},
    {0x3317, "Verbindungsabbau während der Übertragung (Überlauf bei Datenempfang)[#3317]"},
    {0x3318, "Verbindungsabbau während der Übertragung (Abbruch von diesem Gerät)[#3318]"},
    {0x3319, "Ungültige Parameter (z.B. Fehler in den SFF-Daten)[#3319]"},
    {0x3400, "Keine ISDN-Verbindung. Grund unbekannt[#3400]"},
    {0x3490, "Normaler Verbindungsabbau[#3490]"},
    {0x349A, "Nicht gewählte (non-selected) Teilnehmerfreigabe[#349A]"},
    {0x349F, "Keine ISDN-Verbindung. Grund unbekannt[#349F]"},
    {0x3481, "Unbekannte Nummer[#3481]"},
    {0x3482, "Keine Verbindung zum angegebenen Netzwerk[#3482]"},
    {0x3483, "Keine Verbindung zur Gegenstelle[#3483]"},
    {0x3486, "Kanal nicht annehmbar[#3486]"},
    {0x3487, "Ruf angenommen und an bestehende Verbindung weitergeleitet[#3487]"},
    {0x3491, "Teilnehmer besetzt[#3491]"},
    {0x3492, "Teilnehmer antwortet nicht[#3492]"},
    {0x3493, "Teilnehmer antwortet nicht (Teilnehmer hat aber signalisiert)[#3493]"},
    {0x3495, "Ruf abgewiesen[#3495]"},
    {0x3496, "Nummer hat sich geändert[#3496]"},
    {0x349B, "Gegenstelle defekt[#349B]"},
    {0x349C, "Nummer hat ungültiges Format[#349C]"},
    {0x349D, "Übermittlungseigenschaft abgewiesen[#349D]"},
    {0x349E, "Antwort auf Statusabfrage[#349E]"},
    {0x34A2, "Kein Kanal verfügbar[#34A2]"},
    {0x34A6, "Netzwerk defekt[#34A6]"},
    {0x34A9, "Vorübergehender Fehler[#34A9]"},
    {0x34AA, "Überlastung der Vermittlungseinrichtung[#34AA]"},
    {0x34AB, "Zugriffsdaten abgewiesen[#34AB]"},
    {0x34AC, "Angeforderter Kanal nicht verfügbar[#34AC]"},
    {0x34AF, "Ressourcen nicht verfügbar, keine nähere Angabe[#34AF]"},
    {0x34B1, "Dienst nicht verfügbar[#34B1]"},
    {0x34B2, "Angefordertes Dienstmerkmal nicht verfügbar[#34B2]"},
    {0x34B9, "Übermittlungseigenschaft (Bearer capability) nicht zugelassen[#34B9]"},
    {0x34BA, "Übermittlungseigenschaft (Bearer capability) zeitweilig nicht verfügbar[#34BA]"},
    {0x34BF, "Dienst oder Option nicht verfügbar, keine nähere Angabe[#34BF]"},
    {0x34C1, "Übermittlungseigenschaft (Bearer capability) nicht implementiert[#34C1]"},
    {0x34C2, "Kanaltyp nicht implementiert[#34C2]"},
    {0x34C5, "Angeforderte Eigenschaft nicht implementiert[#34C5]"},
    {0x34C6,
     "Nur Übermittlungseigenschaft (Bearer capability) für beschränkte/begrenzte digitale "
     "Informationen verfügbar[#34C6]"},
    {0x34CF, "Dienst oder Option nicht implementiert, keine nähere Angabe[#34CF]"},
    {0x34D1, "Ungültiger Wert der Verbindungskennung[#34D1]"},
    {0x34D2, "Angegebener Kanal existiert nicht[#34D2]"},
    {0x34D3, "Ein unterbrochener Ruf existiert, diese Rufkennung aber nicht[#34D3]"},
    {0x34D4, "Rufkennung vergeben[#34D4]"},
    {0x34D5, "Kein Ruf beendet[#34D5]"},
    {0x34D6, "Ruf mit der angeforderten Kennung wurde zurückgesetzt[#34D6]"},
    {0x34D8, "Gegenstelle nicht kompatibel[#34D8]"},
    {0x34DB, "Ungültige Auswahl des Übertragungsnetzwerkes[#34DB]"},
    {0x34DF, "Ungültige Nachricht, keine nähere Angabe[#34DF]"},
    {0x34E0, "Erforderliches Nachrichtenelement nicht vorhanden[#34E0]"},
    {0x34E1, "Nachrichtentyp existiert nicht oder ist nicht implementiert[#34E1]"},
    {0x34E2,
     "Nachrichtentyp inkompatibel zum Rufstatus oder Nachrichtentyp existiert nicht bzw. ist nicht "
     "implementiert[#34E2]"},
    {0x34E3, "Nachrichtenelement existiert nicht oder ist nicht implementiert[#34E3]"},
    {0x34E4, "Ungültiger Inhalt im Nachrichtenelement[#34E4]"},
    {0x34E5, "Nachrichtentyp inkompatibel zum Rufstatus[#34E5]"},
    {0x34E6, "Abbruch nach Timeout[#34E6]"},
    {0x34EF, "Protokollfehler, keine nähere Angabe[#34EF]"},
    {0x34FF, "Netzbenutzung, keine nähere Angabe[#34FF]"},
    {0xFFFF, nullptr},
};

}  // namespace

std::size_t ReasonTableSize() {
    return sizeof kReasonTexts / sizeof kReasonTexts[0] - 1;
}

std::uint16_t ReasonTableCode(std::size_t index) {
    return kReasonTexts[index].code;
}

const char* ReasonText(std::uint16_t reason) {
    for (const ReasonEntry* entry = kReasonTexts; entry->code != 0xFFFF; ++entry) {
        if (entry->code == reason) return entry->text;
    }
    // One buffer per thread: a lookup on the dispatch thread cannot change
    // the text a caller is still reading.
    thread_local char unknown[32];
    std::snprintf(unknown, sizeof unknown, "ISDN-Fehler #:0x%X", reason);
    return unknown;
}
