#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <string>
#include <vector>

#include "stream/QualityTracks.h"

namespace quelt {
namespace {

// A row at `depth` metres, logging at 1 m/min against a 1.5 m/min limit, in both bands.
QualityLine lineAt(double depth) {
    QualityLine l;
    l.depth = depth;
    l.speed = 1.0;
    l.tilt = 3.0;
    l.azimuth = 200.0;
    l.gamma = 40.0;
    l.gravity = 1.0;
    l.magnetic = 0.47;
    return l;
}

QualityLimits limits() {
    QualityLimits l;
    l.stepMm = 5.0;
    l.revolutionMs = 200.0;
    l.magneticReference = 0.47;
    return l;
}

// The depths of a window in millimetres, oldest first.
std::vector<int> depthsOf(const TrackWindow& w) {
    std::vector<int> mm;
    for (const TrackSample& s : w.rows)
        mm.push_back(static_cast<int>(std::lround(s.depth * 1000)));
    return mm;
}

// Rows follow the picture's: added in order, gone with a clear, and a window ends `rowsBack` rows before
// the newest.
TEST(QualityTracks, RowsFollowThePictureThroughClearsAndWindows) {
    QualityTracks tracks(limits());
    for (int i = 0; i < 6; ++i)
        tracks.add(lineAt(10.0 + i * 0.005), true);
    tracks.clear();
    EXPECT_EQ(tracks.rows(), 0u);
    for (int i = 0; i < 8; ++i)
        tracks.add(lineAt(20.0 - i * 0.005), false);
    EXPECT_EQ(tracks.rows(), 8u);
    EXPECT_EQ(tracks.added(), 14u);

    struct Case {
        std::size_t count, rowsBack;
        std::vector<int> depths;
    };
    const Case cases[] = {
        {3, 0, {19975, 19970, 19965}},
        {3, 2, {19985, 19980, 19975}},
        {20, 0, {20000, 19995, 19990, 19985, 19980, 19975, 19970, 19965}},
        {20, 6, {20000, 19995}},
        {4, 8, {}},
        {4, 100, {}},
    };
    for (const Case& c : cases) {
        const TrackWindow w = tracks.window(c.count, c.rowsBack);
        EXPECT_EQ(depthsOf(w), c.depths) << "count " << c.count << ", back " << c.rowsBack;
        EXPECT_FALSE(w.down);
    }
    // At an edge two rows ago (as the picture last showed the rows), the two newest do not count.
    EXPECT_EQ(depthsOf(tracks.window(3, 0, tracks.added() - 2)), (std::vector<int>{19985, 19980, 19975}));
    EXPECT_EQ(depthsOf(tracks.window(3, 0, tracks.added())), (std::vector<int>{19975, 19970, 19965}));
}

// What LogQuality finds about a line is kept with its row, and only with it.
TEST(QualityTracks, EachRowCarriesWhatTheLineWasFoundOutside) {
    struct Case {
        const char* name;
        void (*change)(QualityLine&);
        std::uint8_t flags;
    };
    const Case cases[] = {
        {"clean", [](QualityLine&) {}, 0},
        {"speed above the limit", [](QualityLine& l) { l.speed = 1.6; }, TrackSample::kOverSpeed},
        {"speed under the limit", [](QualityLine& l) { l.speed = 1.45; }, 0},
        {"|g| above its band", [](QualityLine& l) { l.gravity = 1.011; }, TrackSample::kGravityOutside},
        {"|g| inside at the edge", [](QualityLine& l) { l.gravity = 0.9901; }, 0},
        {"|B| below its band", [](QualityLine& l) { l.magnetic = 0.46; }, TrackSample::kMagneticOutside},
        {"a gap before the line", [](QualityLine& l) { l.depth += 0.011; }, TrackSample::kGapBefore},
        {"|g| unknown", [](QualityLine& l) { l.gravity = kNoValue; }, 0},
    };
    for (const Case& c : cases) {
        QualityTracks tracks(limits());
        for (int i = 0; i < 5; ++i) {
            QualityLine l = lineAt(10.0 + i * 0.005);
            if (i == 3) c.change(l);
            tracks.add(l, true);
        }
        const TrackWindow w = tracks.window(10);
        ASSERT_EQ(w.rows.size(), 5u) << c.name;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(w.rows[static_cast<size_t>(i)].flags, i == 3 ? c.flags : 0) << c.name << ", row " << i;
        }
        EXPECT_DOUBLE_EQ(w.speedLimit, 1.5) << c.name;
    }
    // An unknown |g| is kept as unknown, so the curve breaks there.
    QualityTracks tracks(limits());
    QualityLine l = lineAt(10.0);
    l.gravity = kNoValue;
    tracks.add(l, true);
    EXPECT_TRUE(std::isnan(tracks.window(1).rows[0].gravity));
}

// A long log keeps a few MB per 100 000 rows, and never more than kMaxRows rows.
TEST(QualityTracks, MemoryStaysBounded) {
    QualityTracks tracks(limits());
    // Bytes in use now, against `before`.
    auto inUse = [] { return static_cast<long long>(mallinfo2().uordblks); };
    const long long before = inUse();
    for (int i = 0; i < 100000; ++i)
        tracks.add(lineAt(10.0 + i * 0.005), true);
    const long long grown = inUse() - before;
    EXPECT_LT(grown, 4 * 1024 * 1024) << grown << " bytes for 100 000 rows";

    for (std::size_t i = tracks.rows(); i < QualityTracks::kMaxRows + 10; ++i)
        tracks.add(lineAt(10.0 + static_cast<double>(i) * 0.005), true);
    EXPECT_EQ(tracks.rows(), QualityTracks::kMaxRows);
    // The oldest rows went: the first kept is the eleventh added.
    EXPECT_EQ(depthsOf(tracks.window(QualityTracks::kMaxRows)).front(), 10050);
    tracks.clear();
    EXPECT_LT(inUse() - before, 64 * 1024) << "a clear gives the rows back";
}

}  // namespace
}  // namespace quelt
