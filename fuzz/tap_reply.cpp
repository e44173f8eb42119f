// A TAP centre's replies to logon, one message and logout: the reply reader
// scans them for the protocol's marks and keeps their text for the user.
#include <cstdint>

#include "fuzz_support.h"
#include "scripted_centre.h"
#include "sms_frames.h"
#include "sms_tap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tap::ReplyText(std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::Input in(data, size);
    fuzz::ScriptedCentre centre(in);
    CSMSTap call;
    call.LimitReplyWaits(0);
    char number[] = "0193";
    char msn[] = "";
    if (call.Connect(number, msn, 200) != 0) return 0;
    call.Logon();
    call.SendSMSMessage("0170000000", "Grüße aus Köln", "");
    call.ReplyText();
    call.Logout();
    return 0;
}
