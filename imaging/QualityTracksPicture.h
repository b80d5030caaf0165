#pragma once
// The quality tracks drawn as a picture, one pixel row per picture row, beside the acoustic picture (the
// window's panel) or beside each report picture: tilt, azimuth, logging speed with its limit, gamma
// rate, and the total gravity |g| and total field |B| as QC curves over their tolerance bands. What lies
// outside its limit or band is drawn red on a pale red row, so a bad stretch shows at a glance. A small
// header names the tracks and gives their scales. Pictures are 32-bit rasters (0xAARRGGBB), drawn with
// a built-in font, identical on every machine.

#include <cstdint>

#include "imaging/PngFile.h"
#include "stream/QualityTracks.h"

namespace quelt {

inline constexpr int kQualityTrackCount = 6;   // tilt, azimuth, speed, gamma, |g|, |B|
inline constexpr int kQualityTrackWidth = 44;  // plot columns of one track, as wide as the depth track
// Each track and a separator column on its left, and the closing separator.
inline constexpr int kQualityTracksWidth = kQualityTrackCount * (kQualityTrackWidth + 1) + 1;
inline constexpr int kQualityTracksHeaderRows = 18;  // the names and the scales

inline constexpr std::uint32_t kTracksBackground = 0xFFFFFFFFu;
inline constexpr std::uint32_t kTracksEmpty = 0xFFF0F0F0u;  // no row yet (the picture is black there)
inline constexpr std::uint32_t kTracksSeparator = 0xFF808080u;
inline constexpr std::uint32_t kTracksGrid = 0xFFE4E4E4u;
inline constexpr std::uint32_t kTracksBand = 0xFFD6F0D6u;        // the tolerance band of |g| and |B|
inline constexpr std::uint32_t kTracksOutsideRow = 0xFFFFD8D8u;  // a row outside its limit or band
inline constexpr std::uint32_t kTracksRed = 0xFFFF0000u;
inline constexpr std::uint32_t kTracksLimit = 0xFFFF8C00u;  // the speed limit line
inline constexpr std::uint32_t kTracksText = 0xFF000000u;

// What the tracks whose range depends on the log are drawn across, and the unit of the speed's scale.
struct TrackScales {
    double tilt = 10.0;    // degrees across the track
    double gamma = 100.0;  // counts per second across the track
    double speed = 10.0;   // metres per minute across the track
    int depthUnit = 0;     // SetDepthUnit: the speed's scale is labelled in m/min or ft/min
};

// Round scales that hold every value of the window: tilt and gamma from the largest values since the
// clear, speed from twice the limit (or the fastest row when the limit is unknown).
TrackScales trackScalesFor(const TrackWindow& w, int depthUnit);

// The columns of track `track` (0..5): its first plot column.
constexpr int trackLeft(int track) {
    return 1 + track * (kQualityTrackWidth + 1);
}

// The names and scales into rows [top, top + kQualityTracksHeaderRows) of `out` (clipped to it).
void drawQualityTracksHeader(Raster32& out, int top, const TrackWindow& w, const TrackScales& scales);
// The rows of `w` into rows [top, top + rows) of `out`, as the picture shows them: the newest row at the
// bottom when logging down, at the top when logging up; rows without a sample are left empty. When the
// window holds more rows than fit, the newest are drawn.
void drawQualityTrackRows(Raster32& out, int top, int rows, const TrackWindow& w, const TrackScales& scales);

}  // namespace quelt
