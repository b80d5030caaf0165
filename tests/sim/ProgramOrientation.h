#pragma once
// The program's own orientation of six sensor axes, computed by the decoders' routine itself (not a copy
// of its formulas), so that the simulator's geometry is checked against what the program really computes:
// true angles in, the program's angles out.

#include <cmath>

#include "tests/stream/StreamFixture.h"

namespace quelt::sim {

struct Decoded {
    double tilt, azimuth, highSide, gravityTotal, magneticTotal;
};

inline Decoded decode(double gx, double gy, double gz, double hx, double hy, double hz) {
    test::StreamRig rig;
    rig.stream.updateOrientation(hx, hy, hz, gx, gy, gz, false);
    const LiveValues v = rig.v();
    return {v.tilt, v.azimuth, v.highSide, v.gravityTotal, v.magneticTotal};
}

// The smallest difference of two angles, degrees.
inline double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

}  // namespace quelt::sim
