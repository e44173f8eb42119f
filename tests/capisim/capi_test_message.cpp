#include "capi_test_message.h"

#include <cstdio>

namespace capitest {

MsgBuilder::MsgBuilder(uint8_t command, uint8_t subcommand, uint16_t number) {
    b_ = {0, 0, 0, 0, command, subcommand, uint8_t(number), uint8_t(number >> 8)};
}

MsgBuilder& MsgBuilder::Dword(uint32_t v) {
    for (int i = 0; i < 4; ++i) b_.push_back(uint8_t(v >> (8 * i)));
    return *this;
}

MsgBuilder& MsgBuilder::Word(uint16_t v) {
    b_.push_back(uint8_t(v));
    b_.push_back(uint8_t(v >> 8));
    return *this;
}

MsgBuilder& MsgBuilder::Qword(uint64_t v) {
    Dword(uint32_t(v));
    return Dword(uint32_t(v >> 32));
}

MsgBuilder& MsgBuilder::Struct(const Bytes& s) {
    if (s.size() < 255) {
        b_.push_back(uint8_t(s.size()));
    } else {
        b_.push_back(0xFF);
        Word(uint16_t(s.size()));
    }
    b_.insert(b_.end(), s.begin(), s.end());
    return *this;
}

Bytes MsgBuilder::Build() const {
    Bytes b = b_;
    b[0] = uint8_t(b.size());
    b[1] = uint8_t(b.size() >> 8);
    return b;
}

uint16_t Received::WordAt(size_t at) const {
    if (msg.size() < at + 2) return 0xFFFF;
    return uint16_t(msg[at] | msg[at + 1] << 8);
}

uint32_t Received::DwordAt(size_t at) const {
    if (msg.size() < at + 4) return 0xFFFFFFFF;
    return uint32_t(WordAt(at)) | uint32_t(WordAt(at + 2)) << 16;
}

Bytes Received::StructAt(size_t offset, size_t index) const {
    size_t at = offset;
    for (size_t i = 0;; ++i) {
        if (at >= msg.size()) return {};
        size_t length = msg[at++];
        if (length == 0xFF) {
            length = WordAt(at);
            at += 2;
        }
        if (at + length > msg.size()) return {};
        if (i == index) return Bytes(msg.begin() + at, msg.begin() + at + length);
        at += length;
    }
}

std::string Received::Name() const {
    return CommandName(Command(), Subcommand());
}

std::string CommandName(uint8_t command, uint8_t subcommand) {
    const char* name = nullptr;
    switch (command) {
        case ALERT:
            name = "ALERT";
            break;
        case CONNECT:
            name = "CONNECT";
            break;
        case CONNECT_ACTIVE:
            name = "CONNECT_ACTIVE";
            break;
        case DISCONNECT:
            name = "DISCONNECT";
            break;
        case LISTEN:
            name = "LISTEN";
            break;
        case INFO:
            name = "INFO";
            break;
        case FACILITY:
            name = "FACILITY";
            break;
        case CONNECT_B3:
            name = "CONNECT_B3";
            break;
        case CONNECT_B3_ACTIVE:
            name = "CONNECT_B3_ACTIVE";
            break;
        case DISCONNECT_B3:
            name = "DISCONNECT_B3";
            break;
        case DATA_B3:
            name = "DATA_B3";
            break;
        case RESET_B3:
            name = "RESET_B3";
            break;
        case MANUFACTURER:
            name = "MANUFACTURER";
            break;
    }
    char text[48];
    const char* subs[] = {"REQ", "CONF", "IND", "RESP"};
    bool knownSub = subcommand >= REQ && subcommand <= RESP;
    if (name && knownSub) {
        snprintf(text, sizeof text, "%s_%s", name, subs[subcommand - REQ]);
    } else {
        snprintf(text, sizeof text, "0x%02X/0x%02X", command, subcommand);
    }
    return text;
}

Bytes CalledParty(const std::string& digits) {
    Bytes s{0x80};
    s.insert(s.end(), digits.begin(), digits.end());
    return s;
}

Bytes CallingParty(const std::string& digits) {
    Bytes s{0x00, 0x80};
    s.insert(s.end(), digits.begin(), digits.end());
    return s;
}

std::string CalledDigits(const Bytes& s) {
    return s.size() > 1 ? std::string(s.begin() + 1, s.end()) : "";
}

std::string CallingDigits(const Bytes& s) {
    if (s.empty()) return "";
    size_t skip = (s[0] & 0x80) ? 1 : 2;
    return s.size() > skip ? std::string(s.begin() + skip, s.end()) : "";
}

Bytes ListenReq(uint32_t cipMask, uint32_t controller) {
    return MsgBuilder(LISTEN, REQ, 1)
        .Dword(controller)
        .Dword(0)
        .Dword(cipMask)
        .Dword(0)
        .Struct(Bytes{})
        .Struct(Bytes{})
        .Build();
}

Bytes ConnectReq(const std::string& called, const std::string& calling, uint16_t cip,
                 uint32_t controller) {
    // B1 64 kbit/s HDLC, B2 X.75, B3 transparent, each without configuration.
    Bytes bProtocol{0, 0, 0, 0, 0, 0, 0, 0, 0};
    MsgBuilder b(CONNECT, REQ, 2);
    b.Dword(controller).Word(cip).Struct(CalledParty(called)).Struct(CallingParty(calling));
    b.Struct(Bytes{}).Struct(Bytes{}).Struct(bProtocol);
    for (int i = 0; i < 4; ++i) b.Struct(Bytes{});
    return b.Build();
}

Bytes ConnectResp(uint32_t plci, uint16_t reject, uint16_t number) {
    MsgBuilder b(CONNECT, RESP, number);
    b.Dword(plci).Word(reject);
    for (int i = 0; i < 5; ++i) b.Struct(Bytes{});
    return b.Build();
}

Bytes AlertReq(uint32_t plci) {
    return MsgBuilder(ALERT, REQ, 3).Dword(plci).Struct(Bytes{}).Build();
}

Bytes ConnectActiveResp(uint32_t plci, uint16_t number) {
    return MsgBuilder(CONNECT_ACTIVE, RESP, number).Dword(plci).Build();
}

Bytes ConnectB3Req(uint32_t plci) {
    return MsgBuilder(CONNECT_B3, REQ, 4).Dword(plci).Struct(Bytes{}).Build();
}

Bytes ConnectB3Resp(uint32_t ncci, uint16_t reject, uint16_t number) {
    return MsgBuilder(CONNECT_B3, RESP, number).Dword(ncci).Word(reject).Struct(Bytes{}).Build();
}

Bytes ConnectB3ActiveResp(uint32_t ncci, uint16_t number) {
    return MsgBuilder(CONNECT_B3_ACTIVE, RESP, number).Dword(ncci).Build();
}

Bytes DataB3Req(uint32_t ncci, uint16_t length, uint16_t handle, bool data64) {
    MsgBuilder b(DATA_B3, REQ, handle);
    b.Dword(ncci).Dword(0).Word(length).Word(handle).Word(0);
    if (data64) b.Qword(0);
    return b.Build();
}

Bytes DataB3Resp(uint32_t ncci, uint16_t handle, uint16_t number) {
    return MsgBuilder(DATA_B3, RESP, number).Dword(ncci).Word(handle).Build();
}

Bytes DisconnectB3Req(uint32_t ncci) {
    return MsgBuilder(DISCONNECT_B3, REQ, 5).Dword(ncci).Struct(Bytes{}).Build();
}

Bytes DisconnectB3Resp(uint32_t ncci, uint16_t number) {
    return MsgBuilder(DISCONNECT_B3, RESP, number).Dword(ncci).Build();
}

Bytes DisconnectReq(uint32_t plci) {
    return MsgBuilder(DISCONNECT, REQ, 6).Dword(plci).Struct(Bytes{}).Build();
}

Bytes DisconnectResp(uint32_t plci, uint16_t number) {
    return MsgBuilder(DISCONNECT, RESP, number).Dword(plci).Build();
}

}  // namespace capitest
