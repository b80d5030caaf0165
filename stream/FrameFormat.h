#pragma once
// What the decoders need of the uplink frame format beyond link/Frames.h: the body sum, samples per
// revolution, the comm status and baud texts.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quelt::frame {

// 16-bit sum of bytes [0, count) taken as unsigned.
inline std::uint16_t uplinkSum(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<std::uint16_t>(sum + bytes[i]);
    return sum;
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
