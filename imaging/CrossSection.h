#pragma once
// The cross-section of the hole from one revolution's travel times, drawn into a square 32-bit raster
// centred on the hole axis. Times are measured from the axis reference r0 (the sonde's offset less
// 29.655 us, so that a time's distance from r0 grows with the distance of the wall from the axis); the
// display window's end reaches the edge of the view. The same drawing serves the travel-time tools'
// window and `quelt window --cross-section`.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/PngFile.h"
#include "platform/Clock.h"

namespace quelt {

inline constexpr double kAxisReferenceLead = 29.655172413793103;  // us before the sonde's offset
inline constexpr double kPhantomLead = 19.310344827586206;        // us after half of r0
inline constexpr double kPhantomWidth = 2.7586206896551726;       // us
inline constexpr double kLongestTravel = 409.0;                   // us

inline constexpr std::uint32_t kSectionBackground = 0xFF0000CCu;  // dark blue
inline constexpr std::uint32_t kSectionOuter = 0xFFFFFFFFu;
inline constexpr std::uint32_t kSectionWindow = 0xFF00FFFFu;  // display blanking and window end
inline constexpr std::uint32_t kSectionSonde = 0xFFC0C0C0u;
inline constexpr std::uint32_t kSectionPhantom = 0xFFFFA000u;
inline constexpr std::uint32_t kSectionCross = 0xFF8080FFu;
inline constexpr std::uint32_t kSectionCurve = 0xFFFFFF00u;

struct CrossSectionSettings {
    double offsetMicros = 132.0;    // the sonde's travel-time offset
    double displayBlanking = 1200;  // tenths of a microsecond
    double displayWindow = 500;
    bool showPhantom = false;
    int refreshMode = 0;  // RefreshTravelDialog: circles redrawn every tick (0) or every N curves
};

// One revolution: raw travel times (tenths of a microsecond) of its samples, first sample at the
// line's orientation.
struct Revolution {
    std::vector<std::uint16_t> travel;
    double orientation = 0;   // degrees
    bool acquisition = true;  // live: the orientation is advanced by half a sample step
};

class CrossSection {
  public:
    explicit CrossSection(int size);
    void configure(const CrossSectionSettings& s) { settings_ = s; }
    const CrossSectionSettings& settings() const { return settings_; }

    void clear();
    void drawCircles();
    void drawCurve(const Revolution& r);

    const Raster32& raster() const { return raster_; }
    int size() const { return raster_.width; }
    double centre() const { return (raster_.width - 1) / 2.0; }
    // Pixels from the centre of a time measured from r0 (us), and the times of the display window.
    double radiusOf(double relative) const;
    double axisReference() const { return settings_.offsetMicros - kAxisReferenceLead; }
    double blankingRelative() const;
    double windowEndRelative() const;

  private:
    void circle(double radius, std::uint32_t colour);
    void line(double x0, double y0, double x1, double y1, std::uint32_t colour);

    CrossSectionSettings settings_;
    Raster32 raster_;
};

// The view's refresh: the newest revolution is drawn every 100 ms, the circles over the curves by the
// refresh mode, and the view cleared when the data source changes, when no image frames arrive, and
// 150 ms after a settings change. Revolutions are posted from the reader thread; tick runs on the
// thread that owns the view.
class CrossSectionView {
  public:
    static constexpr Millis kPeriod = 100;
    static constexpr Millis kClearAfterChange = 150;

    explicit CrossSectionView(int size) : section_(size) {}

    void post(Revolution r);  // any thread; the newest wins
    void settingsChanged(const CrossSectionSettings& s, Millis now);
    // True when the picture changed (the window repaints then).
    bool tick(Millis now, bool framesArriving, int sourceId);

    const CrossSection& section() const { return section_; }
    int curvesDrawn() const { return curves_; }

  private:
    CrossSection section_;
    std::mutex mutex_;
    std::optional<Revolution> pending_;
    Millis due_ = 0;
    Millis clearDue_ = -1;
    int source_ = -1;
    bool cleared_ = false;
    int curves_ = 0;
    int sinceCircles_ = 0;
};

}  // namespace quelt
