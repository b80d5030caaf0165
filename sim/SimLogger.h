#pragma once
// The simulated surface logger and its sonde, byte for byte on the wire.
//
// Commands arrive from the host as bare bytes; each is checked against its sum (a bad one is rejected and
// the parser slides on by one byte). The logger keeps command 0x01 (winch mode, constant, encoder scale,
// power) and 0x03 (uphole gain, downhole drive) itself and reads them back in its logger frames; 0x02
// presets its encoder count; 0x00, 0x04 and 0x05 go down the cable to the sonde, which takes them only when
// the downlink carries them.
//
// Uplink, as USB frames (sync, sequence, length, body, sum, 0x99):
//  - sonde switched off or booting: a logger frame every 250 ms. The logger feeds the cable from its first
//    command 0x01, but relays the sonde only once the power-up has set the cable link (0x03), until the
//    power-down's 0x00: a sonde the operator has not switched on sends nothing;
//  - sonde switched on and idle: a status frame every 100 ms, every fifth one a logger frame instead;
//  - sonde acquiring (after 0x04, until 0x00): one full data frame per revolution, MotorPeriod x 2.304 ms,
//    never faster than the uphole speed carries the frame (a shorter motor period is stretched to it, as
//    the sonde's motor waits for the frame); a frame the logger could not decode from the cable is
//    replaced by a status frame carrying the errors; while the sonde takes new parameters (300 ms after
//    0x04) status frames with " - Sonde Parametring"; for 150 ms after 0x03 or 0x05 the comm status
//    carries " - Updating" beside its other bits.
// Frame byte 0 carries the alarm bits (0x40 encoder, 0x80 low battery), the winch mode of command 0x01 in
// bits 4 and 5, and the sonde activity bits in its low nibble (0x01 motor turning, 0x02 acoustics running).
// Full data frames always carry four-byte samples and report format 4, as the sonde does, unless the scenario
// asks for literal three-byte samples.
//
// The engine runs on simulated time: tick(now) emits every frame due up to now. Everything it emits is a
// function of the scenario, its seed and the times of the commands, so a run is reproducible.

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/Clock.h"
#include "platform/LoggerBridge.h"
#include "sim/Borehole.h"
#include "sim/Cable.h"
#include "sim/Scenario.h"
#include "sim/Winch.h"

namespace quelt::sim {

// The simulated bridge reports itself as the logger's own.
inline constexpr std::uint16_t kSimVendorId = kFtdiVendorId;
inline constexpr std::uint16_t kSimProductId = kLoggerProductId;
inline constexpr const char* kSimDescription = kLoggerProductString;

struct LoggerSettings {
    bool configured = false;  // command 0x01 taken since the logger was powered
    std::uint8_t winchMode = 0;
    std::uint16_t constant = 0;
    std::uint16_t scaleField = 0;
    std::uint8_t power = 0;
    std::uint8_t upGain = 25;
    std::uint8_t downDrive = 15;
};

struct SondeSettings {
    std::uint8_t resolution = 2;
    std::uint8_t motorPeriod = 87;
    std::uint8_t baudDivisor = 10;
    std::uint8_t pulseWidth = 15;
    std::uint8_t format = 6;
    std::uint16_t blanking = 1200;
    std::uint16_t window = 500;
    std::uint8_t gain = 10;  // bit 7: automatic gain
};

struct SimCounters {
    int loggerFrames = 0, statusFrames = 0, dataFrames = 0;
    int lostFrames = 0;
    int commandsTaken = 0, commandsRejected = 0;
    int bytesCorrupted = 0, bytesDropped = 0, bytesInserted = 0;
};

class SimLogger {
  public:
    SimLogger(const Scenario& scenario, Millis start);

    // Bytes from the host.
    void write(const std::uint8_t* data, size_t n, Millis now);
    // Emit every frame due up to now.
    void tick(Millis now);
    size_t available() const { return uplink_.size(); }
    size_t read(std::uint8_t* out, size_t n);
    void purge() { uplink_.clear(); }

    // The USB side: false while the cable is pulled.
    bool attached(Millis now) const;
    // Pull the USB cable now / plug it back now.
    void pull(Millis now);
    void plugBack(Millis now);
    // A power cycle of the logger: it forgets command 0x01 and its gains, the sonde stops.
    void resetLogger(Millis now);

