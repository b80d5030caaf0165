#include "stream/Transport.h"

#include <filesystem>

namespace quelt {

namespace fs = std::filesystem;

bool Transport::StartRecording(const std::string& headerPath, const std::string& dataPath, CHeader& headerIo,
                               double depthMetres, int depthUnit, Operator& op, Millis now) {
    if (flags_.recording) return false;
    recordedTotal_ = 0;
    if (!lock_.held() || lock_.path() != dataPath) {
        if (!lock_.acquire(dataPath)) {
            op.message(lock_.error(), MessageKind::Error);
            return false;
        }
    }
    auto refuse = [this] {
        lock_.release(true);
        return false;
    };
    std::error_code ec;
    if (fs::file_size(dataPath, ec) > 0 && !ec) {
        if (!op.askYesNo("Same file name exist, do you want replace this ?")) return refuse();
        // Emptied, not removed: the lock stays on the file this recording writes.
        if (!lock_.truncate()) {
            op.message(lock_.error(), MessageKind::Error);
            return refuse();
        }
    }
    if (!headerIo.WriteHeader(headerPath)) return refuse();
    LineLayout layout = layoutFromHeader(headerIo.header());
    std::string problem = checkLayout(layout, layout.lineSize);
    if (!problem.empty()) {
        op.message("Tool configuration file missing. (*.tol) " + problem, MessageKind::Error);
        return refuse();
    }
    auto refresh = [headerPath](const RecordingProgress& p) { UpdateRecordingProgress(headerPath, p); };
    if (!recorder_.start(dataPath, layout, depthUnit == 1, now, refresh)) {
        op.message("Trouble opening file.", MessageKind::Error);
        return refuse();
    }
    recordHeader_ = headerPath;
    recordData_ = dataPath;
    depthUnit_ = depthUnit;
    recordStart_ = now;
    recordOpen_ = true;
    recordStartDepth_ = depthMetres;
    flags_.recording = true;
    flags_.recordPaused = false;
    flags_.recordState = 2;
    flags_.paused = false;
    MarkRecordingStart(headerPath, depthMetres, depthUnit);
    return true;
}

void Transport::StopRecording(double lastDepthMetres, Operator& op, Millis now) {
    // A recording whose writer stopped by itself (a failed write) still gets its header completed.
    if (!recordOpen_) return;
    recordOpen_ = false;
    flags_.recording = false;
    recorder_.stop();
    recordedTotal_ += now - recordStart_;
    recordStart_ = now;

    RecordingEnd end;
    // The header ends where the data ends: the recorded time of the last line written (a recording
    // whose lines stopped before it did, such as after a logger reset, would otherwise claim time it
    // holds no line for).
    end.recordedMs = recorder_.linesWritten() > 0 ? recorder_.recordedMs() : recordedTotal_;
    // Without a line written the log ends where it started.
    end.lastDepthMetres = recorder_.linesWritten() > 0 ? lastDepthMetres : recordStartDepth_;
    end.depthUnit = depthUnit_;
    DataFileReader reader;
    if (reader.open(recordData_, 4)) {
        std::int32_t first = 0;
        if (reader.readDepthField(0, first)) end.firstLineDepth = first;
    } else {
        op.message("Trouble opening file.", MessageKind::Error);
    }
    MarkRecordingStop(recordHeader_, end);
    lock_.release();
}

void Transport::LoadReplay(OpenedLog&& log) {
    log_.headerPath = std::move(log.headerPath);
    log_.dataPath = std::move(log.dataPath);
    log_.layout = std::move(log.layout);
    log_.repaired = log.repaired;
    log_.reader.close();
    log_.reader.open(log_.dataPath, log_.layout.lineSize);
    log.reader.close();
    position_ = 0;
    flags_.replayLoaded = true;
    flags_.playing = false;
    flags_.paused = false;
}

void Transport::Play(Millis now) {
    if (!flags_.replayLoaded) return;
    flags_.paused = false;
    if (!flags_.playing) {
        flags_.playing = true;
        pacer_.restart(now);
    }
}

void Transport::Pause() {
    if (flags_.recording) {
        bool resume = flags_.paused;
        flags_.paused = !resume;
        flags_.recordPaused = !resume;
        return;
    }
    if (flags_.playing) {
        flags_.playing = false;
        flags_.paused = true;
    }
}

void Transport::Rewind(Millis now) {
    position_ = 0;
    Play(now);
    flags_.paused = false;
    Pause();
}

void Transport::Stop(double lastDepthMetres, Operator& op, Millis now) {
    flags_.playing = false;
    position_ = 0;
    StopRecording(lastDepthMetres, op, now);
    flags_.recordPaused = false;
    if (flags_.recordState > 1) flags_.recordState = 0;
    flags_.replayLoaded = false;
    flags_.paused = false;
    log_.reader.close();
}

bool Transport::readAt(std::uint64_t position, const ReplayLineSink& sink) {
    if (!log_.reader.readLine(position, line_)) return false;
    parseDataLine(line_, log_.layout, parsed_);
    position_ = position + log_.layout.lineSize;
    if (sink) sink(line_, parsed_, position);
    return true;
}

bool Transport::tick(Millis now, const ReplayLineSink& sink) {
    if (!flags_.playing || !pacer_.due(now)) return false;
    if (readAt(position_, sink)) return true;
    // End of the data: the replay stops and rewinds.
    flags_.playing = false;
    position_ = 0;
    return false;
}

bool Transport::seekDepth(std::int32_t depthRaw, const ReplayLineSink& sink) {
    std::uint64_t found = log_.reader.seekDepthField(position_, depthRaw, replayDescending);
    return readAt(found, sink);
}

}  // namespace quelt
