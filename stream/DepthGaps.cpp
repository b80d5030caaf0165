#include "stream/DepthGaps.h"

#include <cmath>

#include "stream/LogQuality.h"

namespace quelt {

void DepthGaps::add(double depthMetres, double stepMm) {
    if (have_) {
        const double distance = std::fabs(depthMetres - last_);
        if (distance > largest_) largest_ = distance;
        if (stepMm >= 0 && depthGapOver(last_, depthMetres, stepMm / 1000.0) > 0) ++count_;
    }
    have_ = true;
    last_ = depthMetres;
}

}  // namespace quelt
