#include "sim/Borehole.h"

#include <algorithm>
#include <cmath>

#include "sim/Random.h"

namespace quelt::sim {
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;

double wrap360(double a) {
    a = std::fmod(a, 360.0);
    return a < 0 ? a + 360.0 : a;
}

Vec3 planeNormal(double dip, double dipAzimuth) {
    double d = dip * kRad, b = dipAzimuth * kRad;
    return {-std::sin(d) * std::cos(b), -std::sin(d) * std::sin(b), std::cos(d)};
}
}  // namespace

BoreholeSpec generateBorehole(std::uint64_t seed, const BoreholeStyle& style) {
    BoreholeSpec s;
    s.seed = seed;
    s.maxDepth = style.maxDepth;
    s.tilt0 = style.tilt0;
    s.tiltPer100m = style.tiltPer100m;
    s.azimuth0 = style.azimuth0;
    s.azimuthPer100m = style.azimuthPer100m;
    s.casingBottom = style.casingBottom;
    s.bitDiameter = style.bitDiameter;
    RandomStream geo(seed, kKeyLayers);
    s.bedDip = geo.uniform(0, 10, 35);
    s.bedAzimuth = geo.uniform(1, 0, 360);
    s.highSide0 = geo.uniform(2, 0, 360);
    std::uint64_t i = 10;
    for (double top = -20; top < s.maxDepth + 50; ++i) {
        Layer l;
        l.top = top;
        l.soft = geo.uniform(4 * i) < 0.25;
        l.reflectivity = l.soft ? geo.uniform(4 * i + 1, 0.25, 0.45) : geo.uniform(4 * i + 1, 0.5, 0.95);
        l.gamma = l.soft ? geo.uniform(4 * i + 2, 90, 200) : geo.uniform(4 * i + 2, 15, 80);
        s.layers.push_back(l);
        top += geo.uniform(4 * i + 3, 0.4, 6.0);
    }
    RandomStream frac(seed, kKeyFractures);
    if (style.fracturesPer10m > 0) {
        double mean = 10.0 / style.fracturesPer10m;
        std::uint64_t k = 0;
        for (double d = s.casingBottom + frac.uniform(0, 0, mean); d < s.maxDepth; ++k) {
            Fracture f;
            f.depth = d;
            // Two joint sets and a few random ones.
            double set = frac.uniform(5 * k + 1);
            if (set < 0.45) {
                f.dip = 55 + 10 * frac.normal(5 * k + 2) * 0.5;
                f.dipAzimuth = wrap360(300 + 12 * frac.normal(5 * k + 3));
            } else if (set < 0.8) {
                f.dip = 30 + 8 * frac.normal(5 * k + 2) * 0.5;
                f.dipAzimuth = wrap360(150 + 15 * frac.normal(5 * k + 3));
            } else {
                f.dip = frac.uniform(5 * k + 2, 5, 80);
                f.dipAzimuth = frac.uniform(5 * k + 3, 0, 360);
            }
            f.dip = std::clamp(f.dip, 2.0, 85.0);
            f.aperture = frac.uniform(5 * k + 4, 1.0, 8.0);
            s.fractures.push_back(f);
            d += -std::log(1.0 - frac.uniform(5 * k + 5)) * mean + 0.05;
        }
    }
    RandomStream wash(seed, kKeyWashouts);
    if (style.washoutsPer100m > 0) {
        double mean = 100.0 / style.washoutsPer100m;
        std::uint64_t k = 0;
        for (double d = s.casingBottom + 2 + wash.uniform(0, 0, mean); d < s.maxDepth; ++k) {
            Washout w;
            w.top = d;
            w.bottom = d + wash.uniform(5 * k + 1, 0.3, 2.5);
            w.enlargement = wash.uniform(5 * k + 2, 4, 30);
            w.azimuth = wash.uniform(5 * k + 3, 0, 180);
            w.elongation = wash.uniform(5 * k + 4) < 0.4 ? 0.8 : 0.0;
            s.washouts.push_back(w);
            d = w.bottom + -std::log(1.0 - wash.uniform(5 * k + 5)) * mean;
        }
    }
    return s;
}

