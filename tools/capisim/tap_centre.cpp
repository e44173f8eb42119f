#include "tap_centre.h"

#include <algorithm>

namespace capisim {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kEsc = 0x1B;

// "PG1" and a password of at most this many characters.
constexpr size_t kMaxLogonRequest = 3 + 16;

const std::string kPrompt = "ID=";
const std::string kLogonAccepted = "\r\x06\r";
const std::string kLogonAgain = "\r\x15\r";
const std::string kGoAhead = "\x1b[p\r";
const std::string kLogoutAnswer = "\x1b\x04\r";
const std::string kMessageAccepted = "211 Message accepted\r\x06\r";
const std::string kMessageRejected = "510 Message rejected\r\x15\r";
const std::string kChecksumError = "511 Checksum error\r\x15\r";
const std::string kBlockError = "512 Block error\r\x15\r";
const std::string kAbandoned = "513 Transaction abandoned\r\x1e\r";

void Reply(SmsCentreOutput& out, const std::string& text) {
    out.replies.emplace_back(text.begin(), text.end());
}

bool IsLogonRequest(const std::string& request) {
    if (request.rfind("PG1", 0) != 0 || request.size() > kMaxLogonRequest) return false;
    return std::all_of(request.begin() + 3, request.end(),
                       [](char c) { return c >= 0x20 && c < 0x7F; });
}

// The German letters and the section sign on the places of characters that
// a message seldom needs.
constexpr MappedCharacter kTapCharacters[] = {
    {0x24, U'§'}, {0x5B, U'Ä'}, {0x5C, U'Ö'}, {0x5E, U'Ü'},
    {0x1E, U'ß'}, {0x7B, U'ä'}, {0x7C, U'ö'}, {0x7E, U'ü'},
};

}  // namespace

std::string TapChecksum(const uint8_t* data, size_t size) {
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) sum += data[i];
    return {char(0x30 + ((sum >> 8) & 0xF)), char(0x30 + ((sum >> 4) & 0xF)),
            char(0x30 + (sum & 0xF))};
}

std::string TapTextToUtf8(const std::string& bytes) {
    return MapToUtf8(bytes, kTapCharacters);
}

TapCentre::TapCentre(const SmsCentreConfig& config, uint64_t call, uint64_t& blocks)
    : config_(config), call_(call), blocks_(blocks) {}

void TapCentre::Receive(const Bytes& data, std::chrono::system_clock::time_point now,
                        SmsCentreOutput& out) {
    for (uint8_t byte : data) {
        if (state_ == State::kGone) return;
        ++unanswered_;
        Take(byte, now, out);
        if (state_ != State::kGone && unanswered_ > kSmsMaxUnanswered) {
            out.hangUp = true;
            state_ = State::kGone;
        }
    }
}

void TapCentre::Take(uint8_t byte, std::chrono::system_clock::time_point now,
                     SmsCentreOutput& out) {
    switch (state_) {
        case State::kAwaitCr:
            if (byte != kCr) return;
            unanswered_ = 0;
            if (config_.Find({SmsFaultKind::kNoPrompt}, call_)) return;
            Reply(out, kPrompt);
            state_ = State::kAwaitLogon;
            return;
        case State::kAwaitLogon:
            // A caller repeats its CR while no prompt has reached it.
            if (byte == kCr) {
                unanswered_ = 0;
                Reply(out, kPrompt);
            } else if (byte == kEsc) {
                buffer_.clear();
                state_ = State::kLogonRequest;
            }
            return;
        case State::kLogonRequest:
            if (byte == kCr) return OnLogonRequest(out);
            if (byte == kEsc) return buffer_.clear();
            buffer_ += char(byte);
            if (buffer_.size() > kMaxLogonRequest) state_ = State::kSkipLogon;
            return;
        case State::kSkipLogon:
            if (byte == kCr) OnLogonRequest(out);
            return;
        case State::kReady:
            if (byte == kStx) return StartBlock(out);
            if (byte == kEot) state_ = State::kEot;
            return;
        case State::kEot:
            if (byte == kCr) return OnLogout(out);
            if (byte == kStx) return StartBlock(out);
            if (byte != kEot) state_ = State::kReady;
            return;
        case State::kBlock:
            return TakeBlockByte(byte, now, out);
        case State::kLoggedOut:
        case State::kGone:
            return;
    }
}

