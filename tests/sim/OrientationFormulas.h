#pragma once
// The program's orientation from the six axes, written out here independently of the simulator, so that
// the tests check the axis model against the formulas the decoder uses.

#include <algorithm>
#include <cmath>

namespace quelt::sim {

// The program's orientation from the axes, written out independently of the simulator.
inline double angleOf(double s, double c, int mode) {
    double ac = std::acos(std::clamp(c, -1.0, 1.0));
    double angle = ac * 180.0 / 3.1415926535;
    bool positive = std::asin(std::clamp(s, -1.0, 1.0)) * ac > 0;
    if (mode == 1) return positive || ac == 0 ? angle : 360 - angle;
    if (mode == 2) return positive || ac == 0 ? angle + 180 : 180 - angle;
    return 180 - angle;
}

struct Decoded {
    double tilt, azimuth, highSide, gravityTotal, magneticTotal;
};

inline Decoded decode(double gx, double gy, double gz, double hx, double hy, double hz) {
    double r = std::sqrt(gy * gy + gz * gz);
    double g = std::sqrt(gx * gx + gy * gy + gz * gz);
    Decoded d{};
    d.highSide = angleOf(gy / r, gz / r, 1);
    d.tilt = angleOf(r / g, gx / g, 3);
    double m = (hx * (gy * gy + gz * gz) - hy * gy * gx - gz * gx * hz) / (r * g);
    double l = (hy * gz - gy * hz) / r;
    double v = std::sqrt(l * l + m * m);
    d.azimuth = angleOf(-l / v, m / v, 2);
    if (d.azimuth > 360) d.azimuth -= 360;
    if (d.azimuth < 0) d.azimuth += 360;
    d.gravityTotal = g / 10000;
    d.magneticTotal = std::sqrt(hx * hx + hy * hy + hz * hz) / 10000;
    return d;
}

inline double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

}  // namespace quelt::sim