Borehole::Borehole(BoreholeSpec description) : spec_(std::move(description)) {
    std::sort(spec_.layers.begin(), spec_.layers.end(),
              [](const Layer& a, const Layer& b) { return a.top < b.top; });
    std::sort(spec_.fractures.begin(), spec_.fractures.end(),
              [](const Fracture& a, const Fracture& b) { return a.depth < b.depth; });
    if (spec_.layers.empty()) spec_.layers.push_back(Layer{});
    int n = static_cast<int>(std::max(1.0, spec_.maxDepth)) + 2;
    path_.resize(n);
    Vec3 p{};
    for (int i = 0; i < n; ++i) {
        path_[i] = p;
        Orientation o = orientation(i + 0.5, 0);
        p = p + toolFrame(o).down;
    }
}

Orientation Borehole::orientation(double depth, double seconds) const {
    Orientation o;
    o.tilt = std::clamp(spec_.tilt0 + spec_.tiltPer100m * depth / 100.0, 0.0, 89.0);
    o.azimuth = wrap360(spec_.azimuth0 + spec_.azimuthPer100m * depth / 100.0 + 3.0 * std::sin(depth / 37.0));
    o.highSide = wrap360(spec_.highSide0 + spec_.turnPerMetre * depth + spec_.turnPerSecond * seconds +
                         8.0 * std::sin(seconds / 13.0));
    return o;
}

Vec3 Borehole::position(double depth) const {
    double d = std::clamp(depth, 0.0, static_cast<double>(path_.size() - 2));
    auto i = static_cast<size_t>(d);
    double f = d - static_cast<double>(i);
    Vec3 p = (1 - f) * path_[i] + f * path_[i + 1];
    if (depth < 0) p.z += depth;
    if (depth > static_cast<double>(path_.size() - 2)) p.z += depth - static_cast<double>(path_.size() - 2);
    return p;
}

double Borehole::diameter(double depth) const {
    if (depth < spec_.casingBottom) return spec_.casingInner;
    RandomStream prof(spec_.seed, kKeyProfile);
    double d = spec_.bitDiameter;
    const double periods[3] = {7.3, 23.1, 61.7};
    for (int k = 0; k < 3; ++k)
        d += spec_.diameterWander * std::sin(2 * kPi * depth / periods[k] + prof.uniform(k, 0, 2 * kPi)) /
             (k + 1);
    for (const Washout& w : spec_.washouts) {
        if (depth > w.top && depth < w.bottom && w.elongation == 0) {
            double x = (depth - w.top) / (w.bottom - w.top);
            d += w.enlargement * std::sin(kPi * x) * std::sin(kPi * x);
        }
    }
    // Soft beds ream a little.
    if (layerAt(dot(bedNormal(), position(depth))).soft) d += 3.0;
    return d;
}

double Borehole::radiusAt(double depth, double bearingDeg, std::uint64_t revolution, int sample) const {
    double r = diameter(depth) / 2.0;
    if (depth >= spec_.casingBottom) {
        for (const Washout& w : spec_.washouts) {
            if (depth > w.top && depth < w.bottom && w.elongation > 0) {
                double x = (depth - w.top) / (w.bottom - w.top);
                double c = std::cos((bearingDeg - w.azimuth) * kRad);
                double lobe = std::pow(c * c, 6.0);
                r += 0.5 * w.enlargement * std::sin(kPi * x) * std::sin(kPi * x) * lobe * w.elongation;
            }
        }
        // A wall texture fixed in the rock, and the noise of the measurement.
        r += spec_.roughness * 0.7 * std::sin(depth * 53.0 + 3.0 * std::sin(bearingDeg * kRad * 2.0));
        RandomStream noise(spec_.seed, kKeyRoughness);
        r += spec_.roughness * 0.5 * noise.normal(revolution * 400 + static_cast<std::uint64_t>(sample));
    }
    return std::max(r, spec_.toolDiameter / 2.0 + 0.5);
}

Vec3 Borehole::bedNormal() const {
    return planeNormal(spec_.bedDip, spec_.bedAzimuth);
}

const Layer& Borehole::layerAt(double stratDepth) const {
    auto it = std::upper_bound(spec_.layers.begin(), spec_.layers.end(), stratDepth,
                               [](double d, const Layer& l) { return d < l.top; });
    return it == spec_.layers.begin() ? spec_.layers.front() : *(it - 1);
}

double Borehole::travelOfDiameter(double diameterMm, double d42Travel, double velocity) {
    return d42Travel * 10.0 + (diameterMm - 42.0) * 10000.0 / velocity;
}

