#pragma once
// The picture ("Acquisition Mode") page without its window: picture resolution and motor period with the
// per-resolution copies MotorPeriod_M1..M4 and the minimum period of the link speed, orientation and
// orientation filter, the read-back of resolution, motor and temperatures, and the echo check of
// command 0x04.

#include <string>

#include "stream/SetupPorts.h"

namespace quelt {

inline constexpr int kMinFilter = 50;
inline constexpr int kMaxFilter = 2000;
inline constexpr int kFilterStep = 50;

struct PictureReadBack {
    std::string resolution, motor, rps, toolTemp, probeTemp;
};

class PictureSetup {
  public:
    explicit PictureSetup(SetupShared& shared);

    // The list entries "90", "120", "180", "360" (resolutionText) and their resolution codes 4, 3, 2, 1.
    static int resolutionAt(int index) { return 4 - index; }
    static int indexOf(int code) { return 4 - code; }
    static const char* orientationText(int code);  // "None", "Magnetic North", "High Side"
    // The column of the minimum-period table this page uses for a baud divisor (0 = "312500").
    static int minimumColumn(int divisor);
    // The minimum motor period of the current resolution and speed.
    int minimumPeriod() const;
    // "(%###.1f RPS)" of a motor period: one period unit is 2.304 ms per turn.
    static std::string rpsText(double period);

    // A resolution chosen (code 1..4): the motor period of that resolution, raised to the minimum.
    void chooseResolution(int code, Millis now);
    // The motor period entry confirmed; refused values show their message.
    bool applyMotorPeriod(int period, Millis now);
    void chooseOrientation(int code);
    // The filter spin released (50..2000 in steps of 50); applied on the surface, no command.
    void setFilter(int ms);
    // The probe page's offset-edit notification: 1 switches to High Side at 360 samples, 2 puts back.
    void offsetEdit(int code, Millis now);

    // Resolution, orientation and motor controls are disabled while a log is playing.
    bool controlsEnabled() const { return !s_.modes.playing.load(); }
    PictureReadBack readBack() const;

    // The pending send (every 64 ms while a command waits) and the echo check.
    void tick(Millis now);
    EchoCheck echoCheck;

  private:
    void setPeriod(int period);
    void send(Millis now);

    SetupShared& s_;
    Millis sendDue_ = -1;
    int savedOrientation_ = 0, savedResolution_ = 2;
    bool calibrating_ = false;
};

}  // namespace quelt
