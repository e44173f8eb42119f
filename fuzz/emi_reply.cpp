// A UCP/EMI centre's replies to two submissions: the reply reader tells a
// result of operation 51 and takes its fields as the text for the user.
#include <cstdint>

#include "fuzz_support.h"
#include "scripted_centre.h"
#include "sms_emi.h"
#include "sms_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    emi::ReadReply(std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::Input in(data, size);
    fuzz::ScriptedCentre centre(in);
    CSMSEmi call;
    call.LimitReplyWaits(0);
    char number[] = "01722278000";
    char msn[] = "";
    if (call.Connect(number, msn, 200) != 0) return 0;
    call.Logon();
    call.SendSMSMessage("0", "0170000000", "Grüße aus Köln", "");
    call.ReplyText();
    call.SendSMSMessage("0", "0170000001", "zweite", "");
    call.ReplyText();
    call.Logout();
    return 0;
}
