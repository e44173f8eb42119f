// A CAPI driver for tests: records what the link puts (with the data a
// DATA_B3_REQ points at) and hands out scripted incoming messages.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

#include "capi_access.h"
#include "capi_driver.h"
#include "capi_message.h"

using Bytes = std::vector<std::uint8_t>;

struct PutRecord {
    Bytes message;
    Bytes data;
    std::uint8_t Command() const { return message[4]; }
    std::uint8_t Subcommand() const { return message[5]; }
    std::uint16_t Number() const { return capi::Word(&message[6]); }
    Bytes Params() const { return Bytes(message.begin() + 8, message.end()); }
};

class ScriptedDriver : public CapiDriver {
public:
    bool usable = true;
    unsigned installed = 0;
    unsigned registerResult = 0;
    std::vector<PutRecord> puts;
    std::deque<Bytes> incoming;
    // What a get answers when no message waits (0x1104: the queue is empty).
    unsigned getResult = 0x1104;
    // Where the released ApplID is written; it outlives the driver.
    unsigned* releasedTo = nullptr;

    bool Usable() const override { return usable; }
    unsigned Installed() override { return installed; }
    unsigned Register(unsigned, unsigned, unsigned, unsigned* applId) override {
        *applId = 7;
        return registerResult;
    }
    unsigned Release(unsigned applId) override {
        if (releasedTo) *releasedTo = applId;
        return 0;
    }
    unsigned PutMessage(unsigned, std::uint8_t* m) override {
        PutRecord record{Bytes(m, m + capi::MsgLength(m)), {}};
        if (m[4] == capi::kDataB3 && m[5] == 0x80 && capi::MsgLength(m) >= 30) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(capi::Qword(m + 22));
            record.data.assign(data, data + capi::Word(m + 16));
        }
        puts.push_back(record);
        return 0;
    }
    unsigned GetMessage(unsigned, std::uint8_t** m) override {
        if (incoming.empty()) return getResult;
        current_ = incoming.front();
        incoming.pop_front();
        *m = current_.data();
        return 0;
    }

private:
    Bytes current_;
};

// An incoming message: header with the given number, then the parameters.
inline Bytes Message(std::uint8_t command, std::uint8_t subcommand, std::uint16_t number,
                     std::initializer_list<Bytes> params) {
    Bytes m{0, 0, 7, 0, command, subcommand, 0, 0};
    capi::PutWord(&m[6], number);
    for (const Bytes& p : params) m.insert(m.end(), p.begin(), p.end());
    capi::PutWord(&m[0], static_cast<std::uint16_t>(m.size()));
    return m;
}

inline Bytes Le16(std::uint16_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8)};
}
inline Bytes Le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
inline Bytes Le64(std::uint64_t v) {
    Bytes out = Le32(std::uint32_t(v));
    Bytes high = Le32(std::uint32_t(v >> 32));
    out.insert(out.end(), high.begin(), high.end());
    return out;
}
inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