std::vector<Echo> Borehole::scan(double depth, double seconds, int n, const AcquisitionWindow& w,
                                 std::uint64_t revolution) const {
    std::vector<Echo> out(static_cast<size_t>(std::max(n, 0)));
    if (n <= 0) return out;
    const double lo = w.blanking, hi = static_cast<double>(w.blanking) + w.window;
    auto clipTravel = [&](double t) {
        return static_cast<std::uint16_t>(std::clamp(std::round(std::clamp(t, lo, hi)), 0.0, 65535.0));
    };
    if (position(depth).z < spec_.waterLevel) {
        // In air nothing comes back: the sonde reports the end of its window.
        for (auto& e : out)
            e = {clipTravel(hi), 0.0};
        return out;
    }
    Orientation o = orientation(depth, seconds);
    ToolFrame f = toolFrame(o);
    Vec3 axis = position(depth);
    Vec3 bed = bedNormal();
    bool cased = depth < spec_.casingBottom;
    double r0 = diameter(depth) / 2.0;
    double clearance = std::max(0.0, r0 - spec_.toolDiameter / 2.0 - 1.0);
    double lean = std::min(1.0, o.tilt / 10.0) * spec_.eccentering;
    Vec3 ecc = (-clearance * lean) * f.highSide;  // mm, towards the low side
    RandomStream tnoise(spec_.seed, kKeyTravelNoise);
    RandomStream anoise(spec_.seed, kKeyAmplitudeNoise);
    // Fractures close enough to matter.
    auto first = std::lower_bound(spec_.fractures.begin(), spec_.fractures.end(), depth - 1.0,
                                  [](const Fracture& fr, double d) { return fr.depth < d; });
    for (int i = 0; i < n; ++i) {
        Vec3 b = f.beam(360.0 * i / n);
        double bearing = wrap360(std::atan2(b.y, b.x) / kRad);
        double r = radiusAt(depth, bearing, revolution, i);
        double eb = dot(ecc, b);
        double range = -eb + std::sqrt(std::max(0.0, r * r - dot(ecc, ecc) + eb * eb));  // mm from the tool
        Vec3 hit = ecc + range * b;                                                      // mm from the axis
        Vec3 wall = axis + 0.001 * hit;
        double refl;
        if (cased) {
            refl = 1.25;
        } else {
            refl = layerAt(dot(bed, wall)).reflectivity;
            for (auto it = first; it != spec_.fractures.end() && it->depth < depth + 1.0; ++it) {
                Vec3 q = position(it->depth);
                double dist = std::fabs(dot(planeNormal(it->dip, it->dipAzimuth), wall - q)) * 1000.0;  // mm
                double half = it->aperture / 2.0 + 2.0;
                if (dist < half) {
                    double k = 1.0 - dist / half;
                    range += it->aperture * 0.8 * k;
                    refl *= 1.0 - 0.85 * k;
                }
            }
        }
        // Oblique incidence on an eccentred tool and spreading lose signal.
        double cosInc = std::fabs(dot(hit, b)) / std::max(1.0, std::sqrt(dot(hit, hit)));
        refl *= std::pow(cosInc, 4.0) * std::min(1.5, 35.0 / std::max(range, 1.0));
        refl *= std::exp(0.12 * anoise.normal(revolution * 400 + static_cast<std::uint64_t>(i)));
        double t = travelOfDiameter(2.0 * range, w.d42Travel, spec_.waterVelocity) +
                   1.2 * tnoise.normal(revolution * 400 + static_cast<std::uint64_t>(i));
        Echo e{clipTravel(t), refl};
        // An echo outside the window is not seen: the sonde reports the end of its window, as in air.
        if (t > hi || t < lo) e = {clipTravel(hi), 0.0};
        out[static_cast<size_t>(i)] = e;
    }
    return out;
}

double Borehole::gammaRate(double depth) const {
    double sum = 0;
    Vec3 bed = bedNormal();
    for (int k = -2; k <= 2; ++k)
        sum += layerAt(dot(bed, position(depth + 0.12 * k))).gamma;
    double rate = sum / 5.0;
    if (depth < spec_.casingBottom) rate *= 0.7;
    return rate;
}

double Borehole::waterTemperature(double depth) const {
    return 11.0 + 0.03 * std::max(0.0, position(depth).z);
}

}  // namespace quelt::sim