    FaultSpec& faults() { return scenario_.faults; }
    const Scenario& scenario() const { return scenario_; }
    const LoggerSettings& logger() const { return logger_; }
    const SondeSettings& sonde() const { return sonde_; }
    const SimCounters& counters() const { return counters_; }
    const Borehole& borehole() const { return hole_; }
    bool acquiring() const { return acquiring_; }
    // True depth of the sonde (m) and encoder counts per centimetre the logger uses.
    double trueDepth(Millis at) const;
    // The scale of command 0x01 with its halving undone: the program sends scale / 2 above 250 counts per
    // cm, and a 16-bit field cannot tell every halved scale from a whole one (fields 32001..64000 are
    // both). With the winch's wheel known (setWheel), the field is halved when the wheel is above 250
    // counts per cm; without it, only a field above 64000, more than any whole scale, is taken as halved.
    double countsPerCm() const;
    // The wheel of the simulated winch in counts per centimetre, as the operator's settings describe it
    // (encoderScale(settings).countsPerCm); 0: unknown.
    void setWheel(double countsPerCm) { wheel_ = countsPerCm; }
    // Revolution period actually run, ms, and the shortest the uphole speed carries.
    double revolutionMs() const;
    double shortestRevolutionMs() const;
    int samplesPerRevolution() const;

  private:
    struct Pending {
        Millis at;
        std::vector<std::uint8_t> cmd;
    };
    void forget();
    void takeCommand(const std::vector<std::uint8_t>& cmd, Millis now);
    void applySondeCommand(const std::vector<std::uint8_t>& cmd, Millis at);
    void emitDue(Millis now);
    void emitFrame(Millis at);
    void send(const std::vector<std::uint8_t>& body, Millis at);
    bool sondePowered(Millis at) const;
    bool sondeBooted(Millis at) const;
    LinkSettings link() const;
    std::uint8_t flags() const;
    std::int32_t encoderCount(Millis at) const;
    std::int16_t speedCount(Millis at) const;
    double currentMa() const;
    std::uint8_t commStatus(Millis at, bool& uplinkOk);
    std::vector<std::uint8_t> loggerBody(Millis at);
    std::vector<std::uint8_t> statusBody(Millis at, std::uint8_t status);
    void writeSondeHeader(std::vector<std::uint8_t>& b, Millis at);
    std::vector<std::uint8_t> dataBody(Millis at, std::uint8_t status);
    double runSeconds(Millis at) const;
    // The read-backs of gain, motor period and winch mode, wrong after a change when the scenario says so.
    std::uint8_t echoedGain() const;
    std::uint8_t echoedMotorPeriod() const;
    std::uint8_t echoedWinchMode() const;

    Scenario scenario_;
    Borehole hole_;
    Winch winch_;
    Cable cable_;
    Millis start_;
    Millis last_;
    LoggerSettings logger_;
    SondeSettings sonde_;
    SimCounters counters_;
    std::vector<std::uint8_t> rx_;  // command bytes not yet parsed
    Millis rxSince_ = 0;
    std::deque<Pending> pending_;
    std::deque<std::uint8_t> uplink_;
    bool acquiring_ = false;
    bool sondeOn_ = false;  // switched on by the operator: 0x03 of the power-up, until 0x00
    Millis poweredAt_ = -1;
    Millis parameteringUntil_ = -1, updatingUntil_ = -1;
    Millis winchStart_ = -1;  // the winch starts with the first power-up (0x03) or acquisition
    Millis nextFrame_;
    bool pulled_ = false;
    bool resetDone_ = false;
    double depthShift_ = 0;
    double wheel_ = 0;
    double toolTemp_ = 11.0;
    std::uint8_t sequence_ = 0;
    std::uint16_t accepted_ = 0;
    std::uint64_t frameIndex_ = 0, byteIndex_ = 0, commandIndex_ = 0, revolution_ = 0;
    int idleSlot_ = 0;
    int firstGain_ = -1, firstMotorPeriod_ = -1, firstWinchMode_ = -1;  // the first values given
};

}  // namespace quelt::sim
