#include "stream/QualityTracks.h"

#include <algorithm>

namespace quelt {
namespace {

static_assert(sizeof(TrackSample) <= 36, "a row must stay small: a long log keeps one per picture row");

bool known(double v) {
    return v != kNoValue && std::isfinite(v);
}

float stored(double v) {
    return known(v) ? static_cast<float>(v) : NAN;
}

bool sameLimits(const QualityLimits& a, const QualityLimits& b) {
    return a.stepMm == b.stepMm && a.revolutionMs == b.revolutionMs &&
           a.gravityTolerance == b.gravityTolerance && a.magneticTolerance == b.magneticTolerance &&
           a.magneticReference == b.magneticReference && a.referenceLength == b.referenceLength;
}

}  // namespace

QualityLine trackLineOf(const LiveValues& v, double depth, double gammaRate, bool liveSpeed) {
    QualityLine line;
    line.depth = depth;
    line.time = v.elapsed;
    line.tilt = v.tilt;
    line.azimuth = v.azimuth;
    line.speed = liveSpeed ? v.speed : kNoValue;
    line.gamma = gammaRate;
    line.gravity = v.gravityTotal;
    line.magnetic = v.magneticTotal;
    return line;
}

QualityTracks::QualityTracks(const QualityLimits& limits) : quality_(limits) {}

void QualityTracks::setLimits(const QualityLimits& limits) {
    std::lock_guard lock(mutex_);
    if (!sameLimits(limits, quality_.limits())) quality_ = LogQuality(limits);
}

QualityLimits QualityTracks::limits() const {
    std::lock_guard lock(mutex_);
    return quality_.limits();
}

void QualityTracks::add(const QualityLine& line, bool down) {
    std::lock_guard lock(mutex_);
    const std::uint64_t gapsBefore = quality_.gaps().count;
    quality_.add(line);
    TrackSample s;
    s.depth = static_cast<float>(line.depth);
    s.tilt = stored(line.tilt);
    s.azimuth = stored(line.azimuth);
    s.speed = stored(quality_.speed());
    s.speedLimit = static_cast<float>(quality_.speedLimit());
    s.gamma = stored(line.gamma);
    s.gravity = stored(line.gravity);
    s.magnetic = stored(line.magnetic);
    if (quality_.overSpeed()) s.flags |= TrackSample::kOverSpeed;
    if (known(line.gravity) && quality_.gravityOutsideNow()) s.flags |= TrackSample::kGravityOutside;
    if (known(line.magnetic) && quality_.magneticReferenceFixed() && quality_.magneticOutsideNow())
        s.flags |= TrackSample::kMagneticOutside;
    if (quality_.gaps().count != gapsBefore) s.flags |= TrackSample::kGapBefore;
    if (std::isfinite(s.tilt)) largestTilt_ = std::max(largestTilt_, static_cast<double>(s.tilt));
    if (std::isfinite(s.gamma)) largestGamma_ = std::max(largestGamma_, static_cast<double>(s.gamma));
    rows_.push_back(s);
    if (rows_.size() > kMaxRows) rows_.pop_front();
    down_ = down;
    ++added_;
}

void QualityTracks::clear() {
    std::lock_guard lock(mutex_);
    rows_.clear();
    rows_.shrink_to_fit();
    quality_.reset();
    largestTilt_ = largestGamma_ = 0.0;
}

std::size_t QualityTracks::rows() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
}

std::uint64_t QualityTracks::added() const {
    std::lock_guard lock(mutex_);
    return added_;
}

TrackWindow QualityTracks::window(std::size_t count, std::size_t rowsBack, std::uint64_t edge) const {
    std::lock_guard lock(mutex_);
    if (edge < added_) rowsBack += static_cast<std::size_t>(added_ - edge);
    TrackWindow w;
    const std::size_t n = rows_.size();
    const std::size_t end = n > rowsBack ? n - rowsBack : 0;
    const std::size_t start = end > count ? end - count : 0;
    w.rows.assign(rows_.begin() + static_cast<std::ptrdiff_t>(start),
                  rows_.begin() + static_cast<std::ptrdiff_t>(end));
    w.down = down_;
    w.gravityLow = quality_.gravity().low;
    w.gravityHigh = quality_.gravity().high;
    if (quality_.magneticReferenceFixed()) {
        w.magneticLow = quality_.magnetic().low;
        w.magneticHigh = quality_.magnetic().high;
    }
    w.magneticReference = quality_.magneticReference();
    w.speedLimit = quality_.speedLimit();
    w.largestTilt = largestTilt_;
    w.largestGamma = largestGamma_;
    return w;
}

}  // namespace quelt
