#include "quorlin_options.h"

QuorlinOptions ParseOptions(const std::vector<std::string>& args, std::string& error) {
    QuorlinOptions options;
    error.clear();
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--no-monitor") {
            options.noMonitor = true;
        } else {
            error = "Unbekannte Option \"" + arg + "\" (quorlin --help zeigt die Optionen).";
            return options;
        }
    }
    return options;
}

std::string UsageText() {
    return "Aufruf: quorlin [--no-monitor]\n"
           "\n"
           "Anrufbeantworter und Anrufmonitor von Telvora: nimmt Notizen anderer Stationen\n"
           "über ISDN-Datenverbindungen an und legt jeden Telefonanruf im Ordner der Anrufe\n"
           "ab, ohne ihn anzunehmen. Läuft im Vordergrund bis SIGTERM oder SIGINT (Strg+C).\n"
           "\n"
           "  --no-monitor  keine Telefonanrufe erfassen, nur Notizen annehmen\n"
           "  -h, --help    diese Hilfe\n"
           "\n"
           "Das Installationsverzeichnis ist $TELVORA_HOME, sonst $XDG_DATA_HOME/telvora\n"
           "(ohne XDG_DATA_HOME ~/.local/share/telvora, beim ersten Start angelegt); dort\n"
           "liegen Telvora.cfg und (ohne StoreDir) der Notizspeicher. Die ISDN-Leitung\n"
           "bestimmt ~/.capi20rc, sonst /etc/capi20.conf.\n";
}
