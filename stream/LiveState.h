#pragma once
// The latest decoded values (LiveState) and the read-backs of the last frame (ReplyEcho). Written by one
// thread at a time (the reader, or the replay path), read by many: every access goes through a small
// lock, and readers take a whole copy, so no reader ever sees a half-written double or text.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace quelt {

// The value of every double of LiveState and ReplyEcho that is not known.
inline constexpr double kNoValue = -99999.0;

struct LiveValues {
    double depth = 0.0;       // metres
    double imageDepth = 0.0;  // second copy of depth for the image builder
    double speed = 0.0;       // m/min
    double elapsed = 0.0;     // seconds
    std::string elapsedText;
    std::string stepText;
    int voltage = 0;
    std::string voltageText;
    int current = 0;
    std::string currentText;
    std::uint8_t frameFlags = 0;
    std::uint8_t commStatus = 0;
    std::uint8_t commStatusSeen = 0;

    int blanking = 0, window = 0, gain = 0, resolutionCode = 0, step = 0, baudCode = 0, pulseWidth = 0;
    int gamma = 0, gclk = 0, shan = 0;
    double gammaRate = 0.0;  // natural gamma count rate, counts per second (GammaRate)
    std::string gainText, resolutionText, stepValueText, baudText, pulseText, toolTempText, probeTempText;

    double fileDepth = 0.0;  // metres, depth of the replayed line

    double hx = kNoValue, hy = kNoValue, hz = kNoValue, gx = kNoValue, gy = kNoValue, gz = kNoValue;
    double highSide = kNoValue;
    double magToolface = kNoValue;
    double tilt = kNoValue;
    double azimuth = kNoValue;
    double rotation = 0.0;
    double gravityTotal = kNoValue, magneticTotal = kNoValue;
    double fieldAngle = kNoValue;
    std::string tiltText, azimuthText;
};

class LiveState {
  public:
    LiveValues snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return values_;
    }
    // Runs fn(LiveValues&) under the lock: one consistent change of any number of fields.
    template <typename Fn>
    void update(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        fn(values_);
    }
    // Reads one value under the lock without copying the whole record.
    template <typename Fn>
    auto read(Fn&& fn) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(values_);
    }

  private:
    mutable std::mutex mutex_;
    LiveValues values_;
};

// The 24 byte slots of the last frame's read-backs. A logger frame fills slots 0..9 with its own first
// ten bytes, which read back command 0x01; a status or full data frame fills them with the sonde's
// read-backs, and a full data frame the sonde's acquisition settings from slot 10 on. The multi-byte
// slots are little-endian.
class ReplyEcho {
  public:
    static constexpr std::size_t kSlots = 24;
    static constexpr std::size_t kFlags = 0;             // frame byte 0: alarms, winch mode, running head
    static constexpr std::size_t kConstant = 1;          // uint16, logger frame: command 0x01's constant
    static constexpr std::size_t kEncoderScale = 3;      // uint16, logger frame: command 0x01's encoder scale
    static constexpr std::size_t kPower = 5;             // logger frame: command 0x01's power
    static constexpr std::size_t kUpGain = 6;            // uphole gain of command 0x03
    static constexpr std::size_t kDownDrive = 7;         // downhole drive of command 0x03
    static constexpr std::size_t kReadBack = 8;          // uint16, the commands the logger took
    static constexpr std::size_t kBaud = 10;             // full data frame: the uphole baud divisor
    static constexpr std::size_t kCommStatus = 11;       // the comm status byte
    static constexpr std::size_t kWindow = 12;           // uint32, full data frame: acquisition window
    static constexpr std::size_t kBlanking = 16;         // uint32, full data frame: blanking
    static constexpr std::size_t kMotorPeriod = 20;      // full data frame: MotorPeriod
    static constexpr std::size_t kResolution = 21;       // full data frame: PicResolution
    static constexpr std::size_t kFrameKindMarker = 22;  // 1 status or full data frame, 0 logger frame
    static constexpr std::size_t kNewReplyMarker = 23;   // set by every decoded frame
    static constexpr std::uint8_t kNoBaud = 0xFF;        // kBaud of a frame that carries no divisor
    using Slots = std::array<std::uint8_t, kSlots>;

    Slots snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_;
    }
    template <typename Fn>
    void update(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        fn(slots_);
    }
    std::uint8_t slot(std::size_t i) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_.at(i);
    }
    std::uint16_t word(std::size_t i) const {  // little-endian uint16 at slots i, i+1
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::uint16_t>(slots_.at(i) | (slots_.at(i + 1) << 8));
    }
    std::uint32_t dword(std::size_t i) const {  // little-endian uint32 at slots i..i+3
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::uint32_t>(slots_.at(i) | (slots_.at(i + 1) << 8) | (slots_.at(i + 2) << 16) |
                                          (static_cast<std::uint32_t>(slots_.at(i + 3)) << 24));
    }
    bool newReply() const { return slot(kNewReplyMarker) != 0; }
    void clearNewReply() {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[kNewReplyMarker] = 0;
    }

  private:
    mutable std::mutex mutex_;
    Slots slots_{};
};

}  // namespace quelt
