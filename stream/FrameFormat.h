#pragma once
// The parts of the uplink frame format the decoders read: lengths, sums, channel ids, comm status and
// baud texts, samples per revolution.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quelt::frame {

inline constexpr std::size_t kStatusLength = 16;
inline constexpr std::size_t kLogger19Length = 19;
inline constexpr std::size_t kLogger20Length = 20;
inline constexpr std::size_t kImageHeaderSize = 40;

// Channel identifiers.
enum Channel : int {
    DPTH = 1308,
    TIME,
    SHAN,
    BLNK,
    PEAK,
    GAIN,
    RESO,
    STEP,
    BAUD,
    PULS,
    NU,
    HX,
    GX,
    HY,
    GY,
    HZ,
    GZ,
    NGAM,
    GCLK,
    TTEM,
    PTEM,
    SCAN,
    CSUM,
    VOLT,
    AMP
};

// 16-bit sum of bytes [0, count) taken as unsigned.
inline std::uint16_t uplinkSum(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
}
inline std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t s16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(u16(p));
}
inline std::int32_t s32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

// Samples per revolution: 1 = 360, 2 = 180, 3 = 120, any other code = 90.
inline constexpr int samplesForResolution(int code) {
    return code == 1 ? 360 : code == 2 ? 180 : code == 3 ? 120 : 90;
}

// The texts of the set bits 1..7 of a comm status byte, in bit order (" - No Resp" ...).
std::string commStatusBitTexts(std::uint8_t status);
// The baud rate shown for an uphole divisor code ("312500" for 2 ...), "-" for an unknown code.
std::string baudRateText(int code);

}  // namespace quelt::frame
