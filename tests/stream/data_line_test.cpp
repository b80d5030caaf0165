#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "config/Resolution.h"
#include "stream/DataLine.h"

using namespace quelt;

namespace {

// The usual channel order: DPTH ... PTEM, then SCAN and CSUM.
std::vector<LineChannel> usualChannels(int sampleCount, int scanType = 12) {
    std::vector<LineChannel> c = {
        {channel::DPTH, 4}, {channel::TIME, 4}, {channel::SHAN, 2}, {channel::BLNK, 3}, {channel::PEAK, 3},
        {channel::GAIN, 1}, {channel::RESO, 1}, {channel::STEP, 1}, {channel::BAUD, 1}, {channel::PULS, 1},
        {channel::NU, 1},   {channel::HX, 2},   {channel::GX, 2},   {channel::HY, 2},   {channel::GY, 2},
        {channel::HZ, 2},   {channel::GZ, 2},   {channel::NGAM, 3}, {channel::GCLK, 1}, {channel::TTEM, 1},
        {channel::PTEM, 1}};
    c.push_back({channel::SCAN, scanType, sampleCount});
    c.push_back({channel::CSUM, 3});
    return c;
}

// A full data frame of resolution `code`: header bytes i -> i, sample i = travel 1000 + i, amplitude i &
// 0xFF.
std::vector<std::uint8_t> fullFrame(int code, std::uint8_t gain = 5, std::uint8_t format = 0) {
    int n = samplesForResolution(code);
    size_t stride = (format == 6 && !(gain & 0x80)) ? 3 : 4;
    std::vector<std::uint8_t> f(40 + n * stride + 3);
    std::iota(f.begin(), f.begin() + 40, 0);
    f[17] = gain;
    f[18] = static_cast<std::uint8_t>(code);
    f[22] = format;
    for (int i = 0; i < n; ++i) {
        std::uint8_t* s = f.data() + 40 + i * stride;
        s[0] = static_cast<std::uint8_t>((1000 + i) & 0xFF);
        s[1] = static_cast<std::uint8_t>((1000 + i) >> 8);
        s[2] = static_cast<std::uint8_t>(i);
        if (stride == 4) s[3] = static_cast<std::uint8_t>(0xA0 + (i & 0x0F));
    }
    size_t tail = 40 + n * stride;
    f[tail] = 0xC1;
    f[tail + 1] = 0xC2;
    f[tail + 2] = 0x01;  // comm status
    return f;
}

}  // namespace

TEST(DataLineLayout, SizesAndOffsets) {
    EXPECT_EQ(
        makeLayout({{channel::DPTH, 4}, {channel::TIME, 4}, {channel::RESO, 0}, {channel::SCAN, 12, 180}})
            .lineSize,
        729u);
    LineLayout l = makeLayout({{channel::DPTH, 4}, {channel::SCAN, 10, 180}, {channel::GAIN, 1}});
    ASSERT_EQ(l.channels.size(), 3u);
    EXPECT_EQ(l.channels[1].offset, 4u);
    EXPECT_EQ(l.channels[2].offset, 544u);
    EXPECT_EQ(l.channels[2].sampleCount, 1);
    EXPECT_EQ(l.lineSize, 545u);
    EXPECT_EQ(makeLayout(usualChannels(180)).lineSize, 37u + 720u + 2u);
}

TEST(DataLineLayout, UnsoundHeadersAreNamed) {
    LineLayout l = makeLayout(usualChannels(180));
    EXPECT_EQ(checkLayout(l, l.lineSize), "");
    EXPECT_NE(checkLayout(l, 0), "");
    EXPECT_NE(checkLayout(l, l.lineSize - 1), "");
    EXPECT_NE(checkLayout(makeLayout({{channel::DPTH, 2}}), 2), "");
    EXPECT_NE(checkLayout(makeLayout({{channel::DPTH, 4}, {channel::SCAN, 12, 0}}), 4), "");
}

TEST(DataLine, UsualOrderCopiesTheFrameAtItsOffsetsAndReadsBack) {
    LineLayout layout = makeLayout(usualChannels(180));
    auto frame = fullFrame(2);
    std::vector<std::uint8_t> line;
    buildDataLine(frame, {12.3456, 273.9, 4567, false}, layout, line);
    ASSERT_EQ(line.size(), layout.lineSize);
    EXPECT_EQ(lineDepthField(line), 12345);
    // Line bytes 10..36 are frame bytes 13..39 (BLNK .. PTEM, with GAIN and RESO as sent).
    for (size_t i = 10; i < 37; ++i) {
        if (i == 14 || i == 15) continue;
        EXPECT_EQ(line[i], frame[i + 3]) << i;
    }
    ParsedLine p;
    parseDataLine(line, layout, p);
    EXPECT_EQ(p.values[0], 12345);
    EXPECT_EQ(p.values[1], 4567);
    EXPECT_EQ(p.values[2], 273);
    EXPECT_EQ(p.values[5], 5);                                         // GAIN
    EXPECT_EQ(p.values[6], 2);                                         // RESO
    EXPECT_EQ(p.values[11], static_cast<std::int16_t>(23 | 24 << 8));  // HX, signed
    ASSERT_EQ(p.sampleCount, 180);
    // Rotation 273.9: k = trunc((360 - 273.9) / 2) = 43.
    EXPECT_EQ(p.travelTimes[0], 1000 + 43);
    EXPECT_EQ(p.travelTimes[180 - 43], 1000);
    EXPECT_EQ(p.amplitudes[0], 43);
    EXPECT_FALSE(p.amplitudes16);
    // CSUM: the two frame bytes between the samples and the comm status, then the status itself.
    size_t csum = layout.channels.back().offset;
    EXPECT_EQ(line[csum], 0xC1);
    EXPECT_EQ(line[csum + 1], 0xC2);
}

