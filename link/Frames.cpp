#include "link/Frames.h"

#include <cstring>

#include "platform/Text.h"

namespace quelt {

std::uint8_t commandSum(const std::uint8_t* frame, std::size_t length) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < length; ++i)
        sum += frame[i];
    return static_cast<std::uint8_t>(sum);
}

void storeCommandSum(std::uint8_t* frame, std::size_t length) {
    if (length >= 2) frame[length - 1] = commandSum(frame, length);
}

bool commandSumValid(const std::uint8_t* frame, std::size_t length) {
    return length >= 2 && frame[length - 1] == commandSum(frame, length);
}

std::uint8_t winchModeByte(int cableType, bool pulleyDir) {
    return static_cast<std::uint8_t>((cableType << 4) + (pulleyDir ? 0x20 : 0));
}

namespace {
CommandFrame start(std::uint8_t code) {
    CommandFrame f;
    f.bytes[0] = code;
    f.length = static_cast<std::uint8_t>(commandLength(code));
    return f;
}
CommandFrame finish(CommandFrame f) {
    storeCommandSum(f.bytes.data(), f.length);
    return f;
}
}  // namespace

CommandFrame buildF0(std::uint8_t winchMode) {
    auto f = start(kCmdWinchMode);
    f.bytes[f0::kWinchMode] = winchMode;
    return finish(f);
}

CommandFrame buildF1(std::uint8_t winchMode, std::uint16_t constant, std::uint16_t encoderScale,
                     std::uint8_t power) {
    auto f = start(kCmdLogger);
    f.bytes[f1::kWinchMode] = winchMode;
    writeLe16(&f.bytes[f1::kConstant], constant);
    writeLe16(&f.bytes[f1::kEncoderScale], encoderScale);
    f.bytes[f1::kPower] = power;
    return finish(f);
}

CommandFrame buildF2(std::int32_t presetCount) {
    auto f = start(kCmdPresetDepth);
    writeLe32(&f.bytes[f2::kPresetCount], static_cast<std::uint32_t>(presetCount));
    return finish(f);
}

CommandFrame buildF3(std::uint8_t upholeGain, std::uint8_t downholeDrive) {
    auto f = start(kCmdGains);
    f.bytes[f3::kUpGain] = upholeGain;
    f.bytes[f3::kDownDrive] = downholeDrive;
    return finish(f);
}

CommandFrame buildF4(std::uint8_t resolution, std::uint8_t motorPeriod, std::uint8_t baudDivisor,
                     std::uint8_t pulseWidth, std::uint8_t sampleFormat) {
    auto f = start(kCmdPicture);
    f.bytes[f4::kResolution] = resolution;
    f.bytes[f4::kMotorPeriod] = motorPeriod;
    f.bytes[f4::kBaudDivisor] = baudDivisor;
    f.bytes[f4::kPulseWidth] = pulseWidth;
    f.bytes[f4::kFormat] = sampleFormat;
    return finish(f);
}

CommandFrame buildF5(std::uint16_t blanking, std::uint16_t window, std::uint8_t gain) {
    auto f = start(kCmdAcoustic);
    writeLe16(&f.bytes[f5::kBlanking], blanking);
    writeLe16(&f.bytes[f5::kWindow], window);
    f.bytes[f5::kGain] = gain;
    return finish(f);
}

std::size_t UsbHeader::payloadLength() const {
    std::size_t payload = static_cast<std::uint16_t>(length - kUsbHeaderSize);
    return payload > kMaxPayload ? kOversizedPayload : payload;
}

bool isSync(const std::uint8_t* p) {
    return std::memcmp(p, kSync.data(), kSync.size()) == 0;
}

UsbHeader parseUsbHeader(const std::uint8_t* p) {
    UsbHeader h;
    h.sequence = p[kUsbSequenceOffset];
    h.length = readLe16(p + kUsbLengthOffset);
    return h;
}

std::uint16_t sum16(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint16_t>(sum);
}

bool frameSumValid(const std::uint8_t* frame, std::size_t frameLength) {
    return frameLength >= 2 && readLe16(frame + frameLength - 2) == sum16(frame, frameLength - 2);
}

void storeFrameSum(std::uint8_t* frame, std::size_t frameLength) {
    if (frameLength >= 2) writeLe16(frame + frameLength - 2, sum16(frame, frameLength - 2));
}

