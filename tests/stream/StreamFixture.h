#pragma once
// Frame builders and a recording sink for the decoder tests.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "link/Frames.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/StreamPorts.h"
#include "stream/ToolsStream.h"

namespace quelt::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, int v) {
    writeLe16(&b[at], static_cast<std::uint16_t>(v));
}
inline void put32(Bytes& b, std::size_t at, std::int32_t v) {
    writeLe32(&b[at], static_cast<std::uint32_t>(v));
}
// Writes the 16-bit sum of bytes [0, at) at `at`.
inline void seal(Bytes& b, std::size_t at) {
    storeFrameSum(b.data(), at + 2);
}

inline Bytes statusFrame(std::int32_t count, std::int16_t speed, std::uint8_t status, std::uint8_t flags = 0,
                         std::uint8_t volt = 90, std::uint8_t amp = 120) {
    Bytes b(16, 0);
    b[0] = flags;
    b[1] = 25;
    b[2] = 15;
    put32(b, 5, count);
    put16(b, 9, speed);
    b[11] = volt;
    b[12] = amp;
    b[13] = status;
    seal(b, 14);
    return b;
}

// A 20-byte logger frame reading back constant, scale and power.
inline Bytes loggerFrame20(std::int32_t count, int constant, int scale, std::uint8_t power,
                           std::uint8_t flags = 0) {
    Bytes b(20, 0);
    b[0] = flags;
    put16(b, 1, constant);
    put16(b, 3, scale);
    b[5] = power;
    put32(b, 10, count);
    put16(b, 14, 0);
    b[16] = 91;
    b[17] = 121;
    seal(b, 18);
    return b;
}

inline Bytes loggerFrame19(std::int32_t count, int constant, std::uint8_t scale, std::uint8_t power) {
    Bytes b(19, 0);
    put16(b, 1, constant);
    b[3] = scale;
    b[4] = power;
    put32(b, 9, count);
    b[15] = 92;
    b[16] = 122;
    seal(b, 17);
    return b;
}

struct FullFrameSpec {
    int resolution = 2;
    std::uint8_t format = 4;  // 6 = three-byte samples
    std::uint8_t gain = 10;   // bit 7 = 16-bit amplitudes
    std::int32_t count = 0;
    std::int16_t speed = 0;
    std::uint8_t status = 0x01;
    std::uint8_t flags = 0;
    std::uint8_t motorPeriod = 87;
    std::array<std::int16_t, 6> axes = {0, 0, 0, 0, 0, 0};  // hx, gx, hy, gy, hz, gz as on the wire
    std::uint16_t travelTime = 1450;                        // the same for every sample unless `times` is set
    std::uint16_t amplitude = 100;
    std::vector<std::uint16_t> times;
    int forceSamples = -1;          // sample area size in samples, for frames that lie about their size
    std::uint16_t gammaCount = 54;  // NGAM
    std::uint8_t gammaTime = 10;    // GCLK, milliseconds
};

inline Bytes fullFrame(const FullFrameSpec& s) {
    int n = s.resolution == 1 ? 360 : s.resolution == 2 ? 180 : s.resolution == 3 ? 120 : 90;
    bool three = s.format == 6 && !(s.gain & 0x80);
    int stride = three ? 3 : 4;
    std::size_t area = static_cast<std::size_t>((three ? 3 : 4) * (s.forceSamples >= 0 ? s.forceSamples : n));
    Bytes b(40 + area + 5, 0);
    b[0] = s.flags;
    put32(b, 5, s.count);
    put16(b, 9, s.speed);
    b[11] = 90;
    b[12] = 120;
    put16(b, 13, 1200);
    put16(b, 15, 500);
    b[17] = s.gain;
    b[18] = static_cast<std::uint8_t>(s.resolution);
    b[19] = s.motorPeriod;
    b[20] = 10;
    b[21] = 15;
    b[22] = s.format;
    for (int i = 0; i < 6; ++i)
        put16(b, 23 + 2 * i, s.axes[i]);
    put16(b, 35, s.gammaCount);
    b[37] = s.gammaTime;
    b[38] = 30;
    b[39] = 31;
    for (int i = 0; i < n && 40 + static_cast<std::size_t>(i * stride + 3) < 40 + area; ++i) {
        std::size_t at = 40 + static_cast<std::size_t>(i * stride);
        put16(b, at, s.times.empty() ? s.travelTime : s.times[i]);
        if (s.gain & 0x80) {
            put16(b, at + 2, s.amplitude);
        } else {
            b[at + 2] = static_cast<std::uint8_t>(s.amplitude);
        }
    }
    b[40 + area + 2] = s.status;
    seal(b, 40 + area + 3);
    return b;
}

struct RecordingEvents : StreamEvents {
    std::vector<int> refreshes;
    std::vector<std::pair<int, std::string>> alarms;
    std::vector<std::pair<int, int>> lines;  // direction, resolution
    int writes = 0;
    int toolsBox = 0;
    std::vector<Bytes> readBacks;  // logger frames in the 20-byte layout

    void refreshDataView(int code) override { refreshes.push_back(code); }
    void showAlarm(int type, const std::string& title, const std::string& text) override {
        alarms.emplace_back(type, title + "|" + text);
    }
    void addImageLine(std::uint8_t direction, int resolution) override {
        lines.emplace_back(direction, resolution);
    }
    void writeDataFile() override { ++writes; }
    void loggerReadBack(const std::uint8_t* logger20) override {
        readBacks.emplace_back(logger20, logger20 + 20);
    }
    void refreshToolsBox() override { ++toolsBox; }
};

// One decoder with its records, 80 counts per centimetre.
struct StreamRig {
    Settings settings;
    LiveState live;
    ReplyEcho echo;
    ImageLine line;
    StreamShared shared;
    LinkCounters counters;
    std::atomic<int> linkStatus{kLinkNothing};
    RecordingEvents events;
    CToolsStream stream{settings, live, echo, line, shared, counters, linkStatus, events};

    StreamRig() {
        settings.PulleysDiameter = 500.0;  // 5000 tenths of a millimetre in the file
        settings.PulsResolution = 1000;
        settings.DisplayBlanking = 1200;
        settings.DisplayWindow = 500;
        shared.fileTimeNow = [] { return std::int64_t{42}; };
    }
    void status(const Bytes& b, std::uint8_t seq = 1) { stream.decodeStatusFrame(b.data(), b.size(), seq); }
    void full(const Bytes& b, std::uint8_t seq = 1) { stream.decodeFullDataFrame(b.data(), b.size(), seq); }
    LiveValues v() const { return live.snapshot(); }
};

}  // namespace quelt::test