TEST(DataLine, RotatedSamplesStartAtTheReferenceDirection) {
    LineLayout layout = makeLayout({{channel::DPTH, 4}, {channel::SCAN, 12, 180}});
    std::vector<std::uint8_t> line;
    buildDataLine(fullFrame(2), {1.0, 90.0, 0, false}, layout, line);
    ParsedLine p;
    parseDataLine(line, layout, p);
    EXPECT_EQ(p.travelTimes[0], 1000 + 135);
    EXPECT_EQ(p.travelTimes[45], 1000);
    EXPECT_EQ(p.travelTimes[44], 1000 + 179);
}

TEST(DataLine, DepthsInFeetAndTheirLimits) {
    LineLayout layout = makeLayout({{channel::DPTH, 4}});
    std::vector<std::uint8_t> line;
    buildDataLine(fullFrame(4), {100.0, 0, 0, true}, layout, line);
    EXPECT_EQ(lineDepthField(line), 328083);
    buildDataLine(fullFrame(4), {-1.0, 0, 0, false}, layout, line);
    EXPECT_EQ(lineDepthField(line), -1000);
    buildDataLine(fullFrame(4), {1e9, 0, 0, false}, layout, line);
    EXPECT_EQ(lineDepthField(line), 2147483647);
}

TEST(DataLine, AmplitudeLayoutFollowsTheGainOfTheLine) {
    LineLayout layout = makeLayout(usualChannels(90, 11));
    for (std::uint8_t gain : {std::uint8_t{128}, std::uint8_t{5}}) {
        SCOPED_TRACE(static_cast<int>(gain));
        auto frame = fullFrame(4, gain);
        std::vector<std::uint8_t> line;
        buildDataLine(frame, {1.0, 0, 0, false}, layout, line);
        ParsedLine p;
        parseDataLine(line, layout, p);
        ASSERT_EQ(p.sampleCount, 90);
        EXPECT_EQ(p.amplitudes16, gain == 128);
        EXPECT_EQ(p.amplitudes[7], gain == 128 ? (7 | (0xA7 << 8)) : 7);
        EXPECT_EQ(p.travelTimes[7], 1007);
    }
}

TEST(DataLine, ThreeByteSamplesFillTheDeclaredFourByteSlots) {
    LineLayout layout = makeLayout({{channel::DPTH, 4}, {channel::SCAN, 11, 90}, {channel::CSUM, 3}});
    auto frame = fullFrame(4, 5, 6);
    std::vector<std::uint8_t> line;
    buildDataLine(frame, {1.0, 0, 0, false}, layout, line);
    ASSERT_EQ(line.size(), 4u + 360u + 2u);
    EXPECT_EQ(line[4 + 4 * 3 + 2], 3);  // amplitude of sample 3
    EXPECT_EQ(line[4 + 4 * 3 + 3], 0);  // the empty fourth byte
    EXPECT_EQ(line[364], 0xC1);
}

TEST(DataLine, NeverReadsPastAShortOrOddFrame) {
    // Format 6 with automatic gain: four-byte samples; and frames cut anywhere.
    LineLayout layout = makeLayout(usualChannels(360));
    auto frame = fullFrame(1, 0x80, 6);
    for (size_t cut : {size_t{0}, size_t{10}, size_t{40}, size_t{41}, size_t{500}, frame.size()}) {
        std::vector<std::uint8_t> shortFrame(frame.begin(), frame.begin() + static_cast<long>(cut));
        std::vector<std::uint8_t> line;
        buildDataLine(shortFrame, {1.0, 0, 0, false}, layout, line);
        EXPECT_EQ(line.size(), layout.lineSize);
    }
}

TEST(DataLine, ParsingNeverReadsPastTheFieldsOfAnUnsoundLayout) {
    // Sample counts that disagree with their field (negative, or more than a revolution) read only what
    // the field holds.
    for (int count : {-5, 0, 1, 400}) {
        SCOPED_TRACE(count);
        LineLayout layout = makeLayout({{channel::DPTH, 4}, {channel::SCAN, 12, count}});
        std::vector<std::uint8_t> line(layout.lineSize, 0x22);
        ParsedLine parsed;
        parseDataLine(line, layout, parsed);
        EXPECT_EQ(parsed.sampleCount, std::clamp(count, 0, 360));
        EXPECT_LE(static_cast<size_t>(parsed.sampleCount) * 4, line.size() - 4);
    }
}
