#pragma once
// The wireline cable between the logger and the sonde, and the telemetry over it.
//
// Downlink (logger to sonde, commands): the downhole drive energy must lie in a window: too little and the
// sonde does not hear the logger, too much and its receiver saturates (on a mono cable the drive also
// couples into the uplink, so the window closes lower). The lower edge rises with the cable length.
//
// Uplink (sonde to logger, frames): the level at the logger is the uphole receiver gain (dB) plus the
// pulse energy of the sonde's uphole drive, less the cable's loss, which rises with length and speed. The
// logger decodes it when the level lies in a window of gains; the window's width narrows as the speed rises
// (inter-symbol interference grows with speed and length) and is narrower on a mono cable. Below the window
// the logger hears nothing ("No Resp"), above it the pulses ring and the frames fail their checksum. An
// uphole drive wider than the bit time of the speed (4 x divisor, at most 60) smears the bits: garbled.
// Every reading jitters by the cable's noise (dB, normal; the downlink by a quarter of it), so the edges
// of the windows are flaky.
//
// The numbers (km = length / 1000, rel = speed / 62500 = 10 / divisor, u = uphole drive):
//   gain window centre  16 + (mono 5, four-conductor 3) x km x sqrt(rel) - 20 log10(u / 15)   dB
//   gain window width   four-conductor 20 - 2 x km x rel, mono 14 - 1 x km x rel             dB
//   drive window        6 + (mono 3, four-conductor 4) x km  ..  mono 45, four-conductor 90
//   uphole drive        at most 4 x divisor (60 above 56), at least 5
// So the 1500 m four-conductor cable of the clean scenario carries every speed up to 208333 with a window
// of 10 to 17 gains and drives 12..90; the 3.5 km mono cable takes drives 17..45 and its window climbs
// out of the gains a logger offers (0..40) above 78125; at 6 km on mono nothing but the slowest speeds
// remain. A scenario may pin either window for tests: the pinned window then holds at every speed.

#include <cstdint>

#include "link/Frames.h"

namespace quelt::sim {

enum class CableKind { FourConductor = 0, Mono = 1 };

struct Window {
    double lo = 0, hi = 0;
    double width() const { return hi - lo; }
    bool pinned() const { return hi > lo; }
};

struct CableSpec {
    CableKind kind = CableKind::FourConductor;
    double lengthM = 1500;
    double noiseDb = 0.25;
    Window pinnedDrives{};  // when set: the downhole drives the sonde hears, whatever the cable
    Window pinnedGains{};   // when set: the uphole gains that decode clean, at every speed and uphole drive
};

// The link settings the logger and the sonde use.
struct LinkSettings {
    int upGain = 25;        // command 0x03 byte 1
    int downDrive = 15;     // command 0x03 byte 2
    int baudDivisor = 10;   // command 0x04 byte 3
    int pulseWidth = 15;    // command 0x04 byte 4
    int cableTypeCode = 0;  // winch mode byte bit 4: 0 four conductors, 1 mono
};

class Cable {
  public:
    explicit Cable(CableSpec description = {}) : spec_(description) {}
    const CableSpec& description() const { return spec_; }

    // Uplink speed of a divisor, bits per second.
    static double baudOf(int divisor) { return divisor > 0 ? 625000.0 / divisor : 0.0; }
    // The widest uphole drive a speed carries.
    static int maxPulseWidth(int divisor);

    Window gainWindow(int divisor, int pulseWidth) const;
    Window driveWindow() const;

    // Error bits of the uplink and of the downlink for one reading; noise is a standard normal draw.
    std::uint8_t uplinkErrors(const LinkSettings& s, double noise) const;
    std::uint8_t downlinkErrors(const LinkSettings& s, double noise) const;

    // Loop resistance, ohms, and the voltage at the cable head for a surface supply and a current.
    double resistance() const;
    double headVoltage(double supplyV, double currentMa) const;

  private:
    CableSpec spec_;
};

}  // namespace quelt::sim
