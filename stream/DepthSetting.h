#pragma once
// The depth choices made before logging or replay: the record direction and last accepted depth of
// the recording mode, the winch depth preset (command 0x02) and the replay start range with its check.
// The dialogs only collect the operator's entries and hand them here.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/Header.h"
#include "config/Settings.h"
#include "stream/StreamPorts.h"

namespace quelt {

// The recording mode: the direction the stream accepts lines in while recording and the depth it
// starts from.
struct RecordingMode {
    // The radio button preset: "Downhole" when the last drawn line went down (1).
    static bool downholePreset(std::uint8_t lineDirection) { return lineDirection == 1; }
    // "OK": the record direction (only when a button is checked) and the last accepted depth (metres).
    static void apply(StreamShared& shared, std::optional<bool> downhole, double currentDepthMetres);
};

// The winch depth preset: the operator's entry (in SetDepthUnit) plus the selected sonde's height
// offset, in metres; command 0x02 carries the same value as an encoder count.
class DepthReset {
  public:
    // `sendF2` receives the entry as the operator typed it (the link converts and offsets it itself).
    DepthReset(const Settings& settings, double heightOffsetCm, std::function<void(double)> sendF2)
        : settings_(settings), heightOffsetCm_(heightOffsetCm), sendF2_(std::move(sendF2)) {}

    // "OK": stores the preset and sends the command; returns the preset in metres.
    double confirm(double entry);
    double presetMetres() const { return preset_; }

  private:
    const Settings& settings_;
    double heightOffsetCm_;
    std::function<void(double)> sendF2_;
    double preset_ = 0.0;
};

// The replay start range: the depths of the log, one hundredth inside its first and last lines, in
// thousandths of the log's depth unit.
class ReplayStartRange {
  public:
    static constexpr std::int32_t kAll = -1;

    // `firstLineDepth` is the depth field of the data file's first line (nullopt when it cannot be
    // read: the header's start depth is used); `displayUnit` is SetDepthUnit.
    ReplayStartRange(std::optional<std::int32_t> firstLineDepth, const LogHeader& header, int displayUnit);

    std::int32_t start() const { return a_; }  // A, shown first
    std::int32_t end() const { return b_; }    // B
    int logUnit() const { return logUnit_; }
    int displayUnit() const { return displayUnit_; }

    // The entry's first value: A in the display unit.
    double entryValue() const { return shown(a_); }
    // "Depth : %.2f m to %.2f m" (or ft), A and B in the display unit.
    std::string label() const;

    struct Check {
        bool accepted = false;
        std::int32_t depth = 0;  // the replay start, thousandths of the log unit, when accepted
        std::string message;     // "Set at min : ..." / "Set at max : ..." when refused
    };
    // "OK" with the entry in the display unit.
    Check check(double entry) const;

  private:
    double shown(std::int32_t logValue) const;  // thousandths of U to the display unit

    std::int32_t a_ = 0, b_ = 0;
    int logUnit_ = 0, displayUnit_ = 0;
};

}  // namespace quelt
