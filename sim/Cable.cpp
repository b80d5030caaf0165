#include "sim/Cable.h"

#include <algorithm>
#include <cmath>

namespace quelt::sim {
namespace {
// The sonde's command receiver sees a quarter of the noise the logger's uplink receiver sees: the logger
// drives the cable hard, the sonde answers with small pulses.
constexpr double kDownlinkNoise = 0.25;
}  // namespace

int Cable::maxPulseWidth(int divisor) {
    int m = 4 * divisor;
    return m > 56 && m != 60 ? 60 : m;
}

Window Cable::gainWindow(int divisor, int pulseWidth) const {
    if (spec_.pinnedGains.pinned()) return spec_.pinnedGains;
    bool mono = spec_.kind == CableKind::Mono;
    double km = spec_.lengthM / 1000.0;
    double rel = baudOf(divisor) / 62500.0;
    double centre =
        16.0 + (mono ? 5.0 : 3.0) * km * std::sqrt(rel) - 20.0 * std::log10(std::max(pulseWidth, 1) / 15.0);
    double width = (mono ? 14.0 : 20.0) - (mono ? 1.0 : 2.0) * km * rel;
    return {centre - width / 2, centre + width / 2};
}

Window Cable::driveWindow() const {
    if (spec_.pinnedDrives.pinned()) return spec_.pinnedDrives;
    bool mono = spec_.kind == CableKind::Mono;
    double km = spec_.lengthM / 1000.0;
    return {6.0 + (mono ? 3.0 : 4.0) * km, mono ? 45.0 : 90.0};
}

std::uint8_t Cable::uplinkErrors(const LinkSettings& s, double noise) const {
    bool monoSet = s.cableTypeCode != 0;
    if (monoSet != (spec_.kind == CableKind::Mono))
        return kCommNoResponse;  // the logger listens on the wrong pair
    if (s.baudDivisor < 2 || s.pulseWidth < 5) return kCommNoResponse;
    if (s.pulseWidth > maxPulseWidth(s.baudDivisor)) return kCommChecksumError | kCommBadData;
    Window w = gainWindow(s.baudDivisor, s.pulseWidth);
    double level = s.upGain + spec_.noiseDb * noise;
    if (w.width() <= 0) return noise > 0 ? kCommChecksumError : kCommNoResponse;
    if (level < w.lo) return kCommNoResponse;
    if (level > w.hi) return kCommChecksumError;
    return 0;
}

std::uint8_t Cable::downlinkErrors(const LinkSettings& s, double noise) const {
    Window w = driveWindow();
    double level = s.downDrive + kDownlinkNoise * spec_.noiseDb * noise;
    return level < w.lo || level > w.hi ? kCommNoResponse : 0;
}

double Cable::resistance() const {
    return spec_.lengthM / 1000.0 * (spec_.kind == CableKind::Mono ? 40.0 : 25.0);
}

double Cable::headVoltage(double supplyV, double currentMa) const {
    return std::max(0.0, supplyV - currentMa / 1000.0 * resistance());
}

}  // namespace quelt::sim
