#pragma once
// Every byte that crosses the logger link: the six command frames (host to logger), the USB frame
// envelope (logger to host), the frame families with their lengths and field offsets, the checksums,
// the 19 to 20 byte widening of logger frames, the salvage of an over-long frame, the full data frame
// layout and the channel identifiers. All multi-byte values are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Channels.h"
#include "config/Resolution.h"
#include "platform/LittleEndian.h"

namespace quelt {

// ---------------------------------------------------------------- command frames (host to logger)
enum CommandCode : std::uint8_t {
    kCmdWinchMode = 0x00,    // sendF0
    kCmdLogger = 0x01,       // sendF1
    kCmdPresetDepth = 0x02,  // sendF2
    kCmdGains = 0x03,        // sendF3
    kCmdPicture = 0x04,      // sendF4
    kCmdAcoustic = 0x05,     // sendF5
};
constexpr std::size_t kCommandCount = 6;
constexpr std::array<std::uint8_t, kCommandCount> kCommandLengths = {3, 8, 6, 4, 7, 7};
constexpr std::size_t kMaxCommandLength = 8;
constexpr std::uint16_t kLoggerConstant = 1500;  // command 0x01 bytes 2..3
constexpr std::uint8_t kSampleFormat3Byte = 6;   // command 0x04 byte 5
constexpr std::uint8_t kAutomaticGain = 0x80;    // command 0x05 byte 5 with automatic gain

// Length of the command with this code, 0 for an unknown code.
constexpr std::size_t commandLength(std::uint8_t code) {
    return code < kCommandCount ? kCommandLengths[code] : 0;
}

struct CommandFrame {
    std::array<std::uint8_t, kMaxCommandLength> bytes{};
    std::uint8_t length = 0;
    std::uint8_t code() const { return bytes[0]; }
    const std::uint8_t* data() const { return bytes.data(); }
};

// Sum of bytes 0..length-2 modulo 256.
std::uint8_t commandSum(const std::uint8_t* frame, std::size_t length);
// Stores the sum in the last byte.
void storeCommandSum(std::uint8_t* frame, std::size_t length);
// The stored sum equals the recomputed one (and length >= 2).
bool commandSumValid(const std::uint8_t* frame, std::size_t length);
inline bool commandSumValid(const CommandFrame& f) {
    return commandSumValid(f.data(), f.length);
}

// CableType << 4, plus 0x20 when PulleyDir is set, low 8 bits.
std::uint8_t winchModeByte(int cableType, bool pulleyDir);

// The builders fill the fields and the sum.
CommandFrame buildF0(std::uint8_t winchMode);
CommandFrame buildF1(std::uint8_t winchMode, std::uint16_t constant, std::uint16_t encoderScale,
                     std::uint8_t power);
CommandFrame buildF2(std::int32_t presetCount);
CommandFrame buildF3(std::uint8_t upholeGain, std::uint8_t downholeDrive);
CommandFrame buildF4(std::uint8_t resolution, std::uint8_t motorPeriod, std::uint8_t baudDivisor,
                     std::uint8_t pulseWidth, std::uint8_t sampleFormat = kSampleFormat3Byte);
CommandFrame buildF5(std::uint16_t blanking, std::uint16_t window, std::uint8_t gain);

// The fields of each command, by offset (byte 0 is the code, the last byte the sum).
namespace f0 {
constexpr std::size_t kWinchMode = 1;
}
namespace f1 {
constexpr std::size_t kWinchMode = 1, kConstant = 2, kEncoderScale = 4, kPower = 6;  // uint16 2, 4
}
namespace f2 {
constexpr std::size_t kPresetCount = 1;  // int32
}
namespace f3 {
constexpr std::size_t kUpGain = 1, kDownDrive = 2;
}
namespace f4 {
constexpr std::size_t kResolution = 1, kMotorPeriod = 2, kBaudDivisor = 3, kPulseWidth = 4, kFormat = 5;
}
namespace f5 {
constexpr std::size_t kBlanking = 1, kWindow = 3, kGain = 5;  // uint16 1, 3
}

// ---------------------------------------------------------------- USB frame (logger to host)
constexpr std::array<std::uint8_t, 4> kSync = {0x55, 0xAA, 0x5A, 0xA5};
constexpr std::uint32_t kSyncWord = 0xA55AAA55;
constexpr std::size_t kUsbHeaderSize = 7;  // sync 4, sequence 1, uint16 length L (counts the header too)
constexpr std::size_t kUsbSequenceOffset = 4;
constexpr std::size_t kUsbLengthOffset = 5;
constexpr std::uint8_t kTerminator = 0x99;
constexpr std::size_t kMaxPayload = 8192;      // an L-7 above this ...
constexpr std::size_t kOversizedPayload = 24;  // ... is taken as this

// Payload = body, uint16 sum of the body, 0x99. Frame length (by which a frame is identified) =
// body + 2 = payload - 1.
struct UsbHeader {
    std::uint8_t sequence = 0;
    std::uint16_t length = 0;  // L as sent
    // The payload length the reader expects: L-7, or 24 when L-7 exceeds 8192. A length field below 7
    // wraps to a large value and is therefore taken as 24 too.
    std::size_t payloadLength() const;
    std::size_t frameLength() const { return payloadLength() - 1; }
};

// Reads the header at p (which must hold kUsbHeaderSize bytes starting with the sync).
UsbHeader parseUsbHeader(const std::uint8_t* p);
// True when p holds the four sync bytes.
bool isSync(const std::uint8_t* p);

// 16-bit sum of bytes, overflow wrapping.
std::uint16_t sum16(const std::uint8_t* bytes, std::size_t count);
// A frame of frameLength bytes (body + checksum) whose checksum equals the sum of the body.
bool frameSumValid(const std::uint8_t* frame, std::size_t frameLength);
// Stores the 16-bit sum of the body into the last two bytes of the frame.
void storeFrameSum(std::uint8_t* frame, std::size_t frameLength);

// A whole USB frame around a body: sync, sequence, L, body, sum of the body, 0x99.
std::vector<std::uint8_t> buildUsbFrame(std::uint8_t sequence, const std::uint8_t* body,
                                        std::size_t bodySize);

// ---------------------------------------------------------------- frame families
constexpr std::size_t kStatusFrameLength = 16;
constexpr std::size_t kLogger19Length = 19;
constexpr std::size_t kLogger20Length = 20;
constexpr std::size_t kFull90Length = 405;
constexpr std::size_t kFull120Length = 525;
constexpr std::size_t kFull180Length = 765;
constexpr std::size_t kFull360Length = 1485;

enum class FrameKind { Status, Logger19, Logger20, Full, Other };
FrameKind frameKind(std::size_t frameLength);
const char* frameKindName(FrameKind kind);  // "status", "logger19", "logger20", "full", "other"

// Byte 0 of every frame.
constexpr std::uint8_t kRunningHead = 0x0F;    // any of these: the sonde acquires
constexpr std::uint8_t kWinchModeBits = 0x30;  // the winch mode of command 0x01 in use
constexpr std::uint8_t kAlarmEncoder = 0x40;
constexpr std::uint8_t kAlarmPower = 0x80;

// Status frame, 16 bytes.
namespace status {
constexpr std::size_t kAlarms = 0, kUpGain = 1, kDownDrive = 2, kReadBack = 3, kEncoder = 5, kSpeed = 9,
                      kVoltage = 11, kCurrent = 12, kCommStatus = 13, kSum = 14;
}

// Logger frame, 20-byte layout (a 19-byte body is widened into it first).
namespace logger {
constexpr std::size_t kAlarms = 0, kConstant = 1, kEncoderScale = 3, kPower = 5, kSlot6 = 6, kSlot7 = 7,
                      kSlot8 = 8, kEncoder = 10, kSpeed = 14, kVoltage = 16, kCurrent = 17, kSum = 18;
}
// Widens a 19-byte logger frame into the 20-byte layout: the one-byte encoder-scale read-back at 3 is
// zero-extended, every later field moves up by one. The checksum is unchanged (a zero byte adds nothing).
std::array<std::uint8_t, kLogger20Length> widenLogger19(const std::uint8_t* frame19);

// Full data frame: the 40-byte image header.
namespace image {
constexpr std::size_t kAlarms = 0, kUpGain = 1, kDownDrive = 2, kReadBack = 3, kEncoder = 5, kSpeed = 9,
                      kVoltage = 11, kCurrent = 12, kBlanking = 13, kWindow = 15, kGain = 17,
                      kResolution = 18, kMotorPeriod = 19, kBaud = 20, kPulse = 21, kFormat = 22, kHx = 23,
                      kGx = 25, kHy = 27, kGy = 29, kHz = 31, kGz = 33, kGamma = 35, kGammaClock = 37,
                      kToolTemp = 38, kProbeTemp = 39;
constexpr std::size_t kHeaderSize = 40;
constexpr std::uint8_t kGainAutomatic = 0x80;
constexpr std::uint8_t kBaudMask = 0x7F;  // the divisor in the baud byte; bit 7 is not part of it
// Inside each sample: the uint16 travel time, then the amplitude (one byte, or a uint16 with
// automatic gain).
constexpr std::size_t kSampleTravel = 0, kSampleAmplitude = 2;
}  // namespace image
// Bytes per sample: 3 when the format byte is 6 and gain bit 7 is clear, otherwise 4. Taking the stride
// from the same rule as the area size means a frame is never parsed with a stride that does not fit it.
int sampleStride(std::uint8_t format, std::uint8_t gain);

// Where everything sits in one full data frame.
struct FullFrameLayout {
    int samples = 0;              // N
    int stride = 0;               // 3 or 4
    bool wideAmplitude = false;   // amplitude is a uint16 (4-byte samples with gain bit 7 set)
    std::size_t sampleArea = 0;   // S = N * stride
    std::size_t extraOffset = 0;  // the two summed, uninterpreted bytes (CSUM)
    std::size_t commOffset = 0;   // comm status byte
    std::size_t sumOffset = 0;    // uint16 checksum
    std::size_t length = 0;       // S + 45
};
FullFrameLayout fullFrameLayout(int resolution, std::uint8_t format, std::uint8_t gain);
// The layout of a dispatched full data frame when the header's codes give exactly its length and the
// checksum over header, samples, the two extra bytes and the status byte matches; nullopt otherwise.
std::optional<FullFrameLayout> checkFullFrame(const std::uint8_t* frame, std::size_t frameLength);

// Salvage of an over-long frame as a status frame. bytes holds count collected bytes (count > 17);
// on success the first 16 bytes are rewritten into a status frame (alarm bits cleared, comm status
// = last body byte | 0x80, sum rewritten) and true is returned.
bool salvageStatusFrame(std::uint8_t* bytes, std::size_t count);

// ---------------------------------------------------------------- comm status byte
constexpr std::uint8_t kCommHealthy = 0x01;  // the sonde heard the last command
constexpr std::uint8_t kCommNoResponse = 0x02;
constexpr std::uint8_t kCommIntResponse = 0x04;
constexpr std::uint8_t kCommChecksumError = 0x08;
constexpr std::uint8_t kCommParametering = 0x10;
constexpr std::uint8_t kCommUpdating = 0x20;
constexpr std::uint8_t kCommBadLength = 0x40;
constexpr std::uint8_t kCommBadData = 0x80;
// The texts of the set bits 1..7, in order (" - No Resp - Checksum error" ...).
std::string commStatusText(std::uint8_t status);

}  // namespace quelt
