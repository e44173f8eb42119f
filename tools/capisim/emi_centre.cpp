#include "emi_centre.h"

#include <algorithm>
#include <ctime>

namespace capisim {
namespace {

constexpr char kFrameStart = 0x02;
constexpr char kFrameEnd = 0x03;

// TRN, LEN, O/R and OT, then the fields of operation 51: AdC, OAdC, 16
// fields up to DSCTS, MT, NB, Msg and 12 fields up to RES5.
constexpr size_t kHeaderFields = 4;
constexpr size_t kSubmitFields = 33;
constexpr size_t kAdC = 4;
constexpr size_t kOAdC = 5;
constexpr size_t kMt = 22;
constexpr size_t kMsg = 24;
constexpr size_t kMaxAddress = 16;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> FromHex(const std::string& hex) {
    if (hex.size() % 2) return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = HexValue(hex[i]);
        int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += char(high << 4 | low);
    }
    return bytes;
}

// The fields of text in which every field is followed by "/".
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t slash; (slash = text.find('/', start)) != std::string::npos; start = slash + 1) {
        fields.push_back(text.substr(start, slash - start));
    }
    return fields;
}

std::string ServiceCentreTime(std::chrono::system_clock::time_point t) {
    time_t seconds = std::chrono::system_clock::to_time_t(t);
    struct tm utc;
    gmtime_r(&seconds, &utc);
    char text[16];
    strftime(text, sizeof text, "%d%m%y%H%M%S", &utc);
    return text;
}

struct Submission {
    std::string trn = "00";
    std::string errorCode;  // empty when the frame is a good operation 51
    std::string errorText;
    SmsMessage message;
};

Submission Refused(Submission s, const char* code, const char* text) {
    s.errorCode = code;
    s.errorText = text;
    return s;
}

// Checks a frame's body in the order a centre reads it: the checksum, then
// the header, then the operation's fields.
Submission ReadSubmission(const std::string& body) {
    Submission s;
    if (body.size() >= 3 && AllDecimalDigits(body.substr(0, 2)) && body[2] == '/')
        s.trn = body.substr(0, 2);
    const char* syntax = "Syntax error";
    if (body.size() < 3 || body[body.size() - 3] != '/') return Refused(s, "02", syntax);
    std::string checked = body.substr(0, body.size() - 2);
    if (body.compare(checked.size(), 2, EmiChecksum(checked)) != 0) {
        return Refused(s, "01", "Checksum error");
    }
    std::vector<std::string> f = Fields(checked);
    if (f.size() < kHeaderFields || f[0].size() != 2 || !AllDecimalDigits(f[0])) {
        return Refused(s, "02", syntax);
    }
    if (f[1].size() != 5 || !AllDecimalDigits(f[1]) || std::stoul(f[1]) != body.size()) {
        return Refused(s, "02", syntax);
    }
    if (f[2] != "O" || f[3].size() != 2 || !AllDecimalDigits(f[3])) return Refused(s, "02", syntax);
    if (f[3] != "51") return Refused(s, "03", "Operation not supported");
    if (f.size() != kHeaderFields + kSubmitFields) return Refused(s, "02", syntax);
    const std::string& recipient = f[kAdC];
    auto text = FromHex(f[kMsg]);
    if (!AllDecimalDigits(recipient) || recipient.size() > kMaxAddress || f[kMt] != "3" || !text) {
        return Refused(s, "02", syntax);
    }
    s.message.recipient = recipient;
    s.message.originator = AsciiToUtf8(f[kOAdC]);
    s.message.text = EmiTextToUtf8(*text);
    return s;
}

// The German letters and the section sign on the places of characters that
// a message seldom needs.
constexpr MappedCharacter kEmiCharacters[] = {
    {0x5E, U'§'}, {0x5B, U'Ä'}, {0x5C, U'Ö'}, {0x5D, U'Ü'},
    {0x7E, U'ß'}, {0x7B, U'ä'}, {0x7C, U'ö'}, {0x7D, U'ü'},
};

}  // namespace

std::string EmiChecksum(const std::string& text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char hex[4];
    snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
    return hex;
}

Bytes EmiFrame(const std::string& trn, const std::string& fields) {
    size_t length = trn.size() + 1 + 5 + 1 + fields.size() + 2;
    char len[8];
    snprintf(len, sizeof len, "%05zu", length % 100000);
    std::string body = trn + "/" + len + "/" + fields;
    body += EmiChecksum(body);
    std::string frame = kFrameStart + body + kFrameEnd;
    return Bytes(frame.begin(), frame.end());
}

std::string EmiTextToUtf8(const std::string& bytes) {
    return MapToUtf8(bytes, kEmiCharacters);
}

EmiCentre::EmiCentre(const SmsCentreConfig& config, uint64_t& frames)
    : config_(config), frames_(frames) {}

void EmiCentre::Receive(const Bytes& data, std::chrono::system_clock::time_point now,
                        SmsCentreOutput& out) {
    for (uint8_t byte : data) {
        if (gone_) return;
        ++unanswered_;
        // A frame cut short by the start of another is dropped unanswered:
        // its end, which would say how to answer it, never came.
        if (byte == kFrameStart) {
            StartFrame(out);
        } else if (inFrame_ && byte == kFrameEnd) {
            FinishFrame(now, out);
        } else if (inFrame_) {
            body_ += char(byte);
        }
        if (!gone_ && unanswered_ > kSmsMaxUnanswered) {
            out.hangUp = true;
            gone_ = true;
        }
    }
}

void EmiCentre::StartFrame(SmsCentreOutput& out) {
    frame_ = ++frames_;
    body_.clear();
    inFrame_ = true;
    if (!config_.Find({SmsFaultKind::kHangUp}, frame_)) return;
    out.hangUp = true;
    gone_ = true;
}

// A frame with a mistake of its own gets the answer to that mistake rather
// than a forced negative one, so that the mistake shows; silence-after-block
// leaves every frame it applies to unanswered.
void EmiCentre::FinishFrame(std::chrono::system_clock::time_point now, SmsCentreOutput& out) {
    inFrame_ = false;
    unanswered_ = 0;
    const SmsFault* fault =
        config_.Find({SmsFaultKind::kNegative, SmsFaultKind::kSilenceAfterBlock}, frame_);
    if (fault && fault->kind == SmsFaultKind::kSilenceAfterBlock) return;
    Submission s = ReadSubmission(body_);
    body_.clear();
    if (s.errorCode.empty() && fault) {
        s.errorCode = fault->code;
        s.errorText = fault->text;
    }
    if (!s.errorCode.empty()) {
        out.replies.push_back(EmiFrame(s.trn, "R/51/N/" + s.errorCode + "/" + s.errorText + "/"));
        return;
    }
    s.message.time = now;
    std::string answer = "R/51/A//" + s.message.recipient + ":" + ServiceCentreTime(now) + "/";
    out.accepted.push_back(std::move(s.message));
    out.replies.push_back(EmiFrame(s.trn, answer));
}

}  // namespace capisim
