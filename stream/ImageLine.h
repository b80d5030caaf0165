#pragma once
// One revolution of the acoustic head, as the decoders and the log reader leave it for the picture and
// the log writer. One process-wide instance, overwritten line by line.

#include <array>
#include <cstddef>
#include <cstdint>

#include "config/Resolution.h"

namespace quelt {

struct ImageLine {
    static constexpr std::size_t kSampleLineSize = 764;
    static constexpr std::size_t kAmplitudeOffset = 404;  // amplitudes in the sample line
    static constexpr std::size_t kRawLineSize = 730;
    static constexpr std::size_t kRawAmplitudeOffset = 365;  // amplitudes in the raw line
    static constexpr std::size_t kRawResolutionIndex = 361;
    static constexpr std::size_t kRawGainIndex = 362;  // gain read-back, bit 7 = automatic gain

    // Bytes 0..N-1: travel times scaled to 0..255; bytes 404..404+N-1: amplitudes 0..255. The bytes
    // past N of each half keep what an earlier line of higher resolution left there.
    std::array<std::uint8_t, kSampleLineSize> sampleLine{};
    // Values 0..N-1: raw travel times; 365..365+N-1: the amplitudes of the sample line; 361: the
    // resolution code; 362: the gain read-back byte.
    std::array<std::uint16_t, kRawLineSize> rawLine{};
    int samplesPerTurn = 180;        // N: 360, 180, 120 or 90 for resolution codes 1 to 4
    std::uint8_t lineDirection = 1;  // 1 logging downwards (depth increasing), 0 upwards
    double step = 0.0;               // vertical distance between two revolutions, mm

    std::uint8_t travelTime(std::size_t i) const { return sampleLine[i]; }
    std::uint8_t amplitude(std::size_t i) const { return sampleLine[kAmplitudeOffset + i]; }
};

}  // namespace quelt
