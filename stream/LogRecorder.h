#pragma once
// The recording of accepted lines into the data file: step, recorded time, the line itself, and the
// refresh of the header's end values every five seconds of recorded time, so that a log cut short by a
// crash still describes what its data file holds.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/Header.h"
#include "platform/Clock.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/DepthGaps.h"

namespace quelt {

class LogRecorder {
  public:
    using HeaderRefresh = std::function<void(const RecordingProgress&)>;

    // Opens the data file for appending lines of the layout. False with error() when it cannot.
    bool start(const std::string& dataPath, const LineLayout& layout, bool imperial, Millis now,
               HeaderRefresh refresh);
    void stop();
    bool recording() const { return writer_.isOpen(); }

    // One accepted line: `frame` is the whole full data frame, `depth` in metres, `rotation` in degrees,
    // `stepMm` the distance the sonde moves in one revolution (negative: not known), for the gaps.
    // False when the line could not be written; the recording has then stopped (error() says why) and
    // the data file ends on its last whole line.
    bool writeLine(std::span<const std::uint8_t> frame, double depth, double rotation, Millis now,
                   double stepMm = -1);
    // A line rejected while recording: recorded time does not run until the next accepted line.
    void noteRejectedLine(Millis now) { lastLineTime_ = now; }

    // The step of the last line in millimetres, the recorded time in milliseconds, lines written.
    int lastStepMm() const { return lastStep_; }
    std::int64_t recordedMs() const { return accumulator_; }
    std::uint64_t linesWritten() const { return writer_.linesWritten(); }
    const std::string& error() const { return error_; }
    RecordingProgress progress() const { return progress_; }
    // The gaps between the lines written since start().
    const DepthGaps& gaps() const { return gaps_; }

    DataFileWriter& writer() { return writer_; }

  private:
    DataFileWriter writer_;
    LineLayout layout_;
    bool imperial_ = false;
    HeaderRefresh refresh_;
    double lastDepth_ = 0;
    int lastStep_ = 1;
    std::int64_t accumulator_ = 0;
    Millis lastLineTime_ = 0;
    std::optional<std::int64_t> lastHeaderUpdate_;
    RecordingProgress progress_;
    DepthGaps gaps_;
    std::vector<std::uint8_t> line_;
    std::string error_;
};

// The step between two lines: |depth - previous| in millimetres rounded half up, at least 1; 1 when the
// depth moved by 100 m or more.
int lineStepMm(double depth, double previousDepth);

}  // namespace quelt
