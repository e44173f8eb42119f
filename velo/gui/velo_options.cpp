#include "velo_options.h"

VeloOptions ParseVeloOptions(const std::vector<std::string>& args) {
    VeloOptions o;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") o.help = true;
        o.newItemStart = a == "-n";
    }
    return o;
}

const char* const kVeloUsage =
    "Aufruf: velo [-n] [-h|--help]\n"
    "\n"
    "velo ist das Hauptprogramm von Telvora: es zeigt die Ordner mit den\n"
    "empfangenen und gesendeten ISDN-Notizen, den Anrufen, SMS und E-Mails,\n"
    "schreibt neue Nachrichten und sendet Notizen über eine direkte ISDN-Verbindung.\n"
    "Es läuft einmal je Benutzer und Installation; ein zweiter Start holt das\n"
    "Fenster des ersten nach vorn und endet.\n"
    "\n"
    "  -n          Start durch den Anrufmonitor (quorlin) nach einer neuen Notiz:\n"
    "              ein laufendes velo bleibt, wie es ist, und holt die Notiz selbst ab.\n"
    "  -h, --help  zeigt diese Hilfe.\n"
    "\n"
    "Dateien: im Installationsverzeichnis ($TELVORA_HOME, sonst $XDG_DATA_HOME/telvora,\n"
    "ohne XDG_DATA_HOME ~/.local/share/telvora, beim ersten Start angelegt)\n"
    "Telvora.cfg (Einstellungen), Velo.log (Protokoll bei [Parameters] debug=1) und,\n"
    "wenn ~/.config/Quillmark/Telvora.reg kein anderes StoreDir nennt, die\n"
    "Notizablage Notes.dat. Die ISDN-Leitung nennt ~/.capi20rc.\n"
    "\n"
    "Ohne grafische Anzeige endet velo mit Status 1; 'telvora' bietet die Ordner\n"
    "und das Senden auf der Kommandozeile.\n";
