#pragma once
// The recorder and replay transport behind the Record, Pause, Stop, Play and Rewind buttons: starting
// and stopping a recording (data file and header marks), and replaying an open log line by line at the
// pace of the speed variator. The replay is a state machine driven by tick(now): the desktop program
// drives it from a timer or worker, the command line from its loop, tests from a fake clock.

#include <functional>
#include <optional>
#include <string>

#include "config/Header.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "stream/LogFile.h"
#include "stream/LogRecorder.h"
#include "stream/ModeFlags.h"
#include "stream/ReplayPacer.h"

namespace quelt {

class Transport {
  public:
    // One replayed line: its bytes, parsed, and its position in the data file.
    using ReplayLineSink = std::function<void(const std::vector<std::uint8_t>& line, const ParsedLine& parsed,
                                              std::uint64_t position)>;

    explicit Transport(ModeFlags& flags) : flags_(flags) {}

    // --- Recording -------------------------------------------------------------------------------
    // The log is locked for this recorder (see LogWriterLock; a front end may take the lock earlier
    // through writerLock(), before it writes or replaces anything of the log), the header is written
    // from `headerIo` (its in-memory header must be ready), the data file is opened and the header
    // marked ("CORRUPT" until the recording stops). An existing data file that holds lines is replaced
    // only after the operator's yes. False when the recording did not start; the lock is then given up.
    bool StartRecording(const std::string& headerPath, const std::string& dataPath, CHeader& headerIo,
                        double depthMetres, int depthUnit, Operator& op, Millis now);
    // Closes the data file, completes the header and gives the lock up. Safe to call when not recording.
    void StopRecording(double lastDepthMetres, Operator& op, Millis now);
    LogRecorder& recorder() { return recorder_; }
    LogWriterLock& writerLock() { return lock_; }
    const std::string& recordingHeader() const { return recordHeader_; }

    // --- Replay ----------------------------------------------------------------------------------
    // Takes over a log opened by openLog; the transport is then ready to play from the first line.
    void LoadReplay(OpenedLog&& log);
    void Play(Millis now);
    void Pause();
    void Rewind(Millis now);
    // Stop: ends a replay (rewound, unloaded) and a recording.
    void Stop(double lastDepthMetres, Operator& op, Millis now);
    // Reads and hands over the next line when it is due. Returns false when nothing was read.
    bool tick(Millis now, const ReplayLineSink& sink);
    // Moves the replay position to the first line at or past `depthRaw` (the log's depth field) and reads it.
    bool seekDepth(std::int32_t depthRaw, const ReplayLineSink& sink);

    ReplayPacer& pacer() { return pacer_; }
    std::uint64_t replayPosition() const { return position_; }
    const OpenedLog& replayLog() const { return log_; }
    bool replayDescending = true;  // the log's descending flag, for seeking

  private:
    bool readAt(std::uint64_t position, const ReplayLineSink& sink);

    ModeFlags& flags_;
    LogRecorder recorder_;
    LogWriterLock lock_;
    std::string recordHeader_, recordData_;
    bool recordOpen_ = false;  // started and not yet stopped (the writer may have stopped on a failure)
    Millis recordStart_ = 0;
    double recordStartDepth_ = 0;
    std::int64_t recordedTotal_ = 0;
    int depthUnit_ = 0;

    OpenedLog log_;
    ReplayPacer pacer_;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> line_;
    ParsedLine parsed_;
};

}  // namespace quelt
