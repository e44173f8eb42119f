// The remote commands as bytes: the table of commands, and the request and
// response that carry one over a link as one framed message each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace remote {

enum : std::uint8_t {
    kVersion = 0x01,
    kNote = 0x10,
    kRawNote = 0x11,
    kShutdown = 0x20,
    kNoCommand = 0xFF,
};
// Result of a request whose command the server does not know.
constexpr std::uint16_t kUnknownCommand = 255;
// Request: id, three zero bytes, 32-bit argument length, the arguments.
// Response: id, a zero byte, 16-bit result, 32-bit data length, the data.
constexpr std::size_t kHeader = 8;

// "VERSION", "NOTE", "RAWNOTE", "SHDOWN"; null for an id not in the table.
const char* CommandName(std::uint8_t id);
// The id of a name in any case of its ASCII letters; kNoCommand for none.
std::uint8_t CommandId(const char* name);

std::vector<std::uint8_t> Request(std::uint8_t id, const std::uint8_t* args, std::size_t length);
std::vector<std::uint8_t> Response(std::uint8_t id, std::uint16_t result, const std::uint8_t* data,
                                   std::size_t length);

// A message as received: the fields of its header (missing bytes of a short
// one read as zero), and the length it claims cut to what actually came.
struct Received {
    std::uint8_t id = 0;
    std::uint16_t result = 0;  // responses only
    std::uint32_t length = 0;
};
Received ReadRequest(const std::uint8_t* message, std::size_t size);
Received ReadResponse(const std::uint8_t* message, std::size_t size);

}  // namespace remote
