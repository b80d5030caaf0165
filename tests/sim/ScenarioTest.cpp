// Every built-in scenario runs through a standard power-up and shows what it is named for.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "link/Frames.h"
#include "sim/Capture.h"

namespace quelt::sim {
namespace {

struct Seen {
    std::map<size_t, int> lengths;  // by frame length
    int alarmFrames = 0, frames = 0, gaps = 0, badSums = 0;
    std::uint8_t commSeen = 0;
};

Seen look(const std::vector<std::uint8_t>& s) {
    Seen r;
    int last = -1;
    for (size_t i = 0; i + 7 <= s.size();) {
        if (!std::equal(kSync.begin(), kSync.end(), &s[i])) {
            ++i;
            continue;
        }
        size_t len = readLe16(&s[i + kUsbLengthOffset]);
        if (len < 10 || i + len > s.size()) break;
        const std::uint8_t* body = &s[i + kUsbHeaderSize];
        size_t n = len - kUsbHeaderSize - 3;
        std::uint16_t sum = 0;
        for (size_t k = 0; k < n; ++k)
            sum = static_cast<std::uint16_t>(sum + body[k]);
        if (readLe16(body + n) != sum || body[n + 2] != kTerminator) {
            ++r.badSums;
            ++i;
            continue;
        }
        int seq = s[i + kUsbSequenceOffset];
        if (last >= 0 && seq != ((last + 1) & 0xFF)) ++r.gaps;
        last = seq;
        ++r.frames;
        ++r.lengths[n + 2];
        if ((body[0] & (kAlarmEncoder | kAlarmPower)) == (kAlarmEncoder | kAlarmPower)) ++r.alarmFrames;
        if (n + 2 == kStatusFrameLength) r.commSeen |= body[status::kCommStatus];
        if (n + 2 > 100) r.commSeen |= body[n - 1];
        i += len;
    }
    return r;
}

TEST(Scenario, EachBuiltInScenarioShowsWhatItIsNamedFor) {
    const std::map<std::string, std::function<void(const Seen&, const CaptureResult&)>> checks = {
        {"clean",
         [](const Seen& s, const CaptureResult&) {
             EXPECT_GT(s.lengths.at(765), 300);
             EXPECT_EQ(s.gaps, 0);
             EXPECT_EQ(s.badSums, 0);
         }},
        {"deviated", [](const Seen& s, const CaptureResult&) { EXPECT_GT(s.lengths.at(765), 300); }},
        {"mono",
         [](const Seen& s, const CaptureResult&) {
             EXPECT_EQ(s.lengths.count(765), 0u);  // 62500 bauds is too fast for 3.5 km of mono cable
             EXPECT_TRUE(s.commSeen & (kCommNoResponse | kCommChecksumError));
         }},
        {"pulled",
         [](const Seen& s, const CaptureResult& r) {
             EXPECT_GT(s.gaps, 0);  // the frames sent while unplugged are gone
             EXPECT_LT(s.frames, r.counters.loggerFrames + r.counters.statusFrames + r.counters.dataFrames);
         }},
        {"refusing", [](const Seen& s, const CaptureResult&) { EXPECT_EQ(s.lengths.count(765), 0u); }},
        {"noisy",
         [](const Seen& s, const CaptureResult& r) {
             EXPECT_GT(s.badSums + s.gaps, 5);
             EXPECT_GT(r.counters.lostFrames, 0);
         }},
        {"alarms", [](const Seen& s, const CaptureResult&) { EXPECT_EQ(s.alarmFrames, s.frames); }},
        {"reset",
         [](const Seen& s, const CaptureResult&) {
             // Data frames before the reset, only logger frames after it (nobody sends 0x01 again).
             EXPECT_GT(s.lengths.at(765), 100);
             EXPECT_GT(s.lengths.at(20), 100);
         }},
        // The first values echo right, so an untouched run logs as the clean one does.
        {"misecho", [](const Seen& s, const CaptureResult&) { EXPECT_GT(s.lengths.at(765), 100); }},
    };
    for (const ScenarioInfo& info : builtinScenarios()) {
        Scenario s;
        ASSERT_TRUE(builtinScenario(info.name, 3, s));
        CaptureResult r = capture(s, 100);
        auto it = checks.find(info.name);
        ASSERT_NE(it, checks.end()) << info.name;
        SCOPED_TRACE(info.name);
        it->second(look(r.bytes), r);
    }
}

}  // namespace
}  // namespace quelt::sim