std::vector<std::uint8_t> buildUsbFrame(std::uint8_t sequence, const std::uint8_t* body,
                                        std::size_t bodySize) {
    // The length field is 16 bits: a longer body cannot be framed.
    if (bodySize > 0xFFFF - kUsbHeaderSize - 3) return {};
    std::vector<std::uint8_t> out(kUsbHeaderSize + bodySize + 3);
    std::memcpy(out.data(), kSync.data(), kSync.size());
    out[kUsbSequenceOffset] = sequence;
    writeLe16(&out[kUsbLengthOffset], static_cast<std::uint16_t>(out.size()));
    if (bodySize) std::memcpy(&out[kUsbHeaderSize], body, bodySize);
    writeLe16(&out[kUsbHeaderSize + bodySize], sum16(body, bodySize));
    out.back() = kTerminator;
    return out;
}

FrameKind frameKind(std::size_t frameLength) {
    switch (frameLength) {
        case kStatusFrameLength:
            return FrameKind::Status;
        case kLogger19Length:
            return FrameKind::Logger19;
        case kLogger20Length:
            return FrameKind::Logger20;
        case kFull90Length:
        case kFull120Length:
        case kFull180Length:
        case kFull360Length:
            return FrameKind::Full;
        default:
            return FrameKind::Other;
    }
}

const char* frameKindName(FrameKind kind) {
    switch (kind) {
        case FrameKind::Status:
            return "status";
        case FrameKind::Logger19:
            return "logger19";
        case FrameKind::Logger20:
            return "logger20";
        case FrameKind::Full:
            return "full";
        default:
            return "other";
    }
}

std::array<std::uint8_t, kLogger20Length> widenLogger19(const std::uint8_t* frame19) {
    std::array<std::uint8_t, kLogger20Length> out{};
    std::memcpy(out.data(), frame19, 4);  // alarms, constant, the one-byte scale
    out[4] = 0;
    std::memcpy(out.data() + 5, frame19 + 4, kLogger19Length - 4);
    return out;
}

int sampleStride(std::uint8_t format, std::uint8_t gain) {
    return (format == kSampleFormat3Byte && !(gain & image::kGainAutomatic)) ? 3 : 4;
}

FullFrameLayout fullFrameLayout(int resolution, std::uint8_t format, std::uint8_t gain) {
    FullFrameLayout l;
    l.samples = samplesForResolution(resolution);
    l.stride = sampleStride(format, gain);
    l.wideAmplitude = l.stride == 4 && (gain & image::kGainAutomatic);
    l.sampleArea = static_cast<std::size_t>(l.samples * l.stride);
    l.extraOffset = image::kHeaderSize + l.sampleArea;
    l.commOffset = l.extraOffset + 2;
    l.sumOffset = l.commOffset + 1;
    l.length = l.sumOffset + 2;
    return l;
}

std::optional<FullFrameLayout> checkFullFrame(const std::uint8_t* frame, std::size_t frameLength) {
    if (frameLength < image::kHeaderSize + 5) return std::nullopt;
    auto l = fullFrameLayout(frame[image::kResolution], frame[image::kFormat], frame[image::kGain]);
    if (l.length != frameLength) return std::nullopt;
    if (readLe16(frame + l.sumOffset) != sum16(frame, l.sumOffset)) return std::nullopt;
    return l;
}

bool salvageStatusFrame(std::uint8_t* bytes, std::size_t count) {
    if (count <= 17) return false;
    std::size_t j = count;
    for (std::size_t i = count - 1; i >= 11; --i) {
        if (bytes[i] == kTerminator) {
            j = i;
            break;
        }
    }
    if (j < 16) return false;
    if (readLe16(bytes + j - 2) != sum16(bytes, j - 2)) return false;
    std::uint8_t c = bytes[j - 3];
    bytes[0] &= static_cast<std::uint8_t>(~(kAlarmEncoder | kAlarmPower));
    bytes[status::kCommStatus] = static_cast<std::uint8_t>(c | kCommBadData);
    storeFrameSum(bytes, kStatusFrameLength);
    return true;
}

std::string commStatusText(std::uint8_t status) {
    static const char* const kTexts[] = {" - No Resp",           " - Int Resp", " - Checksum error",
                                         " - Sonde Parametring", " - Updating", " - Bad Length",
                                         " - Bad Data"};
    std::string out;
    for (int bit = 1; bit < 8; ++bit)
        if (status & (1 << bit)) out += kTexts[bit - 1];
    return out;
}

}  // namespace quelt
