#pragma once
// Counter-based random numbers for the simulator. Every draw is a pure function of the run's seed and
// of what it is drawn for (a frame number, a sample index, a byte count ...), so the simulated bytes do
// not depend on how often or how finely the device is ticked: the same seed gives the same bytes.

#include <cmath>
#include <cstdint>

namespace quelt::sim {

inline std::uint64_t mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One stream of draws: the key names what is drawn, the index walks through it.
class RandomStream {
  public:
    RandomStream(std::uint64_t seed, std::uint64_t key) : base_(mix64(seed ^ mix64(key))) {}

    std::uint64_t bits(std::uint64_t index) const {
        return mix64(base_ ^ mix64(index + 0x5851F42D4C957F2Dull));
    }
    // Uniform in [0, 1).
    double uniform(std::uint64_t index) const { return static_cast<double>(bits(index) >> 11) * 0x1.0p-53; }
    double uniform(std::uint64_t index, double lo, double hi) const {
        return lo + (hi - lo) * uniform(index);
    }
    // Standard normal (Box-Muller on two draws of the index).
    double normal(std::uint64_t index) const {
        double u1 = 1.0 - uniform(2 * index);
        double u2 = uniform(2 * index + 1);
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    // Poisson count of the given mean (normal approximation above 30).
    int poisson(std::uint64_t index, double mean) const {
        if (mean <= 0) return 0;
        if (mean > 30) {
            double v = mean + std::sqrt(mean) * normal(index);
            return v < 0 ? 0 : static_cast<int>(v + 0.5);
        }
        double limit = std::exp(-mean), p = 1.0;
        int k = 0;
        for (std::uint64_t i = 0;; ++i) {
            p *= uniform(index * 64 + i);
            if (p <= limit || k >= 200) return k;
            ++k;
        }
    }

  private:
    std::uint64_t base_;
};

// Keys of the streams, one per kind of draw.
enum RandomKey : std::uint64_t {
    kKeyLayers = 1,
    kKeyFractures,
    kKeyWashouts,
    kKeyProfile,
    kKeyTravelNoise,
    kKeyAmplitudeNoise,
    kKeyGamma,
    kKeySensorNoise,
    kKeyCable,
    kKeyByteFaults,
    kKeyFrameFaults,
    kKeyRoughness,
};

}  // namespace quelt::sim
