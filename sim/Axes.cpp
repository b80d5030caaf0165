#include "sim/Axes.h"

#include <algorithm>
#include <cmath>

namespace quelt::sim {
namespace {
constexpr double kRad = 3.14159265358979323846 / 180.0;

std::int16_t clampCount(double v) {
    v = std::round(v);
    return static_cast<std::int16_t>(std::clamp(v, -32767.0, 32767.0));
}
}  // namespace

Vec3 ToolFrame::beam(double angleDeg) const {
    double c = std::cos(angleDeg * kRad), s = std::sin(angleDeg * kRad);
    return c * ref + s * ref90;
}

ToolFrame toolFrame(const Orientation& o) {
    double t = o.tilt * kRad, a = o.azimuth * kRad, h = o.highSide * kRad;
    ToolFrame f;
    f.down = {std::sin(t) * std::cos(a), std::sin(t) * std::sin(a), std::cos(t)};
    f.highSide = {std::cos(t) * std::cos(a), std::cos(t) * std::sin(a), -std::sin(t)};
    // e0 is the high side turned back by h about the tool axis.
    Vec3 side = cross(f.down, f.highSide);
    f.ref = std::cos(h) * f.highSide - std::sin(h) * side;
    f.ref90 = cross(f.down, f.ref);
    return f;
}

AxisValues axesFor(const Orientation& o, const EarthField& field) {
    ToolFrame f = toolFrame(o);
    Vec3 x = -1.0 * f.down, z = -1.0 * f.ref, y = -1.0 * f.ref90;
    Vec3 g = {0, 0, field.gravityG * kAccelCountsPerG};
    double dip = field.dipDeg * kRad, b = field.fieldGauss * kMagCountsPerGauss;
    Vec3 h = {b * std::cos(dip), 0, b * std::sin(dip)};
    return {dot(g, x), dot(g, y), dot(g, z), dot(h, x), dot(h, y), dot(h, z)};
}

AxisCounts toCounts(const AxisValues& v) {
    return {clampCount(v.gx), clampCount(v.gy), clampCount(v.gz),
            clampCount(v.hx), clampCount(v.hy), clampCount(v.hz)};
}

}  // namespace quelt::sim
