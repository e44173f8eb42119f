#include "sms_log.h"

namespace capisim {

std::string SmsJsonLine(const SmsRecord& r) {
    return "{\"time\":" + JsonTime(r.time) + ",\"centre\":" + JsonString(r.centre) +
           ",\"protocol\":" + JsonString(r.protocol) +
           ",\"calling_number\":" + JsonString(r.callingNumber) +
           ",\"originator\":" + JsonString(r.originator) +
           ",\"recipient\":" + JsonString(r.recipient) + ",\"text\":" + JsonString(r.text) + "}";
}

}  // namespace capisim
