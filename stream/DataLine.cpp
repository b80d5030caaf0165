#include "stream/DataLine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "config/Header.h"
#include "config/Resolution.h"
#include "link/Frames.h"
#include "platform/Text.h"

namespace quelt {

namespace {

std::int64_t readLe(const std::uint8_t* p, size_t width, bool isSigned) {
    std::uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    if (isSigned && width < 8 && (v >> (8 * width - 1)) & 1) v |= ~0ULL << (8 * width);
    return static_cast<std::int64_t>(v);
}

void writeLe(std::uint8_t* p, size_t width, std::int64_t value) {
    auto u = static_cast<std::uint64_t>(value);
    for (size_t i = 0; i < width; ++i)
        p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// The frame offset of each kind copied from the frame.
int frameOffset(int kind) {
    switch (kind) {
        case channel::BLNK:
            return static_cast<int>(image::kBlanking);
        case channel::PEAK:
            return static_cast<int>(image::kWindow);
        case channel::GAIN:
            return static_cast<int>(image::kGain);
        case channel::RESO:
            return static_cast<int>(image::kResolution);
        case channel::STEP:
            return static_cast<int>(image::kMotorPeriod);
        case channel::BAUD:
            return static_cast<int>(image::kBaud);
        case channel::PULS:
            return static_cast<int>(image::kPulse);
        case channel::NU:
            return static_cast<int>(image::kFormat);
        case channel::HX:
            return static_cast<int>(image::kHx);
        case channel::GX:
            return static_cast<int>(image::kGx);
        case channel::HY:
            return static_cast<int>(image::kHy);
        case channel::GY:
            return static_cast<int>(image::kGy);
        case channel::HZ:
            return static_cast<int>(image::kHz);
        case channel::GZ:
            return static_cast<int>(image::kGz);
        case channel::NGAM:
            return static_cast<int>(image::kGamma);
        case channel::GCLK:
            return static_cast<int>(image::kGammaClock);
        case channel::TTEM:
            return static_cast<int>(image::kToolTemp);
        case channel::PTEM:
            return static_cast<int>(image::kProbeTemp);
        case channel::VOLT:
            return static_cast<int>(image::kVoltage);
        case channel::AMP:
            return static_cast<int>(image::kCurrent);
        default:
            return -1;
    }
}

bool isSampleType(int type) {
    return type >= 10 && type <= 12;
}

}  // namespace

LineLayout makeLayout(const std::vector<LineChannel>& channels) {
    LineLayout layout;
    for (LineChannel c : channels) {
        if (!isSampleType(c.sampleType)) c.sampleCount = 1;
        c.offset = layout.lineSize;
        c.width = static_cast<size_t>(channelFieldBytes(c.sampleType, c.sampleCount));
        layout.lineSize += c.width;
        layout.channels.push_back(c);
    }
    return layout;
}

std::string checkLayout(const LineLayout& layout, size_t declaredLineSize) {
    if (declaredLineSize == 0) return "The header declares no line size (RecLineSize is 0).";
    if (layout.channels.empty()) return "The header declares no channel.";
    for (size_t i = 0; i < layout.channels.size(); ++i) {
        const LineChannel& c = layout.channels[i];
        if (isSampleType(c.sampleType) && (c.sampleCount < 1 || c.sampleCount > 360))
            return format("Channel %zu declares %d samples per revolution.", i, c.sampleCount);
        if (c.offset + c.width > declaredLineSize)
            return format("Channel %zu runs past the end of the %zu-byte line.", i, declaredLineSize);
    }
    const LineChannel& first = layout.channels.front();
    if (first.width != 4) return "The first channel of the line is not a four-byte depth.";
    return {};
}

void buildDataLine(std::span<const std::uint8_t> frame, const LineInputs& in, const LineLayout& layout,
                   std::vector<std::uint8_t>& out) {
    out.assign(layout.lineSize, 0);
    const size_t frameSize = frame.size();
    auto frameByte = [&](size_t i) -> std::uint8_t { return i < frameSize ? frame[i] : 0; };
    const int resolution = frameByte(image::kResolution);
    const int n = samplesForResolution(resolution);
    const size_t stride =
        static_cast<size_t>(sampleStride(frameByte(image::kFormat), frameByte(image::kGain)));
    // Samples present in the frame: never more than N, never past the frame's end.
    size_t available = frameSize > image::kHeaderSize ? (frameSize - image::kHeaderSize) / stride : 0;
    const size_t frameSamples = std::min(static_cast<size_t>(n), available);
    size_t afterLastCopied = 0;  // frame offset after the last field copied from the frame

    for (const LineChannel& c : layout.channels) {
        std::uint8_t* field = out.data() + c.offset;
        const size_t w = c.width;
        if (w == 0) continue;
        switch (c.kind) {
            case channel::DPTH:
                writeLe(field, std::min<size_t>(w, 4), depthToFileUnits(in.depth, in.imperial ? 1 : 0));
                continue;
            case channel::TIME:
                writeLe(field, std::min<size_t>(w, 4), in.timeMs);
                continue;
            case channel::SHAN:
                writeLe(field, std::min<size_t>(w, 2), static_cast<std::int32_t>(std::trunc(in.rotation)));
                continue;
            case channel::SCAN: {
                if (!isSampleType(c.sampleType)) break;
                const size_t slot = c.sampleType == 10 ? 3 : 4;
                const size_t count = std::min(frameSamples, static_cast<size_t>(c.sampleCount));
                size_t start = 0;
                if (c.sampleType == 12 && count > 0) {
                    double perSample = 360.0 / static_cast<double>(n);
                    double k = std::trunc((360.0 - in.rotation) / perSample);
                    long kk = static_cast<long>(k) % static_cast<long>(count);
                    if (kk < 0) kk += static_cast<long>(count);
                    start = static_cast<size_t>(kk);
                }
                for (size_t i = 0; i < count; ++i) {
                    size_t src = image::kHeaderSize + ((start + i) % count) * stride;
                    std::memcpy(field + i * slot, frame.data() + src, std::min(slot, stride));
                }
                afterLastCopied = image::kHeaderSize + frameSamples * stride;
                continue;
            }
            case channel::CSUM: {
                size_t from = afterLastCopied;
                for (size_t i = 0; i < w; ++i)
                    field[i] = frameByte(from + i);
                afterLastCopied = from + w;
                continue;
            }
            default:
                break;
        }
        int at = frameOffset(c.kind);
        if (at < 0) continue;  // a kind the writer has no content for: zero bytes of the declared width
        for (size_t i = 0; i < w; ++i)
            field[i] = frameByte(static_cast<size_t>(at) + i);
        afterLastCopied = static_cast<size_t>(at) + w;
    }
}

std::int32_t lineDepthField(std::span<const std::uint8_t> line) {
    if (line.size() < 4) return 0;
    return static_cast<std::int32_t>(readLe(line.data(), 4, true));
}

std::int64_t channelValue(std::span<const std::uint8_t> line, const LineChannel& c) {
    if (c.sampleType < 0 || c.sampleType > 7 || c.offset + c.width > line.size()) return 0;
    return readLe(line.data() + c.offset, c.width, c.sampleType % 2 == 0);
}

void parseDataLine(std::span<const std::uint8_t> line, const LineLayout& layout, ParsedLine& out) {
    out.values.assign(layout.channels.size(), 0);
    out.sampleCount = 0;
    out.amplitudes16 = false;
    out.head.fill(0);
    std::memcpy(out.head.data(), line.data(), std::min(line.size(), out.head.size()));
    std::int64_t gain = 0;
    bool samplesRead = false;
    for (size_t ci = 0; ci < layout.channels.size(); ++ci) {
        const LineChannel& c = layout.channels[ci];
        if (c.offset + c.width > line.size()) break;
        const std::uint8_t* field = line.data() + c.offset;
        switch (c.sampleType) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4:
            case 5:
            case 6:
            case 7:
                out.values[ci] = readLe(field, c.width, c.sampleType % 2 == 0);
                if (c.kind == channel::GAIN) gain = out.values[ci] & 0xFF;
                break;
            case 11:
            case 12: {
                if (samplesRead) break;
                samplesRead = true;
                // As many samples as the field holds: a negative or oversized count never reads past it.
                const size_t count = std::min<size_t>(c.width / 4, 360);
                out.amplitudes16 = gain == 128;
                for (size_t i = 0; i < count; ++i) {
                    const std::uint8_t* s = field + 4 * i;
                    out.travelTimes[i] = static_cast<std::uint16_t>(s[0] | s[1] << 8);
                    if (gain == 128) {
                        out.amplitudes[i] = static_cast<std::uint16_t>(s[2] | s[3] << 8);
                    } else {
                        out.amplitudes[i] = s[2];
                        if (gain != 192) out.lastByte = s[3];
                    }
                }
                out.sampleCount = static_cast<int>(count);
                break;
            }
            default:
                break;  // 8, 9 and 10 are skipped; the field keeps its declared width
        }
    }
}

}  // namespace quelt
