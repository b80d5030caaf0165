#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/QualityTracksPicture.h"
#include "stream/QualityTracks.h"

namespace quelt {
namespace {

enum Track { kTilt, kAzimuth, kSpeed, kGamma, kGravity, kMagnetic, kNone };
const char* const kTrackNames[] = {"tilt", "azimuth", "speed", "gamma", "|g|", "|B|", "none"};

// Twenty rows 5 mm apart at 1 m/min against a 1.5 m/min limit, inside both bands; row `odd` changed (and
// every row after it with `onward`).
TrackWindow windowOf(bool down, int odd, void (*change)(QualityLine&), bool onward = false) {
    QualityLimits limits;
    limits.stepMm = 5.0;
    limits.revolutionMs = 200.0;
    limits.magneticReference = 0.47;
    QualityTracks tracks(limits);
    for (int i = 0; i < 20; ++i) {
        QualityLine l;
        l.depth = down ? 10.0 + i * 0.005 : 10.0 - i * 0.005;
        l.speed = 1.0;
        l.tilt = 4.0;
        l.azimuth = 90.0;
        l.gamma = 30.0;
        l.gravity = 1.0;
        l.magnetic = 0.47;
        if (i == odd || (onward && i > odd)) change(l);
        tracks.add(l, down);
    }
    return tracks.window(100);
}

// The tracks with red in picture row `y`.
std::string redTracks(const Raster32& r, int y) {
    std::string out;
    for (int t = 0; t < kQualityTrackCount; ++t) {
        for (int x = trackLeft(t); x < trackLeft(t) + kQualityTrackWidth; ++x) {
            if (r.at(x, y) == kTracksRed) {
                out += std::string(out.empty() ? "" : " ") + kTrackNames[t];
                break;
            }
        }
    }
    return out;
}

// A value beyond its limit or band turns its track red on that row, and nowhere else, in either logging
// direction: the newest row is at the bottom when logging down, at the top when logging up, as in the
// picture.
TEST(QualityTracksPicture, OutsideValuesAreRedOnTheirRowOnly) {
    struct Case {
        const char* name;
        void (*change)(QualityLine&);
        Track red;
        bool onward = false;
    };
    const Case cases[] = {
        {"clean", [](QualityLine&) {}, kNone},
        {"speed above the limit", [](QualityLine& l) { l.speed = 1.7; }, kSpeed},
        {"|g| above its band", [](QualityLine& l) { l.gravity = 1.02; }, kGravity},
        {"|g| below its band", [](QualityLine& l) { l.gravity = 0.985; }, kGravity},
        {"|B| above its band", [](QualityLine& l) { l.magnetic = 0.485; }, kMagnetic},
        {"|g| inside its band", [](QualityLine& l) { l.gravity = 1.009; }, kNone},
        {"|B| inside its band", [](QualityLine& l) { l.magnetic = 0.479; }, kNone},
        {"a depth gap", [](QualityLine& l) { l.depth += 0.02; }, kSpeed, true},
    };
    constexpr int kTop = 3, kRows = 30, kOdd = 12;
    for (bool down : {true, false}) {
        for (const Case& c : cases) {
            const TrackWindow w = windowOf(down, kOdd, c.change, c.onward);
            Raster32 r(kQualityTracksWidth, kTop + kRows, 0xFF123456u);
            drawQualityTrackRows(r, kTop, kRows, w, trackScalesFor(w, 0));
            // Twenty rows: from kTop + 10 down to the bottom, or from kTop down.
            const int oddRow = down ? kTop + kRows - 20 + kOdd : kTop + 19 - kOdd;
            for (int y = kTop; y < kTop + kRows; ++y) {
                const bool sampled = down ? y >= kTop + kRows - 20 : y < kTop + 20;
                EXPECT_EQ(r.at(trackLeft(kAzimuth) + 1, y), sampled ? kTracksBackground : kTracksEmpty)
                    << c.name << (down ? ", down" : ", up") << ", row " << y;
                const std::string expected = y == oddRow && c.red != kNone ? kTrackNames[c.red] : "";
                EXPECT_EQ(redTracks(r, y), expected) << c.name << (down ? ", down" : ", up") << ", row " << y;
            }
            EXPECT_EQ(r.at(0, kTop - 1), 0xFF123456u) << "nothing above the rows";
        }
    }
}

// The speed limit is a line down the speed track at half its scale; the |g| band is shaded in the
// middle third of its track.
TEST(QualityTracksPicture, TheLimitLineAndTheBand) {
    const TrackWindow w = windowOf(true, -1, nullptr);
    const TrackScales s = trackScalesFor(w, 0);
    EXPECT_DOUBLE_EQ(s.speed, 3.0);  // twice the 1.5 m/min limit
    Raster32 r(kQualityTracksWidth, 20);
    drawQualityTrackRows(r, 0, 20, w, s);
    EXPECT_EQ(r.at(trackLeft(kSpeed) + kQualityTrackWidth / 2, 5), kTracksLimit);
    int band = 0;
    for (int x = trackLeft(kGravity); x < trackLeft(kGravity) + kQualityTrackWidth; ++x)
        band += r.at(x, 5) == kTracksBand;
    EXPECT_NEAR(band, kQualityTrackWidth / 3, 2);
}

}  // namespace
}  // namespace quelt
