#include "stream/Acquisition.h"

#include <utility>
#include <vector>

#include "config/Diagnostics.h"
#include "platform/Text.h"
#include "stream/LogFile.h"

namespace quelt {

namespace {
constexpr std::int64_t kFileTimePerMs = 10000;  // file times count 100 ns
constexpr double kMotorStepMs = 2.304;          // one unit of MotorPeriod: the revolution time per unit
}  // namespace

Acquisition::Acquisition(ProgramContext& context, const Clock& clock)
    : stream(context.settings, live, echo, image, shared, counters, linkStatus, *this),
      panel(echo, live, shared, counters, linkFlags, linkStatus, *this, *this),
      context_(context),
      clock_(clock),
      sonde_(*context.sondes) {
    // Rejected lines are stamped on the program's clock, so recorded time and replay agree in tests.
    shared.fileTimeNow = [this] { return clock_.now() * kFileTimePerMs; };
    selectSonde();
}

void Acquisition::selectSonde() {
    const SondeEntry& sonde = context_.sondes->current();
    shared.rotationOffset = sonde.rotationOffset;
    stream.setGammaCoef(sonde.gammaCoef);
    panel.selectSonde(sonde.serialNumber, sonde.gammaOnBoard);
}

void Acquisition::onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia) {
    currentFrame_ = frame;
    currentLength_ = length;
    try {
        switch (frameKind(length)) {
            case FrameKind::Status:
                stream.decodeStatusFrame(frame, length, sequence);
                break;
            case FrameKind::Logger19:
                flow_.noteLoggerFrame();
                stream.decodeLoggerFrame19(frame, length, sequence);
                break;
            case FrameKind::Logger20:
                flow_.noteLoggerFrame();
                stream.decodeLoggerFrame20(frame, length, sequence);
                break;
            case FrameKind::Full:
                stream.decodeFullDataFrame(frame, length, sequence);
                break;
            case FrameKind::Other:
                break;
        }
    } catch (...) {
        ReportException("CToolsStream::OnFrame", __FILE__, __LINE__);
    }
    currentFrame_ = nullptr;
    currentLength_ = 0;
}

void Acquisition::tick(Millis now) {
    panel.tick(now);
    std::vector<std::pair<int, std::string>> ended;
    {
        std::lock_guard<std::mutex> lock(alarmMutex_);
        for (size_t type = 0; type < alarms_.size(); ++type) {
            AlarmState& a = alarms_[type];
            if (!a.active || now - a.lastSeen <= kAlarmEndMs) continue;
            a.active = false;
            if (a.announced) ended.emplace_back(static_cast<int>(type), a.text);
            a.announced = false;
        }
    }
    for (const auto& [type, text] : ended) {
        if (onAlarmEnded)
            onAlarmEnded(type);
        else if (onMessage)
            onMessage(text + " (ended)");
    }

    if (!modes.recording || !transport.recorder().recording()) {
        flow_.disarm();
        return;
    }
    observeCounters();
    const double revolutionMs = context_.settings.MotorPeriod * kMotorStepMs;
    switch (flow_.tick(now, linkStatus.load(), revolutionMs)) {
        case DataFlowWatch::Event::Stopped: {
            ++quality_.loggerResets;
            const std::string text =
                format("%s at %.3f m: full data frames stopped, the recording holds %llu lines",
                       flow_.loggerReset() ? "The logger lost power" : "The sonde stopped sending data",
                       transport.recorder().progress().depthMetres,
                       static_cast<unsigned long long>(transport.recorder().linesWritten()));
            panel.showFault(text);
            if (onDataStopped)
                onDataStopped(text);
            else if (onMessage)
                onMessage(text);
            break;
        }
        case DataFlowWatch::Event::Resumed:
            panel.clearFault();
            if (onDataResumed) onDataResumed();
            break;
        case DataFlowWatch::Event::None:
            break;
    }
}

void Acquisition::observeCounters() {
    // The power-up sequence sets the frame counters back to zero: only what they gained counts.
    const std::uint32_t replaced = counters.fullReplaced.load(), missed = counters.missed.load();
    if (replaced < lastReplaced_) lastReplaced_ = 0;
    if (missed < lastMissed_) lastMissed_ = 0;
    quality_.replacedLines += replaced - lastReplaced_;
    quality_.missedFrames += missed - lastMissed_;
    lastReplaced_ = replaced;
    lastMissed_ = missed;
    const DepthGaps& gaps = transport.recorder().gaps();
    quality_.depthGaps = gaps.count();
    quality_.largestGapMetres = gaps.largestMetres();
}

void Acquisition::resumeAfterReset(Millis now) {
    panel.powerUpAgain(now);
}

std::string Acquisition::activeAlarmText() const {
    std::lock_guard<std::mutex> lock(alarmMutex_);
    std::string out;
    for (const AlarmState& a : alarms_) {
        if (!a.active) continue;
        if (!out.empty()) out += "; ";
        out += a.text;
    }
    return out;
}

void Acquisition::refreshDataView(int code) {
    if (onRefresh) onRefresh(code);
}

void Acquisition::showAlarm(int type, const std::string& title, const std::string& text) {
    // Every frame that carries an alarm bit raises it again: it is shown once when it starts.
    const std::string full = title.empty() ? text : title + ": " + text;
    if (type >= 0 && type < static_cast<int>(alarms_.size())) {
        std::lock_guard<std::mutex> lock(alarmMutex_);
        AlarmState& a = alarms_[static_cast<size_t>(type)];
        a.lastSeen = clock_.now();
        a.text = full;
        if (a.active) return;
        a.active = true;
        a.announced = onAlarm || onMessage;
    }
    if (onAlarm) {
        onAlarm(type);
        return;
    }
    if (onMessage) onMessage(full);
}

