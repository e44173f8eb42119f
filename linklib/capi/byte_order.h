// Little-endian numbers, as CAPI messages and the note link's frames carry
// them, read from and written to byte buffers of any alignment.
#pragma once

#include <cstdint>

namespace le {

inline std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t Dword(const std::uint8_t* p) {
    return Word(p) | static_cast<std::uint32_t>(Word(p + 2)) << 16;
}
inline std::uint64_t Qword(const std::uint8_t* p) {
    return Dword(p) | static_cast<std::uint64_t>(Dword(p + 4)) << 32;
}

inline void PutWord(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutDword(std::uint8_t* p, std::uint32_t v) {
    PutWord(p, static_cast<std::uint16_t>(v));
    PutWord(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void PutQword(std::uint8_t* p, std::uint64_t v) {
    PutDword(p, static_cast<std::uint32_t>(v));
    PutDword(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace le
