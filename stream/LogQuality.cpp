#include "stream/LogQuality.h"

#include <algorithm>
#include <cmath>

#include "config/Channels.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/LogFile.h"

namespace quelt {
namespace {

// Depths are recorded to the millimetre (or the thousandth of a foot): two lines that lie exactly two steps
// apart may read a millimetre further after rounding, which is no missing revolution.
constexpr double kDepthResolution = 1e-3;
// The span of recorded time a replay's speed is measured over.
constexpr double kSpeedSpan = 1.0;

bool known(double v) {
    return v != kNoValue && std::isfinite(v);
}

}  // namespace

double depthGapOver(double previousDepth, double depth, double stepMetres) {
    const double moved = std::fabs(depth - previousDepth);
    return moved > 2.0 * stepMetres + kDepthResolution ? moved : 0.0;
}

double GapTally::add(double previousDepth, double depth, double stepMetres) {
    const double gap = depthGapOver(previousDepth, depth, stepMetres);
    if (gap > 0) {
        ++count;
        largest = std::max(largest, gap);
    }
    return gap;
}

QualityLimits qualityLimitsOf(const Settings& settings) {
    QualityLimits limits;
    limits.stepMm = settings.QualityStepMm;
    limits.revolutionMs = revolutionMsOf(settings.MotorPeriod);
    limits.magneticReference = settings.QualityFieldGauss;
    return limits;
}

double speedLimitOf(double stepMm, double revolutionMs) {
    if (!(revolutionMs > 0) || !(stepMm > 0)) return 0.0;
    // step (m) x revolutions per second x 60 s.
    return stepMm / 1000.0 * (1000.0 / revolutionMs) * 60.0;
}

double medianLineInterval(const OpenedLog& log, std::uint64_t maxLines) {
    const LineLayout& layout = log.layout;
    size_t timeChannel = layout.channels.size();
    for (size_t c = 0; c < layout.channels.size(); ++c)
        if (layout.channels[c].kind == channel::TIME) timeChannel = c;
    if (timeChannel == layout.channels.size()) return 0.0;
    std::vector<double> intervals;
    std::vector<std::uint8_t> line;
    ParsedLine parsed;
    bool havePrevious = false;
    std::int64_t previous = 0;
    const std::uint64_t lines = std::min(log.reader.wholeLines(), maxLines);
    for (std::uint64_t i = 0; i < lines; ++i) {
        if (!log.reader.readLine(i * layout.lineSize, line)) break;
        parseDataLine(line, layout, parsed);
        const std::int64_t t = parsed.values[timeChannel];
        if (havePrevious && t > previous) intervals.push_back(static_cast<double>(t - previous));
        previous = t;
        havePrevious = true;
    }
    if (intervals.empty()) return 0.0;
    auto middle = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    return *middle;
}

LogQuality::LogQuality(const QualityLimits& limits) : limits_(limits) {
    reset();
}

void LogQuality::reset() {
    speedLimit_ = speedLimitOf(limits_.stepMm, limits_.revolutionMs);
    lines_ = replaced_ = 0;
    firstDepth_ = minDepth_ = maxDepth_ = 0.0;
    last_ = {};
    gaps_ = {};
    gapList_.clear();
    speed_ = kNoValue;
    highestSpeed_ = highestSpeedDepth_ = 0.0;
    overSpeed_ = gravity_ = magnetic_ = {};
    overSpeed_.high = speedLimit_;
    gravity_.low = 1.0 - limits_.gravityTolerance;
    gravity_.high = 1.0 + limits_.gravityTolerance;
    speedOpen_ = gravityOpen_ = magneticOpen_ = false;
    magneticFixed_ = limits_.magneticReference > 0;
    if (magneticFixed_) {
        magnetic_.low = limits_.magneticReference * (1.0 - limits_.magneticTolerance);
        magnetic_.high = limits_.magneticReference * (1.0 + limits_.magneticTolerance);
    }
    referenceSum_ = 0.0;
    referenceLines_ = 0;
    recent_.clear();
}

double LogQuality::magneticReference() const {
    if (limits_.magneticReference > 0) return limits_.magneticReference;
    if (magneticFixed_) return (magnetic_.low + magnetic_.high) / 2.0;
    return referenceLines_ ? referenceSum_ / static_cast<double>(referenceLines_) : 0.0;
}

void LogQuality::judge(BandStats& band, bool outside, double depth, bool& open) {
    ++band.judged;
    if (!outside) {
        open = false;
        return;
    }
    ++band.outside;
    if (open) {
        if (!band.ranges.empty() && band.rangeCount <= kMaxListed) band.ranges.back().to = depth;
        return;
    }
    open = true;
    ++band.rangeCount;
    if (band.ranges.size() < kMaxListed) band.ranges.push_back({depth, depth});
}

double LogQuality::derivedSpeed(const QualityLine& line) {
    if (!recent_.empty() && recent_.back().first > line.time) recent_.clear();  // time went back
    recent_.emplace_back(line.time, line.depth);
    // Keep the newest line that is at least the span old as the start of the measure.
    while (recent_.size() > 2 && line.time - recent_[1].first >= kSpeedSpan)
        recent_.pop_front();
    const double span = line.time - recent_.front().first;
    if (span < kSpeedSpan / 2) return speed_;
    return std::fabs(line.depth - recent_.front().second) / span * 60.0;
}

void LogQuality::add(const QualityLine& line) {
    const double stepMetres = limits_.stepMm / 1000.0;
    if (lines_ == 0) {
        firstDepth_ = minDepth_ = maxDepth_ = line.depth;
    } else {
        const double gap = gaps_.add(last_.depth, line.depth, stepMetres);
        if (gap > 0 && gapList_.size() < kMaxListed) gapList_.push_back({last_.depth, line.depth});
        minDepth_ = std::min(minDepth_, line.depth);
        maxDepth_ = std::max(maxDepth_, line.depth);
    }
    ++lines_;
    if (line.replaced) ++replaced_;

    speed_ = known(line.speed) ? std::fabs(line.speed) : derivedSpeed(line);
    if (known(speed_)) {
        if (speed_ > highestSpeed_) {
            highestSpeed_ = speed_;
            highestSpeedDepth_ = line.depth;
        }
        ++overSpeed_.lines;
        overSpeed_.sum += speed_;
        overSpeed_.min = overSpeed_.lines == 1 ? speed_ : std::min(overSpeed_.min, speed_);
        overSpeed_.max = highestSpeed_;
        if (speedLimit_ > 0) judge(overSpeed_, speed_ > speedLimit_, line.depth, speedOpen_);
    }

    if (known(line.gravity)) {
        BandStats& g = gravity_;
        ++g.lines;
        g.sum += line.gravity;
        g.min = g.lines == 1 ? line.gravity : std::min(g.min, line.gravity);
        g.max = g.lines == 1 ? line.gravity : std::max(g.max, line.gravity);
        judge(g, line.gravity < g.low || line.gravity > g.high, line.depth, gravityOpen_);
    }

    if (known(line.magnetic)) {
        BandStats& b = magnetic_;
        ++b.lines;
        b.sum += line.magnetic;
        b.min = b.lines == 1 ? line.magnetic : std::min(b.min, line.magnetic);
        b.max = b.lines == 1 ? line.magnetic : std::max(b.max, line.magnetic);
        if (!magneticFixed_) {
            // The reference is the mean over the first metres of the log; lines before it is known are
            // not judged.
            if (std::fabs(line.depth - firstDepth_) <= limits_.referenceLength || referenceLines_ == 0) {
                referenceSum_ += line.magnetic;
                ++referenceLines_;
            } else {
                const double reference = referenceSum_ / static_cast<double>(referenceLines_);
                b.low = reference * (1.0 - limits_.magneticTolerance);
                b.high = reference * (1.0 + limits_.magneticTolerance);
                magneticFixed_ = true;
            }
        }
        if (magneticFixed_)
            judge(b, line.magnetic < b.low || line.magnetic > b.high, line.depth, magneticOpen_);
    }
    last_ = line;
}

std::string recordingFiguresText(const LogQuality& q, std::uint64_t fileBytes, std::uint64_t replaced,
                                 int depthUnit) {
    const char* u = depthUnit == units::kFeet ? "ft" : "m";
    std::string size = fileBytes >= 1024 * 1024
                           ? format("%.1f MB", static_cast<double>(fileBytes) / (1024.0 * 1024.0))
                           : format("%.0f kB", static_cast<double>(fileBytes) / 1024.0);
    std::string text = format("%llu lines, %s", static_cast<unsigned long long>(q.lines()), size.c_str());
    if (q.lines())
        text += format(", %.3f - %.3f %s", units::toDisplay(q.minDepth(), depthUnit),
                       units::toDisplay(q.maxDepth(), depthUnit), u);
    text += format(", %llu replaced, %llu gaps", static_cast<unsigned long long>(replaced),
                   static_cast<unsigned long long>(q.gaps().count));
    if (q.gaps().count)
        text += format(" (largest %.3f %s)", units::toDisplay(q.gaps().largest, depthUnit), u);
    return text;
}

}  // namespace quelt
