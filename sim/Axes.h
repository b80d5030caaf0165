#pragma once
// The sonde's orientation sensors: how tilt, azimuth and high side set the six axes.
//
// World frame: north, east, down (metres, right-handed). Magnetic north is the north of the model; the
// magnetic declination is the program's own correction and is not simulated.
//
// The hole at a depth runs along the unit vector d = (sin t cos a, sin t sin a, cos t) pointing downhole,
// with t the tilt (0 = vertical) and a the azimuth of the downhole direction, clockwise from north. The high
// side is the unit vector u perpendicular to d that points most upward: u = (cos t cos a, cos t sin a, -sin
// t).
//
// The tool turns about its axis: its scan reference (the direction of sample 0) e0 lies at angle h (the
// high side, degrees) before u, so that u = cos h e0 + sin h (d x e0). Samples turn the same way as h: the
// beam of sample i points at angle i * 360 / N from e0, that is at i * 360 / N - h from the high side,
// clockwise seen from above (N to E) for a near-vertical hole. With the pictures rotated to the high side
// (rotation 360 - h), a feature fixed in the hole therefore holds still while the tool turns.
//
// Sensor axes (a right-handed frame fixed to the tool): x points up the tool (x = -d), z = -e0 and
// y = -(d x e0). The accelerometer reads the gravity vector (pointing down, 1 g), the magnetometer the earth
// field B = F (cos i, 0, sin i) with i the dip of the field (positive downwards):
//     gx = -g cos t            gy = g sin t sin h        gz = g sin t cos h
//     hx = B . x               hy = B . y                hz = B . z
// Scales: 10000 counts per g (so the program's gravity total reads 1.000 in g) and 10000 counts per gauss
// (its magnetic total reads the field in gauss; 0.47 gauss at a dip of 64 degrees by default).
// The orientation of the program (tilt = 180 - acos(gx / |G|), high side = the angle of (gz, gy), azimuth
// from the horizontal projection of H) gives back t, a and h from these axes.

#include <cstdint>

namespace quelt::sim {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double k, Vec3 a) {
    return {k * a.x, k * a.y, k * a.z};
}
inline double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline constexpr double kAccelCountsPerG = 10000.0;
inline constexpr double kMagCountsPerGauss = 10000.0;

// Orientation of the tool, degrees.
struct Orientation {
    double tilt = 0;      // 0..180, 0 = hanging vertically
    double azimuth = 0;   // 0..360, magnetic, of the downhole direction
    double highSide = 0;  // 0..360, angle of the high side from the scan reference
};

struct EarthField {
    double gravityG = 1.0;
    double fieldGauss = 0.47;
    double dipDeg = 64.0;
};

// The tool's frame in world coordinates.
struct ToolFrame {
    Vec3 down;      // d, downhole along the tool
    Vec3 highSide;  // u
    Vec3 ref;       // e0, the direction of sample 0
    Vec3 ref90;     // d x e0, the direction a quarter turn later
    // Unit beam direction at a scan angle (degrees from the reference).
    Vec3 beam(double angleDeg) const;
};

ToolFrame toolFrame(const Orientation& o);

// The six axes as real counts, and as the int16 values a frame carries.
struct AxisValues {
    double gx = 0, gy = 0, gz = 0, hx = 0, hy = 0, hz = 0;
};
struct AxisCounts {
    std::int16_t gx = 0, gy = 0, gz = 0, hx = 0, hy = 0, hz = 0;
};

AxisValues axesFor(const Orientation& o, const EarthField& field = {});
AxisCounts toCounts(const AxisValues& v);

}  // namespace quelt::sim
