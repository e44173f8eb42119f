#include "sms_frames.h"

namespace tap {

std::string Checksum(std::string_view stxThroughEtx) {
    unsigned sum = 0;
    for (char c : stxThroughEtx) sum += static_cast<unsigned char>(c);
    std::string digits;
    for (int shift : {8, 4, 0}) digits += static_cast<char>(0x30 + ((sum >> shift) & 0x0F));
    return digits;
}

std::string Block(std::string_view recipient, std::string_view wireText) {
    std::string block;
    block += kStx;
    block += recipient;
    block += kCr;
    block += wireText;
    block += kCr;
    block += kEtx;
    block += Checksum(block);
    block += kCr;
    return block;
}

std::string ReplyText(std::string_view reply) {
    std::string text;
    for (char c : reply) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) text += c;
    }
    return text;
}

}  // namespace tap

namespace emi {

std::string Checksum(std::string_view text) {
    unsigned sum = 0;
    for (char c : text) sum += static_cast<unsigned char>(c);
    static const char kHex[] = "0123456789ABCDEF";
    return {kHex[(sum >> 4) & 0x0F], kHex[sum & 0x0F]};
}

std::string SubmitFrame(std::string_view originator, std::string_view recipient,
                        std::string_view wireText) {
    static const char kHex[] = "0123456789ABCDEF";
    // Between STX and the checksum; LEN is filled in once the length is known.
    std::string body = "01/00000/O/51/";
    body += recipient;
    body += '/';
    body += originator;
    body += '/';
    body += std::string(16, '/');  // AC to DSCTS
    body += "3/";                  // MT: alphanumeric
    body += '/';                   // NB
    for (char c : wireText) {
        auto b = static_cast<unsigned char>(c);
        body += kHex[b >> 4];
        body += kHex[b & 0x0F];
    }
    body += '/';
    body += std::string(12, '/');  // MMS to RES5
    std::string length = std::to_string(body.size() + 2);
    body.replace(3 + 5 - length.size(), length.size(), length);
    std::string frame;
    frame += kStx;
    frame += body;
    frame += Checksum(body);
    frame += kEtx;
    return frame;
}

Reply ReadReply(std::string_view reply) {
    Reply r;
    if (reply.size() < 16 || reply[10] != 'R' || reply.substr(12, 2) != "51") return r;
    r.isResult = true;
    r.accepted = reply[15] == 'A';
    size_t at = 17;
    for (int field = 0; field < 2 && at < reply.size(); ++field) {
        size_t slash = reply.find('/', at);
        size_t end = slash == std::string_view::npos ? reply.size() : slash + 1;
        r.fields += reply.substr(at, end - at);
        at = end;
    }
    return r;
}

}  // namespace emi