void Acquisition::addImageLine(std::uint8_t lineDirection, int resolutionCode) {
    if (onImageLine) onImageLine(lineDirection, resolutionCode);
}

void Acquisition::writeDataFile() {
    std::lock_guard<std::mutex> lock(recordMutex_);
    LogRecorder& rec = transport.recorder();
    if (!modes.recording || !rec.recording() || currentFrame_ == nullptr) return;
    try {
        const Millis now = clock_.now();
        const std::int64_t rejected = shared.lastRejectedTime.load();
        if (rejected > 0) rec.noteRejectedLine(rejected / kFileTimePerMs);
        shared.lastRejectedTime = 0;
        const LiveValues v = live.snapshot();
        if (rec.writeLine({currentFrame_, currentLength_}, v.depth, v.rotation, now, image.step)) {
            const std::int64_t ms = rec.recordedMs();
            noteRecordedLine(v, ms);
            live.update(
                [&](LiveValues& l) { stream.assignChannel(l, channel::TIME, static_cast<int>(ms), false); });
            return;
        }
        // The data file holds its whole lines only; the header is completed to match them and the
        // recording ends here.
        std::string why = rec.error();
        modes.recording = false;
        ScriptedOperator quiet;
        transport.StopRecording(rec.progress().depthMetres, quiet, now);
        if (onRecordingFailed) onRecordingFailed(why);
    } catch (...) {
        ReportException("CToolsStream::WriteDataFile", __FILE__, __LINE__);
    }
}

void Acquisition::loggerReadBack(const std::uint8_t* logger20) {
    if (onLoggerReadBack) {
        onLoggerReadBack(logger20);
        return;
    }
    // A logger that lost command 0x01 (a power cycle) gets it again.
    if (auto f1 = loggerCommand.resendFor(logger20)) send(*f1);
}

bool Acquisition::send(const CommandFrame& f) {
    loggerCommand.record(f);
    return writeCommand ? writeCommand(f) : false;
}

void Acquisition::sendF0() {
    send(makeF0(context_.settings));
}
std::array<std::uint8_t, 8> Acquisition::sendF1() {
    CommandFrame f = makeF1(context_.settings);
    try {
        send(f);
    } catch (...) {
        // The frame is lost like any command that is not written; the power-up sequence resends it.
        WriteCaughtException("CUSB::sendF1");
    }
    return sent<8>(f);
}
std::array<std::uint8_t, 4> Acquisition::sendF3() {
    CommandFrame f = makeF3(context_.settings, sonde_);
    send(f);
    return sent<4>(f);
}
std::array<std::uint8_t, 7> Acquisition::sendF4() {
    CommandFrame f = makeF4(context_.settings);
    send(f);
    return sent<7>(f);
}
std::array<std::uint8_t, 7> Acquisition::sendF5() {
    CommandFrame f = makeF5(context_.settings);
    send(f);
    return sent<7>(f);
}

void Acquisition::showMessage(const std::string& text) {
    if (onMessage) onMessage(text);
}

void Acquisition::stopRecording() {
    ScriptedOperator quiet;
    stopRecording(quiet);
}

bool Acquisition::startRecording(const std::string& headerPath, bool down, Operator& op) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    const LiveValues v = live.snapshot();
    shared.recordDirection = down ? 1 : 0;
    shared.lastAcceptedDepth = v.depth;
    shared.lastRejectedTime = 0;
    const int unit = context_.settings.SetDepthUnit;
    const Millis now = clock_.now();
    bool ok = transport.StartRecording(headerPath, dataPathForHeader(headerPath), *context_.headerIo, v.depth,
                                       unit, op, now);
    if (ok) {
        quality_ = RecordingQuality{};
        lastReplaced_ = counters.fullReplaced.load();
        lastMissed_ = counters.missed.load();
        flow_.arm(now);
        std::lock_guard<std::mutex> q(qualityMutex_);
        recordingQuality_ = LogQuality(qualityLimitsOf(context_.settings));
        replacedAtStart_ = counters.fullReplaced.load();
    }
    return ok;
}

void Acquisition::noteRecordedLine(const LiveValues& v, std::int64_t recordedMs) {
    QualityLine line;
    line.depth = v.depth;
    line.time = static_cast<double>(recordedMs) / 1000.0;
    line.tilt = v.tilt;
    line.azimuth = v.azimuth;
    line.speed = v.speed;
    line.gamma = v.gamma;
    line.gravity = v.gravityTotal;
    line.magnetic = v.magneticTotal;
    std::lock_guard<std::mutex> q(qualityMutex_);
    recordingQuality_.add(line);
}

LogQuality Acquisition::recordingLogQuality() const {
    std::lock_guard<std::mutex> q(qualityMutex_);
    return recordingQuality_;
}

std::uint32_t Acquisition::recordingReplaced() const {
    const std::uint32_t now = counters.fullReplaced.load();
    std::lock_guard<std::mutex> q(qualityMutex_);
    return now >= replacedAtStart_ ? now - replacedAtStart_ : now;  // the counter restarts at power-up
}

void Acquisition::stopRecording(Operator& op) {
    std::lock_guard<std::mutex> lock(recordMutex_);
    observeCounters();
    flow_.disarm();
    const double depth = transport.recorder().progress().depthMetres;
    modes.recording = false;
    transport.StopRecording(depth, op, clock_.now());
}

}  // namespace quelt
