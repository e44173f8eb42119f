#include "note_sender.h"

#include <cstdio>

#include "config_keys.h"
#include "dial_failure.h"
#include "dial_string.h"
#include "field_text.h"
#include "format.h"
#include "mobile_networks.h"
#include "utf8.h"

namespace {

constexpr unsigned short kCommandNotFound = 16;
constexpr unsigned short kRemoteCommandFailed = 17;

}  // namespace

std::string NoteSender::CommandLine(int version, const std::string& programId,
                                    const std::string& ownNumber, const std::string& ownName,
                                    const std::string& subject, const std::string& text) {
    // The receiver splits the line at "|": a bar inside a field would shift
    // the fields behind it. The text comes last and may hold any.
    std::string fields = BarsToBrokenBars(ownNumber) + "|" + BarsToBrokenBars(ownName) + "|" +
                         BarsToBrokenBars(subject) + "|" + text;
    if (version < 1) return "note " + fields;
    return "rawNote 1.1|" + BarsToBrokenBars(programId) + "||" + fields;
}

bool NoteSender::Fail(SendProgress& progress, const std::string& status) {
    progress.Status(status);
    progress.Report(false, "");
    return false;
}

std::string NoteSender::DialFailure(unsigned short reason, const std::string& dial,
                                    const std::string& reasonText) const {
    if (auto known = KnownDialFailure(reason)) return *known;
    return FormatText("Verbindung zu '%s' konnte nicht aufgebaut werden!. Grund: [%s]",
                      dial.c_str(), reasonText.c_str());
}

void NoteSender::CountSent() {
    settings_.CountUp(cfg::kNotesSent);
}

bool NoteSender::Send(const NoteToSend& note, SendProgress& progress, std::time_t now) {
    std::string ownName = settings_.Read(cfg::kSenderName);
    std::string ownNumber = settings_.Read(cfg::kSenderTelephone);
    while (ownName.empty() || ownNumber.empty()) {
        if (!progress.Ask("Die Absenderangaben sind nicht vollständig!\n"
                          "Möchten Sie diese jetzt eingeben?") ||
            !progress.EditSettings()) {
            return false;
        }
        ownName = settings_.Read(cfg::kSenderName);
        ownNumber = settings_.Read(cfg::kSenderTelephone);
    }
    std::string msn = settings_.Read(cfg::kSenderMsn);
    std::string dial =
        DialString(settings_, settings_.Read(cfg::kNoteTariffPlan), note.number, now);

    // Letters or no digits at all would dial something else than the user
    // wrote, or the bare prefixes.
    if (!IsDiallableNumber(note.number)) {
        return Fail(progress, FormatText(kWrongRecipientFormat, note.number.c_str()));
    }
    if (note.text.empty()) return Fail(progress, "Notiztext konnte nicht gefunden werden!");
    if (Utf8Chars(note.text) > kMaxTextChars) {
        return Fail(progress,
                    "Notiz ist zu groß!. Sie können Notizen bis zu einer Größe von 2048 bytes "
                    "senden.");
    }
    std::unique_ptr<NoteLink> link = makeLink_ ? makeLink_() : nullptr;
    if (!link) return Fail(progress, "Kommunikationsobjekt kann nicht erzeugt werden!");

    progress.Status(FormatText("Verbindungsaufbau (%s) ...", dial.c_str()));
    if (link->Connect(dial, msn, kConnectSteps) != 0) {
        link->Disconnect(0);
        unsigned short reason = 0;
        std::string reasonText = link->DisconnectInfo(reason);
        return Fail(progress, DialFailure(reason, dial, reasonText));
    }
    progress.Status("Gegenstelle identifizieren...");
    if (link->RequestId() != 0) {
        link->Disconnect(kHangUpSteps);
        return Fail(progress,
                    "Gegenstelle hat geantwortet aber sie ist nicht kompatibel zu Telvora!\n"
                    "Überprüfen Sie bitte, ob die angebene Nummer auch von\n"
                    "einem anderen Programm (z.B. Fax-Programm) benuzt wird.");
    }
    progress.Status("Sende Notiz...");
    int version = -1;
    unsigned short rc = link->GetServerVersion(version);
    if (rc != 0 && rc != kCommandNotFound) {
        link->Disconnect(kHangUpSteps);
        return Fail(progress,
                    FormatText("Versionsabfrage fehlgeschlagen!. Grund: [%s]",
                               link->ErrorText(rc).c_str()));
    }
    rc = link->ExecRemCmd(
        CommandLine(version, programId_, ownNumber, ownName, note.subject, note.text));
    // A response came, but the receiver may not have been able to store
    // the note: that is no success.
    if (rc == 0 && link->RemoteResult() != 0) rc = kRemoteCommandFailed;
    if (rc != 0) {
        link->Disconnect(kHangUpSteps);
        return Fail(progress, FormatText("Notiz konnte nicht übermittelt werden!. Grund: [%s]",
                                         link->ErrorText(rc).c_str()));
    }
    std::string reply = link->ResponseText();
    progress.Status("Verbindungsabbau...");
    rc = link->Disconnect(kHangUpSteps);
    if (rc != 0) rc = link->Disconnect(0);
    if (rc != 0) {
        progress.Status(
            FormatText("Notiz wurde übermittelt, Vebindungsabbau fehlgeschlagen!. Grund: [%s]",
                       link->ErrorText(rc).c_str()));
    }
    progress.Report(true, reply);
    CountSent();
    return true;
}
