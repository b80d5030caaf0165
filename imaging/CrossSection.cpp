#include "imaging/CrossSection.h"

#include <algorithm>
#include <cmath>

namespace quelt {
namespace {

constexpr double kRad = 3.14159265358979323846 / 180.0;
constexpr int kEdgeMargin = 3;       // pixels between the window end and the outer circle
constexpr double kTurnOffset = 270;  // degrees: sample 0 at the line's orientation is drawn at the top

}  // namespace

CrossSection::CrossSection(int size) : raster_(size, size, kSectionBackground) {}

double CrossSection::blankingRelative() const {
    return std::clamp(settings_.displayBlanking / 10.0 - axisReference(), 0.0, kLongestTravel);
}

double CrossSection::windowEndRelative() const {
    const double end = (settings_.displayBlanking + settings_.displayWindow) / 10.0 - axisReference();
    return std::max(std::min(end, kLongestTravel), blankingRelative() + 0.1);
}

double CrossSection::radiusOf(double relative) const {
    const double edge = raster_.width / 2.0 - kEdgeMargin;
    return relative / windowEndRelative() * edge;
}

void CrossSection::clear() {
    std::fill(raster_.pixels.begin(), raster_.pixels.end(), kSectionBackground);
}

void CrossSection::circle(double radius, std::uint32_t colour) {
    if (radius <= 0) return;
    const double c = centre();
    const int steps = std::max(16, static_cast<int>(radius * 8));
    for (int k = 0; k < steps; ++k) {
        const double a = 2 * 3.14159265358979323846 * k / steps;
        raster_.set(static_cast<int>(std::lround(c + radius * std::cos(a))),
                    static_cast<int>(std::lround(c + radius * std::sin(a))), colour);
    }
}

void CrossSection::line(double x0, double y0, double x1, double y1, std::uint32_t colour) {
    const int n = static_cast<int>(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)))) + 1;
    for (int k = 0; k <= n; ++k) {
        const double t = static_cast<double>(k) / n;
        raster_.set(static_cast<int>(std::lround(x0 + (x1 - x0) * t)),
                    static_cast<int>(std::lround(y0 + (y1 - y0) * t)), colour);
    }
}

void CrossSection::drawCircles() {
    const double c = centre();
    circle(raster_.width / 2.0 - 1, kSectionOuter);
    circle(radiusOf(blankingRelative()), kSectionWindow);
    circle(radiusOf(windowEndRelative()), kSectionWindow);
    circle(radiusOf(kAxisReferenceLead), kSectionSonde);  // the sonde body: the time of its own offset
    if (settings_.showPhantom) {
        const double first = axisReference() / 2.0 + kPhantomLead;
        for (double p : {first, first + kPhantomWidth})
            if (p >= blankingRelative() && p <= windowEndRelative()) circle(radiusOf(p), kSectionPhantom);
    }
    line(c, 0, c, raster_.height - 1, kSectionCross);
    line(0, c, raster_.width - 1, c, kSectionCross);
}

void CrossSection::drawCurve(const Revolution& r) {
    const size_t n = r.travel.size();
    if (n == 0) return;
    const double step = 360.0 / static_cast<double>(n);
    const double start = r.orientation + kTurnOffset + (r.acquisition ? step / 2 : 0.0);
    const double lo = blankingRelative(), hi = windowEndRelative(), c = centre();
    std::vector<std::pair<double, double>> points(n);
    for (size_t i = 0; i < n; ++i) {
        double rel = std::clamp(r.travel[i] / 10.0 - axisReference(), 0.0, kLongestTravel);
        rel = std::clamp(rel, lo, hi);
        const double a = (start + step * static_cast<double>(i)) * kRad;
        const double px = radiusOf(rel);
        points[i] = {c + px * std::cos(a), c + px * std::sin(a)};
    }
    for (size_t i = 0; i < n; ++i) {
        const auto& p = points[i];
        const auto& q = points[(i + 1) % n];
        line(p.first, p.second, q.first, q.second, kSectionCurve);
    }
}

void CrossSectionView::post(Revolution r) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = std::move(r);
}

void CrossSectionView::settingsChanged(const CrossSectionSettings& s, Millis now) {
    section_.configure(s);
    clearDue_ = now + kClearAfterChange;
}

bool CrossSectionView::tick(Millis now, bool framesArriving, int sourceId) {
    bool changed = false;
    if (sourceId != source_ || (!framesArriving && !cleared_) || (clearDue_ >= 0 && now >= clearDue_)) {
        source_ = sourceId;
        clearDue_ = -1;
        section_.clear();
        section_.drawCircles();
        cleared_ = !framesArriving;
        sinceCircles_ = 0;
        changed = true;
    }
    if (framesArriving) cleared_ = false;
    if (now < due_) return changed;
    due_ = now + kPeriod;
    std::optional<Revolution> r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        r.swap(pending_);
    }
    if (!r) return changed;
    section_.drawCurve(*r);
    ++curves_;
    const int mode = section_.settings().refreshMode;
    if (mode == 0 || ++sinceCircles_ >= mode) {
        section_.drawCircles();
        sinceCircles_ = 0;
    }
    return true;
}

}  // namespace quelt
