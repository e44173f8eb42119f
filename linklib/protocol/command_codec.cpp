#include "command_codec.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"

namespace remote {

namespace {

struct Command {
    std::uint8_t id;
    const char* name;
};

constexpr Command kCommands[] = {
    {kVersion, "VERSION"},
    {kNote, "NOTE"},
    {kRawNote, "RAWNOTE"},
    {kShutdown, "SHDOWN"},
};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(const char* name, const char* tableName) {
    for (; *name && *tableName; ++name, ++tableName) {
        if (Upper(*name) != *tableName) return false;
    }
    return *name == *tableName;
}

std::vector<std::uint8_t> Message(std::uint8_t id, const std::uint8_t* data, std::size_t length) {
    std::vector<std::uint8_t> m(kHeader + length);
    m[0] = id;
    le::PutDword(m.data() + 4, static_cast<std::uint32_t>(length));
    if (length > 0) std::memcpy(m.data() + kHeader, data, length);
    return m;
}

Received Read(const std::uint8_t* message, std::size_t size) {
    std::uint8_t header[kHeader] = {};
    if (message) std::memcpy(header, message, std::min(size, kHeader));
    std::size_t came = size > kHeader ? size - kHeader : 0;
    Received r;
    r.id = header[0];
    r.result = le::Word(header + 2);
    r.length = static_cast<std::uint32_t>(std::min<std::size_t>(le::Dword(header + 4), came));
    return r;
}

}  // namespace

const char* CommandName(std::uint8_t id) {
    for (const Command& c : kCommands) {
        if (c.id == id) return c.name;
    }
    return nullptr;
}

std::uint8_t CommandId(const char* name) {
    if (!name) return kNoCommand;
    for (const Command& c : kCommands) {
        if (SameName(name, c.name)) return c.id;
    }
    return kNoCommand;
}

std::vector<std::uint8_t> Request(std::uint8_t id, const std::uint8_t* args, std::size_t length) {
    return Message(id, args, length);
}

std::vector<std::uint8_t> Response(std::uint8_t id, std::uint16_t result, const std::uint8_t* data,
                                   std::size_t length) {
    std::vector<std::uint8_t> m = Message(id, data, length);
    le::PutWord(m.data() + 2, result);
    return m;
}

Received ReadRequest(const std::uint8_t* message, std::size_t size) {
    Received r = Read(message, size);
    r.result = 0;
    return r;
}

Received ReadResponse(const std::uint8_t* message, std::size_t size) {
    return Read(message, size);
}

}  // namespace remote
