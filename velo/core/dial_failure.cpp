#include "dial_failure.h"

std::optional<std::string> KnownDialFailure(unsigned short reason) {
    switch (reason) {
        case 0x3491:
            return "Die gewählte Rufnummer ist besetzt! Versuchen Sie es später nochmal.";
        case 0x3492:
            return "Der Teilnehmer antwortet nicht!. Wahrscheinlich ist die gewählte "
                   "Telvora-Rufnummer falsch.";
        case 0x34D8:
            return "Der Teilnehmer ist nicht erreichbar!. Der Anrufmonitor wurde beim Empfänger  "
                   "nicht gestartet, oder er ist  für diese Telvora- Rufnummer nicht konfiguriert.";
        default:
            return std::nullopt;
    }
}
