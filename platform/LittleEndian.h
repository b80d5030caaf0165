#pragma once
// Little-endian access to byte buffers: every multi-byte value the program exchanges with the logger,
// and every binary field of its own files, is stored low byte first. One set for both directions, so
// the simulator writes a frame through the same functions the decoders read it with.

#include <cstdint>

namespace quelt {

inline std::uint16_t readLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t readLeI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(readLe16(p));
}
inline std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t readLeI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readLe32(p));
}
inline void writeLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void writeLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace quelt
