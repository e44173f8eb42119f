// A centre that speaks TAP, the dial-in block protocol of paging and SMS
// centres: the caller's CR is answered with the prompt "ID=", its logon
// ESC "PG1" [password] CR with CR ACK CR and the go-ahead ESC "[p" CR;
// then every block STX recipient CR text CR ETX, three checksum characters
// and CR gets a coded answer ending in CR ACK CR, CR NAK CR or CR RS CR;
// EOT CR logs out with ESC EOT CR. Anything it cannot place is ignored,
// up to kSmsMaxUnanswered bytes in a row.
#pragma once

#include <string>

#include "sms_centre.h"

namespace capisim {

// The three checksum characters of a block: the sum of its bytes from STX
// through ETX, bits 11-8, 7-4 and 3-0 each as 0x30 plus their value.
std::string TapChecksum(const uint8_t* data, size_t size);
// The text of a block as Unicode (UTF-8), by the centre's character map.
std::string TapTextToUtf8(const std::string& bytes);

class TapCentre : public SmsCentreSession {
public:
    TapCentre(const SmsCentreConfig& config, uint64_t call, uint64_t& blocks);

    void Receive(const Bytes& data, std::chrono::system_clock::time_point now,
                 SmsCentreOutput& out) override;

private:
    enum class State {
        kAwaitCr,       // before the prompt
        kAwaitLogon,    // prompted
        kLogonRequest,  // after ESC
        kSkipLogon,     // a logon request too long to be one: up to its CR
        kReady,         // logged on (or taken as such), between blocks
        kEot,           // EOT between blocks: logout if CR follows
        kBlock,         // inside a block
        kLoggedOut,     // waits for the caller to clear
        kGone,          // has cleared the call
    };

    void Take(uint8_t byte, std::chrono::system_clock::time_point now, SmsCentreOutput& out);
    void OnLogonRequest(SmsCentreOutput& out);
    void OnLogout(SmsCentreOutput& out);
    void StartBlock(SmsCentreOutput& out);
    void TakeBlockByte(uint8_t byte, std::chrono::system_clock::time_point now,
                       SmsCentreOutput& out);
    void FinishBlock(std::chrono::system_clock::time_point now, SmsCentreOutput& out);
    // The first of the faults that decide a block's answer that applies to it.
    const SmsFault* BlockFault() const;
    void AnswerBlock(const std::string& reply, SmsCentreOutput& out);
    // The message of a complete block with its checksum right, or nullopt
    // when it is not laid out as one.
    std::optional<SmsMessage> ParseBlock() const;

    const SmsCentreConfig& config_;
    uint64_t call_;
    uint64_t& blocks_;
    State state_ = State::kAwaitCr;
    std::string buffer_;  // the logon request or block so far
    uint64_t block_ = 0;  // the number of the block being received
    int crs_ = 0;         // CRs in the block before its ETX
    size_t etx_ = 0;      // where the block's ETX is, 0 until it came
    size_t unanswered_ = 0;
};

}  // namespace capisim
