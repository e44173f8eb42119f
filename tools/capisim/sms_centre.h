// The SMS centres that answer calls to their numbers themselves: what a
// number's entry configures (the protocol and the faults the centre is to
// show), and the protocol machine that serves one call. A machine takes the
// bytes that came over the B channel and the time, and hands back the
// replies, the messages it accepted and whether it clears the call, so tests
// drive it without a call or a clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire.h"

namespace capisim {

enum class SmsProtocol { kTap, kEmi };

// "tap" or "emi", as the message log names them.
const char* ProtocolName(SmsProtocol protocol);

enum class SmsFaultKind {
    // TAP only
    kNak,
    kRs,
    kNoPrompt,
    kPromptSilence,
    kNoGoAhead,
    kNoLogout,
    // EMI only
    kNegative,
    // both
    kSilenceAfterBlock,
    kHangUp,
};

struct SmsFault {
    SmsFaultKind kind = SmsFaultKind::kNak;
    // 0: every call or block; else only the N-th since capisim started.
    uint64_t only = 0;
    // The answer of kNegative.
    std::string code;
    std::string text;

    bool AppliesTo(uint64_t n) const { return only == 0 || only == n; }
};

struct SmsCentreConfig {
    SmsProtocol protocol = SmsProtocol::kTap;
    std::vector<SmsFault> faults;

    // The first fault, in the order configured, of one of these kinds that
    // applies to the n-th call or block; null when none does.
    const SmsFault* Find(std::initializer_list<SmsFaultKind> kinds, uint64_t n) const;
};

// "sms-tap" or "sms-emi", then faults separated by blanks. On a mistake
// returns nullopt with a German message in error.
std::optional<SmsCentreConfig> ParseSmsCentre(const std::string& value, std::string& error);
// The value starts with a centre's protocol word.
bool NamesSmsCentre(const std::string& value);

struct SmsMessage {
    std::chrono::system_clock::time_point time;
    std::string originator;  // UTF-8, empty when the protocol carries none
    std::string recipient;
    std::string text;  // UTF-8
};

struct SmsCentreOutput {
    std::vector<Bytes> replies;  // each meant to reach the caller as one block
    std::vector<SmsMessage> accepted;
    bool hangUp = false;  // the centre clears the call
};

// A centre clears the call when this many bytes in a row make up nothing
// it can answer: what a caller sends is then beyond recovery, and holding
// more would only grow the buffers.
constexpr size_t kSmsMaxUnanswered = 4096;

class SmsCentreSession {
public:
    virtual ~SmsCentreSession() = default;
    // The bytes of one block from the caller, in any cut.
    virtual void Receive(const Bytes& data, std::chrono::system_clock::time_point now,
                         SmsCentreOutput& out) = 0;
};

// The machine for the call-th call to a centre; blocks counts the message
// blocks (or frames) that centre has received, across its calls. config
// and blocks must outlive the session.
std::unique_ptr<SmsCentreSession> MakeSmsCentreSession(const SmsCentreConfig& config, uint64_t call,
                                                       uint64_t& blocks);

// Not empty, and nothing but 0 to 9.
bool AllDecimalDigits(const std::string& text);

// Appends the code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// A byte that a centre's character map reads as another character.
struct MappedCharacter {
    uint8_t byte;
    char32_t character;
};
// Text as UTF-8: the mapped bytes as their characters, the other bytes up
// to 0x7F as ASCII, every byte from 0x80 on as U+FFFD.
std::string MapToUtf8(const std::string& bytes, std::span<const MappedCharacter> map = {});
inline std::string AsciiToUtf8(const std::string& bytes) {
    return MapToUtf8(bytes);
}

}  // namespace capisim
