#pragma once
// What a logging engineer checks before leaving a borehole, fed line by line with the values the picture
// gets, live and in replay: depth gaps, the logging speed against the highest speed that still leaves no
// gap, and the total gravity |g| and total magnetic field |B| against their tolerance bands. Depths are
// metres, times seconds, speeds metres per minute.

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "config/Settings.h"
#include "stream/LiveState.h"

namespace quelt {

struct OpenedLog;

// The gap rule, one for every counter of gaps (this model and the recorder's): two successive lines
// further apart than twice the vertical step the operator wants. A gap of exactly twice the step is
// not a gap; depths are compared to the micrometre, as the files store them to the millimetre. Gives
// the size of the gap in metres, 0 when there is none.
double depthGapOver(double previousDepth, double depth, double stepMetres);

// Gaps counted by that rule: how many and the largest.
struct GapTally {
    std::uint64_t count = 0;
    double largest = 0.0;  // metres
    // Counts the gap between two successive lines, if there is one; gives its size, or 0.
    double add(double previousDepth, double depth, double stepMetres);
};

// The time of one revolution of the head for a MotorPeriod setting, milliseconds.
constexpr double revolutionMsOf(int motorPeriod) {
    return motorPeriod * 2.304;
}
// The highest logging speed that leaves no gap: one step per revolution, metres per minute; 0 when the
// revolution time is unknown.
double speedLimitOf(double stepMm, double revolutionMs);
// The time of one revolution as a log recorded it: the median time between successive lines among its
// first `maxLines` lines, so that lost frames (longer intervals) do not count; milliseconds, 0 when the
// log has no usable times.
double medianLineInterval(const OpenedLog& log, std::uint64_t maxLines = UINT64_MAX);

struct QualityLimits {
    double stepMm = 5.0;  // the vertical step the operator wants between two lines
    double revolutionMs = revolutionMsOf(87);
    double gravityTolerance = 0.01;   // |g| within 1% of 1 g
    double magneticTolerance = 0.02;  // |B| within 2% of the reference field
    double magneticReference = 0.0;   // the field the operator gives; 0: measured over the first metres
    double referenceLength = 5.0;     // metres of log over which the reference field is measured
};

// The limits of the settings: the operator's step, the revolution time of the motor period and the
// field the operator gives, if any.
QualityLimits qualityLimitsOf(const Settings& settings);

// One line as the picture gets it. kNoValue marks what is not known.
struct QualityLine {
    double depth = 0.0;
    double time = 0.0;
    double tilt = kNoValue, azimuth = kNoValue;
    double speed = kNoValue;  // kNoValue: the model derives it from depth and time (a replay)
    double gamma = kNoValue;
    double gravity = kNoValue;   // |g|, in g
    double magnetic = kNoValue;  // |B|, in the sonde's unit (gauss)
    bool replaced = false;       // a frame the logger replaced: the picture repeated the previous line
};

struct DepthRange {
    double from = 0.0, to = 0.0;  // the depths of the first and last line of the range, in logging order
};

struct DepthGap {
    double from = 0.0, to = 0.0;  // the depths of the two lines either side of the gap
};

// Statistics of one QC value and the ranges of lines outside its band.
struct BandStats {
    std::uint64_t lines = 0;    // lines with a value
    std::uint64_t judged = 0;   // lines judged against the band (|B|: once the reference is known)
    std::uint64_t outside = 0;  // lines outside the band
    double min = 0.0, max = 0.0, sum = 0.0;
    double low = 0.0, high = 0.0;    // the band
    std::uint64_t rangeCount = 0;    // ranges of successive lines outside the band
    std::vector<DepthRange> ranges;  // the first kMaxListed of them
    double mean() const { return lines ? sum / static_cast<double>(lines) : 0.0; }
};

class LogQuality {
  public:
    // Lists keep their first entries only, so a long bad log cannot grow them without end; the counts
    // go on.
    static constexpr std::size_t kMaxListed = 1000;

    explicit LogQuality(const QualityLimits& limits = {});
    void reset();
    void add(const QualityLine& line);

    const QualityLimits& limits() const { return limits_; }
    double speedLimit() const { return speedLimit_; }

    std::uint64_t lines() const { return lines_; }
    std::uint64_t replaced() const { return replaced_; }
    double firstDepth() const { return firstDepth_; }
    double lastDepth() const { return last_.depth; }
    double minDepth() const { return minDepth_; }
    double maxDepth() const { return maxDepth_; }

    const GapTally& gaps() const { return gaps_; }
    const std::vector<DepthGap>& gapList() const { return gapList_; }

    double speed() const { return speed_; }  // the speed of the last line, kNoValue when not yet known
    bool overSpeed() const { return speed_ != kNoValue && speed_ > speedLimit_ && speedLimit_ > 0; }
    double highestSpeed() const { return highestSpeed_; }
    double highestSpeedDepth() const { return highestSpeedDepth_; }
    std::uint64_t linesOverSpeed() const { return overSpeed_.outside; }
    const BandStats& speedRanges() const { return overSpeed_; }

    const BandStats& gravity() const { return gravity_; }
    const BandStats& magnetic() const { return magnetic_; }
    // The |B| reference: the value given, or the mean over the first metres (so far, until they are
    // logged); 0 while nothing is known.
    double magneticReference() const;
    bool magneticReferenceFixed() const { return magneticFixed_; }

    const QualityLine& last() const { return last_; }
    // Whether the last line judged against the band lay outside it (a line without a value leaves it).
    bool gravityOutsideNow() const { return gravityOpen_; }
    bool magneticOutsideNow() const { return magneticOpen_; }

  private:
    void judge(BandStats& band, bool outside, double depth, bool& open);
    double derivedSpeed(const QualityLine& line);

    QualityLimits limits_;
    double speedLimit_ = 0.0;
    std::uint64_t lines_ = 0, replaced_ = 0;
    double firstDepth_ = 0.0, minDepth_ = 0.0, maxDepth_ = 0.0;
    QualityLine last_;
    GapTally gaps_;
    std::vector<DepthGap> gapList_;
    double speed_ = kNoValue, highestSpeed_ = 0.0, highestSpeedDepth_ = 0.0;
    BandStats overSpeed_, gravity_, magnetic_;
    bool speedOpen_ = false, gravityOpen_ = false, magneticOpen_ = false;
    bool magneticFixed_ = false;
    double referenceSum_ = 0.0;
    std::uint64_t referenceLines_ = 0;
    // Recent (time, depth) of the lines, for a speed derived over about a second.
    std::deque<std::pair<double, double>> recent_;
};

// The recording's own figures in one line, depths in `depthUnit` (0 metres, 1 feet): lines written,
// file size, depth range, replaced lines, gaps and the largest.
std::string recordingFiguresText(const LogQuality& q, std::uint64_t fileBytes, std::uint64_t replaced,
                                 int depthUnit);

}  // namespace quelt
