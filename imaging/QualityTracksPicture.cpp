#include "imaging/QualityTracksPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Units.h"

namespace quelt {
namespace {

// The header's letters: 5 x 7 glyphs on a 6-column advance, only the characters the header writes.
constexpr int kGlyphWidth = 5, kGlyphHeight = 7, kAdvance = 6;
struct Glyph {
    char c;
    const char* rows[kGlyphHeight];
};
constexpr Glyph kGlyphs[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
    {'|', {"..#..", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'g', {".....", ".....", ".####", "#...#", ".####", "....#", ".###."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
};

const Glyph* glyphOf(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

void drawText(Raster32& out, int x, int y, std::string_view text, std::uint32_t colour) {
    for (char c : text) {
        if (const Glyph* g = glyphOf(c)) {
            for (int r = 0; r < kGlyphHeight; ++r)
                for (int col = 0; col < kGlyphWidth; ++col)
                    if (g->rows[r][col] == '#') out.set(x + col, y + r, colour);
        }
        x += kAdvance;
    }
}

int textWidth(std::string_view text) {
    return static_cast<int>(text.size()) * kAdvance - 1;
}

enum Track { kTilt, kAzimuth, kSpeed, kGamma, kGravity, kMagnetic };
constexpr const char* kNames[kQualityTrackCount] = {"TILT", "AZIM", "SPEED", "GAMMA", "|g|", "|B|"};

// The smallest of the round full scales that holds `value`.
double roundScale(double value, double smallest) {
    static constexpr double kSteps[] = {1, 1.5, 2, 3, 5};
    double decade = 1.0;
    for (int guard = 0; guard < 12; ++guard, decade *= 10)
        for (double s : kSteps)
            if (s * decade >= value && s * decade >= smallest) return s * decade;
    return value;
}

// Scale labels: as short as the value allows ("0", "90", "1.5", "2k").
std::string label(double v) {
    char buf[16];
    if (v >= 1000 && std::fmod(v, 1000) == 0)
        std::snprintf(buf, sizeof buf, "%.0fk", v / 1000);
    else if (v == std::round(v))
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// Where a track's values lie: value `low` on the track's first column, `high` on its last.
struct Axis {
    double low = 0.0, high = 0.0;
    bool usable() const { return high > low; }
    int column(double v) const {
        const double x = (v - low) / (high - low) * (kQualityTrackWidth - 1);
        return static_cast<int>(std::lround(std::clamp(x, 0.0, static_cast<double>(kQualityTrackWidth - 1))));
    }
};

// A QC curve is drawn over three times its band either side of the band's middle.
constexpr double kBandsAcross = 3.0;

Axis gravityAxis(const TrackWindow& w) {
    const double middle = (w.gravityLow + w.gravityHigh) / 2, half = (w.gravityHigh - w.gravityLow) / 2;
    return {middle - kBandsAcross * half, middle + kBandsAcross * half};
}

// |B| is drawn around its reference; while the band is not known yet, with the default tolerance.
Axis magneticAxis(const TrackWindow& w) {
    const double reference =
        w.magneticHigh > w.magneticLow ? (w.magneticLow + w.magneticHigh) / 2 : w.magneticReference;
    const double half = w.magneticHigh > w.magneticLow ? (w.magneticHigh - w.magneticLow) / 2
                                                       : reference * QualityLimits{}.magneticTolerance;
    return {reference - kBandsAcross * half, reference + kBandsAcross * half};
}

Axis axisOf(int track, const TrackWindow& w, const TrackScales& s) {
    switch (track) {
        case kTilt:
            return {0.0, s.tilt};
        case kAzimuth:
            return {0.0, 360.0};
        case kSpeed:
            return {0.0, s.speed};
        case kGamma:
            return {0.0, s.gamma};
        case kGravity:
            return gravityAxis(w);
        default:
            return magneticAxis(w);
    }
}

float valueOf(int track, const TrackSample& r) {
    switch (track) {
        case kTilt:
            return r.tilt;
        case kAzimuth:
            return r.azimuth;
        case kSpeed:
            return r.speed;
        case kGamma:
            return r.gamma;
        case kGravity:
            return r.gravity;
        default:
            return r.magnetic;
    }
}

bool outsideOn(int track, const TrackSample& r) {
    switch (track) {
        case kSpeed:
            return r.has(TrackSample::kOverSpeed);
        case kGravity:
            return r.has(TrackSample::kGravityOutside);
        case kMagnetic:
            return r.has(TrackSample::kMagneticOutside);
        default:
            return false;
    }
}

void span(std::uint32_t* row, int left, int from, int to, std::uint32_t colour) {
    if (from > to) std::swap(from, to);
    for (int x = from; x <= to; ++x)
        row[left + x] = colour;
}

}  // namespace

TrackScales trackScalesFor(const TrackWindow& w, int depthUnit) {
    TrackScales s;
    s.depthUnit = depthUnit;
    s.tilt = roundScale(w.largestTilt, 5.0);
    s.gamma = roundScale(w.largestGamma, 50.0);
    double fastest = 0.0;
    if (w.speedLimit <= 0)
        for (const TrackSample& r : w.rows)
            if (std::isfinite(r.speed)) fastest = std::max(fastest, static_cast<double>(r.speed));
    const double across = w.speedLimit > 0 ? 2 * w.speedLimit : fastest;
    // Round in the unit the scale is labelled in.
    s.speed = units::fromDisplay(roundScale(units::toDisplay(across, depthUnit), 1.0), depthUnit);
    return s;
}

void drawQualityTracksHeader(Raster32& out, int top, const TrackWindow& w, const TrackScales& scales) {
    for (int y = top; y < top + kQualityTracksHeaderRows && y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.set(x, y, x % (kQualityTrackWidth + 1) == 0 ? kTracksSeparator : kTracksBackground);
    for (int t = 0; t < kQualityTrackCount; ++t) {
        const int left = trackLeft(t);
        const std::string name = kNames[t];
        drawText(out, left + (kQualityTrackWidth - textWidth(name)) / 2, top + 1, name, kTracksText);
        std::string low, high;
        if (t == kGravity || t == kMagnetic) {
            // The QC curves: the relative deviation from 1 g or from the |B| reference.
            const double tolerance =
                t == kGravity ? (w.gravityHigh - w.gravityLow) / 2
                              : (w.magneticHigh > w.magneticLow
                                     ? (w.magneticHigh - w.magneticLow) / (w.magneticHigh + w.magneticLow)
                                     : QualityLimits{}.magneticTolerance);
            const std::string percent = label(std::round(kBandsAcross * tolerance * 1000) / 10) + "%";
            low = "-" + percent;
            high = "+" + percent;
        } else {
            const Axis a = axisOf(t, w, scales);
            const double unit = t == kSpeed ? units::toDisplay(1.0, scales.depthUnit) : 1.0;
            low = label(a.low * unit);
            high = label(std::round(a.high * unit * 10) / 10);
        }
        drawText(out, left + 1, top + 10, low, kTracksText);
        drawText(out, left + kQualityTrackWidth - 1 - textWidth(high), top + 10, high, kTracksText);
    }
}

void drawQualityTrackRows(Raster32& out, int top, int rows, const TrackWindow& w, const TrackScales& scales) {
    rows = std::min(rows, out.height - top);
    if (rows <= 0 || out.width < kQualityTracksWidth) return;
    const int n = static_cast<int>(std::min<std::size_t>(w.rows.size(), static_cast<std::size_t>(rows)));
    const std::size_t first = w.rows.size() - static_cast<std::size_t>(n);
    Axis axes[kQualityTrackCount];
    for (int t = 0; t < kQualityTrackCount; ++t)
        axes[t] = axisOf(t, w, scales);
    // The row of sample i (0 the oldest drawn).
    auto rowOf = [&](int i) { return w.down ? top + rows - n + i : top + n - 1 - i; };

    // Empty rows, then the background of each row with its grid, band and limit.
    for (int y = top; y < top + rows; ++y) {
        std::uint32_t* px = &out.pixels[static_cast<std::size_t>(y) * out.width];
        std::fill(px, px + kQualityTracksWidth, kTracksEmpty);
        for (int t = 0; t <= kQualityTrackCount; ++t)
            px[t * (kQualityTrackWidth + 1)] = kTracksSeparator;
    }
    const Axis& gAxis = axes[kGravity];
    const Axis& bAxis = axes[kMagnetic];
    const bool bandB = w.magneticHigh > w.magneticLow && bAxis.usable();
    for (int i = 0; i < n; ++i) {
        const TrackSample& r = w.rows[first + static_cast<std::size_t>(i)];
        std::uint32_t* px = &out.pixels[static_cast<std::size_t>(rowOf(i)) * out.width];
        for (int t = 0; t < kQualityTrackCount; ++t) {
            const int left = trackLeft(t);
            std::fill(px + left, px + left + kQualityTrackWidth,
                      outsideOn(t, r) ? kTracksOutsideRow : kTracksBackground);
            px[left + kQualityTrackWidth / 2] = kTracksGrid;
        }
        if (gAxis.usable())
            span(px, trackLeft(kGravity), gAxis.column(w.gravityLow), gAxis.column(w.gravityHigh),
                 r.has(TrackSample::kGravityOutside) ? kTracksOutsideRow : kTracksBand);
        if (bandB)
            span(px, trackLeft(kMagnetic), bAxis.column(w.magneticLow), bAxis.column(w.magneticHigh),
                 r.has(TrackSample::kMagneticOutside) ? kTracksOutsideRow : kTracksBand);
        if (r.speedLimit > 0) px[trackLeft(kSpeed) + axes[kSpeed].column(r.speedLimit)] = kTracksLimit;
        // A depth gap: a red stroke across the speed track, where the missing revolutions are.
        if (r.has(TrackSample::kGapBefore))
            span(px, trackLeft(kSpeed), 0, kQualityTrackWidth - 1, kTracksRed);
    }

    // The curves: each row joined to the row before it (azimuth not across north).
    static constexpr std::uint32_t kCurve[kQualityTrackCount] = {0xFF0000C0u, 0xFF007000u, 0xFF000000u,
                                                                 0xFF8000A0u, 0xFF000000u, 0xFF000000u};
    for (int t = 0; t < kQualityTrackCount; ++t) {
        const Axis& a = axes[t];
        if (!a.usable()) continue;
        const int left = trackLeft(t);
        int previous = -1;
        for (int i = 0; i < n; ++i) {
            const TrackSample& r = w.rows[first + static_cast<std::size_t>(i)];
            const float v = valueOf(t, r);
            if (!std::isfinite(v)) {
                previous = -1;
                continue;
            }
            const int x = a.column(v);
            const bool join =
                previous >= 0 && !(t == kAzimuth && std::abs(x - previous) > kQualityTrackWidth / 2);
            std::uint32_t* px = &out.pixels[static_cast<std::size_t>(rowOf(i)) * out.width];
            span(px, left, join ? previous : x, x, outsideOn(t, r) ? kTracksRed : kCurve[t]);
            previous = x;
        }
    }
}

}  // namespace quelt
