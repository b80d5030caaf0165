#include "stream/DepthGaps.h"

#include <cmath>

namespace quelt {

namespace {
// Depths are recorded in whole millimetres: a distance may be off by one of them.
constexpr double kDepthRoundingMm = 1.0;
}  // namespace

void DepthGaps::add(double depthMetres, double stepMm) {
    if (have_) {
        const double distance = std::fabs(depthMetres - last_);
        if (distance > largest_) largest_ = distance;
        if (stepMm >= 0 && distance * 1000.0 > 2.0 * stepMm + kDepthRoundingMm) ++count_;
    }
    have_ = true;
    last_ = depthMetres;
}

}  // namespace quelt
