#include "stream/LogRecorder.h"

#include <cmath>

#include "platform/Text.h"

namespace quelt {

namespace {
constexpr std::int64_t kHeaderRefreshMs = 5000;

}  // namespace

int lineStepMm(double depth, double previousDepth) {
    double diff = depth - previousDepth;
    if (diff >= 100.0) return 1;
    int step = static_cast<int>(std::floor(std::fabs(diff) * 1000.0 + 0.5));
    return step < 1 ? 1 : step;
}

bool LogRecorder::start(const std::string& dataPath, const LineLayout& layout, bool imperial, Millis now,
                        HeaderRefresh refresh) {
    error_.clear();
    layout_ = layout;
    imperial_ = imperial;
    refresh_ = std::move(refresh);
    accumulator_ = 0;
    lastLineTime_ = now;
    lastStep_ = 1;
    lastHeaderUpdate_.reset();
    gaps_.reset();
    if (!writer_.open(dataPath, layout.lineSize)) {
        error_ = writer_.error();
        return false;
    }
    return true;
}

void LogRecorder::stop() {
    writer_.close();
}

bool LogRecorder::writeLine(std::span<const std::uint8_t> frame, double depth, double rotation, Millis now,
                            double stepMm) {
    if (!writer_.isOpen()) return false;
    lastStep_ = lineStepMm(depth, lastDepth_);
    lastDepth_ = depth;
    accumulator_ += now - lastLineTime_;
    lastLineTime_ = now;

    LineInputs in;
    in.depth = depth;
    in.rotation = rotation;
    in.timeMs = static_cast<std::int32_t>(accumulator_);
    in.imperial = imperial_;
    buildDataLine(frame, in, layout_, line_);
    if (!writer_.appendLine(line_, now)) {
        error_ = writer_.error();
        return false;
    }
    gaps_.add(depth, stepMm);

    progress_.depthMetres = depth;
    progress_.stepMm = lastStep_;
    progress_.depthUnit = imperial_ ? 1 : 0;
    progress_.recordedMs = accumulator_;
    if (accumulator_ < 1000 && lastHeaderUpdate_) lastHeaderUpdate_.reset();
    if (accumulator_ - lastHeaderUpdate_.value_or(0) > kHeaderRefreshMs) {
        if (refresh_) refresh_(progress_);
        lastHeaderUpdate_ = accumulator_;
    }
    return true;
}

}  // namespace quelt
