#pragma once
// The data line of a log: one fixed-size record per accepted revolution, one field per channel in the
// order of the channel list. Building a line from a full data frame and parsing a line back are the two
// halves of one layout, kept here together.
//
// Sample types are little-endian integers: even types signed, odd types unsigned (0 int8, 1 uint8,
// 2 int16, 3 uint16, 4 int32, 5 uint32, 6 int64, 7 uint64); 8 and 9 are 4- and 8-byte fields that
// readers skip; 10 holds N three-byte samples, 11 N four-byte samples in frame order, 12 N four-byte
// samples rotated to the reference direction. Every line has exactly the size the header declares.
// Field widths and depth units are those of the header (config/Header.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/SondeDatabase.h"

namespace quelt {

struct LineChannel {
    int kind = 0;  // ChannelKind, or any other code (a field the writer leaves zero)
    int sampleType = 0;
    int sampleCount = 1;  // 1, or N for types 10..12
    size_t offset = 0;    // byte offset in the line
    size_t width = 0;     // bytes in the line
};

struct LineLayout {
    std::vector<LineChannel> channels;
    size_t lineSize = 0;
};

// A layout from channels in line order (kind, type, count); offsets and widths follow.
LineLayout makeLayout(const std::vector<LineChannel>& channels);
// Checks a layout read from a header against its declared line size; an empty text when it is sound.
std::string checkLayout(const LineLayout& layout, size_t declaredLineSize);

// What the writer needs beside the frame.
struct LineInputs {
    double depth = 0;         // metres
    double rotation = 0;      // degrees, the live rotation of the line
    std::int32_t timeMs = 0;  // recorded time
    bool imperial = false;    // depths in thousandths of a foot
};

// Builds one line into `out` (resized to the layout's line size). `frame` is a whole full data frame
// (header at 0..39, samples from 40). Never reads past the frame, never writes past the line.
void buildDataLine(std::span<const std::uint8_t> frame, const LineInputs& in, const LineLayout& layout,
                   std::vector<std::uint8_t>& out);

// The value of one plain field (sample types 0..7) of a line as parseDataLine reads it; 0 when the
// line is too short to hold it.
std::int64_t channelValue(std::span<const std::uint8_t> line, const LineChannel& channel);

// The depth field of a line (its first four bytes) as stored.
std::int32_t lineDepthField(std::span<const std::uint8_t> line);

// One line parsed back: the value of every scalar channel, the samples of the sample channel.
struct ParsedLine {
    std::vector<std::int64_t> values;  // per channel index; 0 for skipped fields and sample channels
    int sampleCount = 0;               // samples read from the first sample channel of type 11 or 12
    std::array<std::uint16_t, 360> travelTimes{};
    std::array<std::uint16_t, 360> amplitudes{};  // 8-bit amplitudes, or 16-bit with automatic gain
    bool amplitudes16 = false;
    std::uint8_t lastByte = 0;  // the byte after the amplitude of the last sample (four-byte layout)
    std::array<std::uint8_t, 37> head{};  // the first 37 bytes of the line
};

// The amplitude layout follows the GAIN value read earlier in the line: 128 16-bit amplitudes, 192
// one-byte amplitudes in three-byte samples, anything else one-byte amplitudes in four-byte samples.
// Each field is always advanced by its declared width.
void parseDataLine(std::span<const std::uint8_t> line, const LineLayout& layout, ParsedLine& out);

}  // namespace quelt