void TapCentre::OnLogonRequest(SmsCentreOutput& out) {
    unanswered_ = 0;
    bool valid = state_ == State::kLogonRequest && IsLogonRequest(buffer_);
    buffer_.clear();
    if (!valid) {
        Reply(out, kLogonAgain);
        state_ = State::kAwaitLogon;
        return;
    }
    // Even a logon left unanswered lets the blocks that follow through.
    state_ = State::kReady;
    if (config_.Find({SmsFaultKind::kPromptSilence}, call_)) return;
    Reply(out, kLogonAccepted);
    if (!config_.Find({SmsFaultKind::kNoGoAhead}, call_)) Reply(out, kGoAhead);
}

void TapCentre::OnLogout(SmsCentreOutput& out) {
    unanswered_ = 0;
    state_ = State::kLoggedOut;
    if (!config_.Find({SmsFaultKind::kNoLogout}, call_)) Reply(out, kLogoutAnswer);
}

void TapCentre::StartBlock(SmsCentreOutput& out) {
    block_ = ++blocks_;
    if (config_.Find({SmsFaultKind::kHangUp}, block_)) {
        out.hangUp = true;
        state_ = State::kGone;
        return;
    }
    buffer_.assign(1, char(kStx));
    crs_ = 0;
    etx_ = 0;
    state_ = State::kBlock;
}

// The block ends three checksum characters and a CR after its ETX. It is
// known to be broken as soon as the byte after the text's CR is no ETX, or
// a CR comes where a checksum character belongs; the rest of it is then
// ignored as what comes between blocks.
void TapCentre::TakeBlockByte(uint8_t byte, std::chrono::system_clock::time_point now,
                              SmsCentreOutput& out) {
    buffer_ += char(byte);
    if (etx_ == 0) {
        if (byte == kEtx) {
            etx_ = buffer_.size() - 1;
        } else if (crs_ == 2) {
            AnswerBlock(kBlockError, out);
        } else if (byte == kCr) {
            ++crs_;
        }
        return;
    }
    size_t after = buffer_.size() - 1 - etx_;
    if (after < 4) {
        if (byte == kCr) AnswerBlock(kBlockError, out);
        return;
    }
    FinishBlock(now, out);
}

void TapCentre::FinishBlock(std::chrono::system_clock::time_point now, SmsCentreOutput& out) {
    if (buffer_.back() != char(kCr)) return AnswerBlock(kBlockError, out);
    auto bytes = reinterpret_cast<const uint8_t*>(buffer_.data());
    if (buffer_.compare(etx_ + 1, 3, TapChecksum(bytes, etx_ + 1)) != 0) {
        return AnswerBlock(kChecksumError, out);
    }
    std::optional<SmsMessage> message = ParseBlock();
    if (!message) return AnswerBlock(kBlockError, out);
    if (const SmsFault* fault = BlockFault()) {
        return AnswerBlock(fault->kind == SmsFaultKind::kRs ? kAbandoned : kMessageRejected, out);
    }
    message->time = now;
    out.accepted.push_back(std::move(*message));
    AnswerBlock(kMessageAccepted, out);
}

const SmsFault* TapCentre::BlockFault() const {
    return config_.Find({SmsFaultKind::kNak, SmsFaultKind::kRs, SmsFaultKind::kSilenceAfterBlock},
                        block_);
}

// A block that a silence-after-block fault applies to gets no answer at
// all, whatever was wrong with it. A block with a mistake of its own gets
// the answer to that mistake rather than a forced NAK or RS, so that the
// mistake shows.
void TapCentre::AnswerBlock(const std::string& reply, SmsCentreOutput& out) {
    state_ = State::kReady;
    unanswered_ = 0;
    buffer_.clear();
    const SmsFault* fault = BlockFault();
    if (fault && fault->kind == SmsFaultKind::kSilenceAfterBlock) return;
    Reply(out, reply);
}

std::optional<SmsMessage> TapCentre::ParseBlock() const {
    size_t recipientEnd = buffer_.find(char(kCr), 1);
    if (recipientEnd == std::string::npos || recipientEnd + 1 >= etx_) return std::nullopt;
    if (buffer_[etx_ - 1] != char(kCr)) return std::nullopt;
    std::string recipient = buffer_.substr(1, recipientEnd - 1);
    std::string text = buffer_.substr(recipientEnd + 1, etx_ - 1 - (recipientEnd + 1));
    if (!AllDecimalDigits(recipient) || text.find(char(kCr)) != std::string::npos)
        return std::nullopt;
    SmsMessage message;
    message.recipient = recipient;
    message.text = TapTextToUtf8(text);
    return message;
}

}  // namespace capisim
