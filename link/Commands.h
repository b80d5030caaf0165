#pragma once
// The six command frames built from the settings: the values that fill each field, the encoder scale
// (computed at every send), the preset encoder count, and the read-back check of command 0x01.

#include <cstdint>
#include <mutex>
#include <optional>

#include "config/Settings.h"
#include "link/Frames.h"
#include "link/SondeInfo.h"

namespace quelt {

constexpr std::uint8_t kHighSpeedUpGain = 42;

struct EncoderScale {
    std::int32_t scale = 0;   // counts per centimetre x 256
    double countsPerCm = 0;   // scale / 256
    std::uint16_t field = 0;  // what command 0x01 carries: scale, or scale / 2 above 250 counts per cm
};
// From PulsResolution and PulleysDiameter (the pulley circumference in mm). A circumference of zero or
// less, or a scale outside 32 bits, gives a scale of 0 instead of a division by zero or an overflow.
EncoderScale encoderScale(const Settings& s);

// trunc(countsPerCm x 100 x d), d = depth (feet converted when SetDepthUnit is imperial) plus the
// sonde's height offset in metres; startDepth receives d.
std::int32_t presetCount(const Settings& s, const SondeInfo& sonde, double depth,
                         double* startDepth = nullptr);

CommandFrame makeF0(const Settings& s);
CommandFrame makeF1(const Settings& s);
CommandFrame makeF2(const Settings& s, const SondeInfo& sonde, double depth, double* startDepth = nullptr);
CommandFrame makeF3(const Settings& s, const SondeInfo& sonde);
CommandFrame makeF4(const Settings& s);
CommandFrame makeF5(const Settings& s);

// A logger frame (20-byte layout), or the reply echo it filled, reads back a command 0x01 (its bytes):
// the frame's bytes 1..2, 3..4 and 5 equal the command's bytes 2..3, 4..5 and 6.
bool loggerReadBackMatches(const std::uint8_t* logger20, const std::uint8_t* command01);
inline bool loggerReadBackMatches(const std::uint8_t* logger20, const CommandFrame& lastF1) {
    return loggerReadBackMatches(logger20, lastF1.data());
}

// The command 0x01 last sent to the logger, the reference its logger frames must read back: a logger
// that lost power forgot it and is sent it again. One per acquisition engine, shared with its link.
// Recorded on any thread that sends, read on the reader thread.
class LastLoggerCommand {
  public:
    // Keeps the frame when it is a command 0x01.
    void record(const CommandFrame& frame);
    std::optional<CommandFrame> get() const;
    // The command to send again when a logger frame does not read it back; nullopt when it does, or
    // when none was sent yet.
    std::optional<CommandFrame> resendFor(const std::uint8_t* logger20) const;

  private:
    mutable std::mutex mutex_;
    std::optional<CommandFrame> frame_;
};

}  // namespace quelt
