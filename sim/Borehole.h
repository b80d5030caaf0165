#pragma once
// The synthetic borehole: a cased top, an open hole whose diameter wanders and washes out in soft beds,
// bedding and fractures that are planes in the world and so cross the hole as sinusoids in both pictures,
// a deviated trajectory and a tool that turns slowly on its cable. Everything is a function of the run's
// seed, the depth along the hole and the time, so the same seed gives the same hole.

#include <cstdint>
#include <vector>

#include "sim/Axes.h"

namespace quelt::sim {

struct Layer {
    double top = 0;             // m, stratigraphic depth of the bed's top where it crosses the hole axis
    double gamma = 60;          // natural gamma, counts per second
    double reflectivity = 0.6;  // 0..1.3, acoustic reflectivity of the wall
    bool soft = false;          // washes out
};

struct Fracture {
    double depth = 0;       // m, where the plane cuts the hole axis
    double dip = 45;        // degrees
    double dipAzimuth = 0;  // degrees, magnetic
    double aperture = 3;    // mm
};

struct Washout {
    double top = 0, bottom = 0;  // m
    double enlargement = 10;     // mm of diameter at the centre
    double azimuth = 0;          // degrees: direction of a breakout (elongation > 0)
    double elongation = 0;       // 0 round washout .. 1 two opposite breakouts only
};

struct BoreholeSpec {
    double maxDepth = 600;        // m
    double waterLevel = 2.0;      // m, no echo above it
    double waterVelocity = 1484;  // m/s
    double casingBottom = 8.0;    // m
    double casingInner = 90.0;    // mm
    double bitDiameter = 76.0;    // mm
    double diameterWander = 1.5;  // mm
    double roughness = 0.5;       // mm rms of the wall
    double toolDiameter = 42.0;   // mm
    double eccentering = 0.3;  // part of the clearance by which the tool lies on the low side (tilted hole)
    // Trajectory.
    double tilt0 = 1.5, tiltPer100m = 0.0;  // degrees
    double azimuth0 = 40, azimuthPer100m = 0.0;
    // Tool rotation: degrees per metre of cable run plus degrees per second.
    double turnPerMetre = 25.0, turnPerSecond = 0.3;
    double highSide0 = 30.0;
    // Bedding planes (all beds share one attitude).
    double bedDip = 20, bedAzimuth = 120;
    EarthField field;
    std::vector<Layer> layers;  // sorted by top
    std::vector<Fracture> fractures;
    std::vector<Washout> washouts;
    std::uint64_t seed = 1;
};

// How the borehole is generated from a seed.
struct BoreholeStyle {
    double maxDepth = 600;
    double fracturesPer10m = 1.0;
    double washoutsPer100m = 4.0;
    double tilt0 = 1.5, tiltPer100m = 0.0;
    double azimuth0 = 40, azimuthPer100m = 0.0;
    double casingBottom = 8.0;
    double bitDiameter = 76.0;
};
BoreholeSpec generateBorehole(std::uint64_t seed, const BoreholeStyle& style);

// What the sonde was told to acquire.
struct AcquisitionWindow {
    int blanking = 1200;  // tenths of a microsecond
    int window = 500;
    double d42Travel = 132.0;  // microseconds: the sonde's own travel-time offset
};

// One echo: travel time in tenths of a microsecond (clipped to the window) and wall reflectivity (0 = none).
struct Echo {
    std::uint16_t travel = 0;
    double reflectivity = 0;
};

class Borehole {
  public:
    explicit Borehole(BoreholeSpec description);
    const BoreholeSpec& description() const { return spec_; }

    Orientation orientation(double depth, double seconds) const;
    // World position of the hole axis at a depth along the hole (m).
    Vec3 position(double depth) const;
    // Nominal diameter of the hole at a depth, mm (casing or open hole, washouts included, at no azimuth).
    double diameter(double depth) const;
    // The echoes of one revolution of n samples.
    std::vector<Echo> scan(double depth, double seconds, int n, const AcquisitionWindow& w,
                           std::uint64_t revolution) const;
    // Natural gamma rate at a depth, counts per second.
    double gammaRate(double depth) const;
    // Water temperature at a depth, degrees C.
    double waterTemperature(double depth) const;
    // Two-way travel time of a diameter, tenths of a microsecond (the travel-time tools' relation).
    static double travelOfDiameter(double diameterMm, double d42Travel, double velocity);

  private:
    const Layer& layerAt(double stratDepth) const;
    double radiusAt(double depth, double bearingDeg, std::uint64_t revolution, int sample) const;
    Vec3 bedNormal() const;

    BoreholeSpec spec_;
    std::vector<Vec3> path_;  // axis position at every metre
};

}  // namespace quelt::sim
