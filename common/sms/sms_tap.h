// TAP, the dial-in block protocol of the D1 and E-Plus SMS centres: logon
// after the centre's "ID=" prompt, one block per message with a
// three-character checksum, answered by ACK, NAK or RS, and logout.
#pragma once

#include "sms_centre_call.h"

// A pattern is a length byte followed by that many bytes.
namespace tap_pattern {
inline constexpr unsigned char SMSLogonMsg0[] = {3, 'I', 'D', '='};
inline constexpr unsigned char SMSLogonMsg1[] = {3, 0x0D, 0x06, 0x0D};
inline constexpr unsigned char SMSLogonMsg2[] = {4, 0x1B, '[', 'p', 0x0D};
inline constexpr unsigned char SMSLogoutMsg0[] = {3, 0x1B, 0x04, 0x0D};
inline constexpr unsigned char ACK[] = {3, 0x0D, 0x06, 0x0D};
inline constexpr unsigned char NAK[] = {3, 0x0D, 0x15, 0x0D};
inline constexpr unsigned char RS[] = {3, 0x0D, 0x1E, 0x0D};
}  // namespace tap_pattern

class CSMSTap : public CSMSCentreCall {
public:
    static constexpr int kNotConfirmed = 0xFFFE;

    CSMSTap();

    // 1 logged on, 0 failed, kNotConfirmed when the prompt came but the
    // acknowledgement or the go-ahead did not.
    int Logon();
    // Texts are UTF-8; the suffix follows the mapped text unmapped.
    // 1 when the centre acknowledged the block.
    int SendSMSMessage(const char* recipient, const char* text, const char* suffix);
    // 1 confirmed, 0 not sent, kNotConfirmed when the centre did not confirm.
    int Logout();

    // Reads until a reply ends in "=" or in CR, or after maxReads + 1 reads
    // of stepsPerRead wait steps each.
    int GetMessage(unsigned long stepsPerRead, unsigned long maxReads);
    int ScanMessage(const unsigned char* pattern);
    int GetAndScanMessage(const unsigned char* pattern);

private:
    int SendBytes(std::string_view bytes);
};
