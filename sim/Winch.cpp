#include "sim/Winch.h"

#include <algorithm>
#include <cmath>

namespace quelt::sim {

Winch::Winch(const WinchProfile& profile) {
    double t = 0, depth = profile.startDepth;
    double a = profile.acceleration > 0 ? profile.acceleration : 0.02;
    pieces_.push_back({t, depth, 0, 0});
    t += std::max(0.0, profile.startPause);
    for (const WinchLeg& leg : profile.legs) {
        double dist = leg.toDepth - depth;
        double dir = dist >= 0 ? 1.0 : -1.0;
        double len = std::fabs(dist);
        double v = std::fabs(leg.speed) / 60.0;
        if (len > 0 && v > 0) {
            // Trapezoid, or a triangle when the leg is too short to reach the speed.
            double ramp = v * v / a;  // distance of acceleration plus deceleration
            if (ramp > len) v = std::sqrt(len * a);
            double tr = v / a;
            double cruise = (len - v * v / a) / v;
            pieces_.push_back({t, depth, 0, dir * a});
            t += tr;
            depth += dir * 0.5 * a * tr * tr;
            pieces_.push_back({t, depth, dir * v, 0});
            t += cruise;
            depth += dir * v * cruise;
            pieces_.push_back({t, depth, dir * v, -dir * a});
            t += tr;
            depth = leg.toDepth;
        }
        pieces_.push_back({t, depth, 0, 0});
        t += std::max(0.0, leg.pauseAfter);
    }
    pieces_.push_back({t, depth, 0, 0});
}

WinchState Winch::at(double seconds) const {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), seconds,
                               [](double s, const Piece& p) { return s < p.t0; });
    const Piece& p = it == pieces_.begin() ? pieces_.front() : *(it - 1);
    double dt = std::max(0.0, seconds - p.t0);
    return {p.depth0 + p.velocity0 * dt + 0.5 * p.accel * dt * dt, (p.velocity0 + p.accel * dt) * 60.0};
}

double Winch::duration() const {
    return pieces_.back().t0;
}

}  // namespace quelt::sim
