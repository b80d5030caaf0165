#pragma once
// The winch page without its window: encoder direction, encoder resolution, wheel circumference (metric
// or imperial) and cable type, the three acceptance rules of a wheel and encoder, the encoder scale, and
// the echo check of command 0x01.

#include <string>

#include "link/Frames.h"
#include "platform/Units.h"
#include "stream/SetupPorts.h"

namespace quelt {

inline constexpr int kMinPulsResolution = 500;
inline constexpr int kMaxPulsResolution = 10000;
inline constexpr double kMinCircumMm = 250.0, kMaxCircumMm = 1500.0;
inline constexpr double kMinCircumInch = 10.0, kMaxCircumInch = 60.0;
inline constexpr double kMmToInch = units::kInchesPerMillimetre;
inline constexpr double kInchToMm = 25.4;

// Whether a wheel and an encoder can count depth: 0.05 to 1 mm per pulse (3000 x mm per pulse within
// 150..3000), and more than 10 and less than 510 pulses per 40 mm.
enum class WheelCheck { Ok, TooHigh, TooLow, Bad };
WheelCheck checkWheel(int pulsesPerTurn, double circumferenceMm);
const char* wheelCheckText(WheelCheck check);  // "" for Ok

class WinchSetup {
  public:
    explicit WinchSetup(SetupShared& shared);

    bool imperial() const { return s_.settings.SetDepthUnit == 1; }
    // The circumference as the entry shows it: millimetres with one decimal, inches with two.
    std::string circumferenceText() const;
    const char* unitText() const { return imperial() ? "inch" : "mm"; }
    // The encoder scale: pulses per 40 mm x 256 rounded half away from zero, and its real value.
    std::int32_t encoderScale() const;
    double encoderScaleReal() const { return encoderScale() / 256.0; }

    // The entries confirmed; a refused value shows its text and changes nothing.
    bool applyResolution(int pulsesPerTurn, Millis now);
    // `resolutionEntry` is what the resolution entry holds (taken into PulsResolution first).
    bool applyCircumference(double value, int resolutionEntry, Millis now);
    // "&Set": the resolution, then the circumference.
    void set(int resolutionEntry, double circumference, Millis now);
    // A spin step: the new value, or the old one with "Bad wheel/encoder combination" when it would
    // break a rule. The released spin applies quietly and sends only when no command is pending.
    int stepResolution(int current, int direction);
    double stepCircumference(double current, int direction);
    void releaseResolution(int value, Millis now);
    void releaseCircumference(double value, Millis now);
    void setDirection(bool normal, Millis now);
    void setCableType(int type, Millis now);
    // The main window's depth-unit command: the entry turns to inches (two decimals, which also become
    // the stored inch value) or to millimetres.
    void unitChanged();
    bool cableTypeEnabled() const { return !s_.modes.playing.load(); }

    void tick(Millis now) { echoCheck.tick(now); }
    EchoCheck echoCheck;

  private:
    void accepted(Millis now, bool send);
    std::uint8_t modeByte() const;

    SetupShared& s_;
};

}  // namespace quelt
