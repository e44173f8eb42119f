// Operation 1: the message by e-mail, with the dial-up connection before
// and after when the profile asks for it.
#include <chrono>

#include "format.h"
#include "mail_sender.h"
#include "ras_connection.h"
#include "relay_message.h"
#include "relay_operations.h"
#include "textcodec.h"

namespace {

// The reply time-out of the parameter file ("mailReplyTimeout", ms), if any.
void ApplyReplyTimeout(const RelayParameters& params, CMailSender& sender) {
    long ms = params.ReadNumber(relay_key::kMailReplyTimeout);
    if (ms > 0) sender.SetReplyTimeout(std::chrono::milliseconds(ms));
}

}  // namespace

bool SendNoteByMail(const RelayContext& context) {
    const RelayParameters& p = context.params;
    std::string host = p.Read(relay_key::kHost), port = p.Read(relay_key::kPort);
    std::string from = p.Read(relay_key::kFrom), to = p.Read(relay_key::kTo);
    std::string cc = p.Read(relay_key::kCc), subject = p.Read(relay_key::kSubject);
    std::optional<std::string> text = ReadMessageText(p);
    if (!text) return false;
    int mode = ConnectionMode::FromText(p.Read(relay_key::kConnectionMode));

    CRasConnection dialUp(&context.log);
    if (ConnectionMode::DialFirst(mode)) {
        std::string entry = p.Read(relay_key::kDialUpEntry);
        if (!dialUp.Connect(entry)) {
            p.Fail(FormatText("RAS-Verbindung '%s' fehlgeschlagen (%s)", entry.c_str(),
                              dialUp.ErrorText().c_str()));
            return false;
        }
    }
    auto hangUp = [&] {
        if (ConnectionMode::HangUpAfter(mode)) dialUp.HangUp();
    };

    CMailSender sender;
    ApplyReplyTimeout(p, sender);
    if (sender.Connect(host.c_str(), port.c_str()) != 1) {
        p.Fail(FormatText("Could not connect to: %s:%s", host.c_str(), port.c_str()));
        sender.Close();
        hangUp();
        return false;
    }
    bool sent = sender.SendMail(from, to, cc, subject, TextAsUtf8(*text)) == 1;
    if (!sent) p.Fail(sender.ErrorText());
    sender.Close();
    hangUp();
    return sent;
}
