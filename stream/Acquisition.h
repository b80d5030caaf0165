#pragma once
// The acquisition pipeline, the same for the live link and every front end: each frame the link cuts
// goes to the decoders; an accepted line goes to the picture and, while recording, to the data file;
// the probe panel model drives the power sequences through the command set. The byte transport below
// it (the link's reader thread, or a pump on a fake clock) only feeds onFrame() and carries the
// commands it is handed.

#include <array>
#include <functional>
#include <mutex>
#include <string>

#include "config/ProgramContext.h"
#include "link/Commands.h"
#include "link/LinkState.h"
#include "link/SondeInfo.h"
#include "link/StreamCutter.h"
#include "platform/Clock.h"
#include "stream/DataFlowWatch.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/LogQuality.h"
#include "stream/ProbePanel.h"
#include "stream/StreamPorts.h"
#include "stream/ToolsStream.h"
#include "stream/Transport.h"

namespace quelt {

// The selected sonde of the database, for the command set.
class DatabaseSondeInfo final : public SondeInfo {
  public:
    explicit DatabaseSondeInfo(const SondeDatabase& db) : db_(db) {}
    double heightOffsetCm() const override { return db_.heightOffset(); }
    bool highSpeed() const override { return db_.highSpeed(); }

  private:
    const SondeDatabase& db_;
};

// What a recording lost, since it started: lines replaced by a status frame, frames the link missed
// (sequence numbers skipped), and the depth gaps between lines larger than twice the step.
struct RecordingQuality {
    std::uint64_t replacedLines = 0;
    std::uint64_t missedFrames = 0;
    int depthGaps = 0;
    double largestGapMetres = 0;  // the largest distance between two consecutive lines
    int loggerResets = 0;         // times the full data frames stopped while recording
};

class Acquisition final : public FrameSink,
                          public StreamEvents,
                          public LoggerCommands,
                          public ProbePanelWindow {
  public:
    Acquisition(ProgramContext& context, const Clock& clock);

    // --- what the front end connects ---------------------------------------------------------------
    // Writes one command frame to the logger; false when it could not be handed over (one in flight).
    std::function<bool(const CommandFrame&)> writeCommand;
    // An accepted (or replacement) line is in `image`: draw it.
    std::function<void(std::uint8_t lineDirection, int resolutionCode)> onImageLine;
    // RefreshDataView.
    std::function<void(int code)> onRefresh;
    // Messages for the operator (from the reader thread: post them to the operator's thread).
    std::function<void(const std::string&)> onMessage;
    // The recording stopped by itself (a write failed); the text says why.
    std::function<void(const std::string&)> onRecordingFailed;
    // Optional: the alarm window by its type (else the alarm goes to onMessage). Called once when an
    // alarm starts, not for every frame that carries it.
    std::function<void(int type)> onAlarm;
    // Optional: an alarm that was shown has not been seen for kAlarmEndMs (else onMessage).
    std::function<void(int type)> onAlarmEnded;
    // The full data frames stopped while recording (see DataFlowWatch); the text says what happened.
    // Called from tick(). The front end either calls resumeAfterReset() or stops the recording.
    std::function<void(const std::string& text)> onDataStopped;
    // ... and came back: the recording goes on.
    std::function<void()> onDataResumed;
    // Optional: the logger read-back goes to the link, which re-sends command 0x01 itself.
    std::function<void(const std::uint8_t* logger20)> onLoggerReadBack;
    // Optional: a command is built and not yet written.
    std::function<bool()> commandPendingNow;
    // Optional: the window's side of the probe panel (beep, picture, orientation, Stop, mode message,
    // travel tools, display settings); messages and the recording stay here.
    ProbePanelWindow* front = nullptr;

    // --- the pipeline ------------------------------------------------------------------------------
    void onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia via) override;
    // Takes the current sonde of the database (after SondeUsed changed).
    void selectSonde();
    // The probe panel's timers, the alarms' ends and the watch on the full data frames.
    void tick(Millis now);
    // After the full data frames stopped: runs the power-up sequence again on the powered sonde; the
    // recording takes the lines again when the frames come back.
    void resumeAfterReset(Millis now);
    // The full data frames stopped during this recording and have not come back.
    bool dataStopped() const { return flow_.stopped(); }
    RecordingQuality recordingQuality() const { return quality_; }
    // The texts of the alarms that last, "" when none ("; " between two).
    std::string activeAlarmText() const;

    static constexpr Millis kAlarmEndMs = 2000;  // an alarm not seen for this long has ended

    // Recording while acquiring: the direction (1 down, 0 up) and the last accepted depth of the
    // recording-mode choice, then the log pair.
    bool startRecording(const std::string& headerPath, bool down, Operator& op);
    void stopRecording(Operator& op);
    // The quality figures of the lines written since the recording started (a copy, for any thread),
    // and the lines the logger replaced meanwhile (drawn, never written).
    LogQuality recordingLogQuality() const;
    std::uint32_t recordingReplaced() const;

    ProgramContext& context() { return context_; }
    LiveState live;
    ReplyEcho echo;
    ImageLine image;
    StreamShared shared;
    LinkCounters counters;
    std::atomic<int> linkStatus{0};
    LinkFlags linkFlags;
    ModeFlags& modes = shared.modes;
    Transport transport{modes};
    CToolsStream stream;
    ProbePanel panel;

    // The last command 0x01 written, by the engine or by the link it is wired to.
    LastLoggerCommand loggerCommand;

  private:
    // StreamEvents
    void refreshDataView(int code) override;
    void showAlarm(int type, const std::string& title, const std::string& text) override;
    void addImageLine(std::uint8_t lineDirection, int resolutionCode) override;
    void writeDataFile() override;
    void loggerReadBack(const std::uint8_t* logger20) override;
    void refreshToolsBox() override {}
    // LoggerCommands
    void sendF0() override;
    std::array<std::uint8_t, 8> sendF1() override;
    std::array<std::uint8_t, 4> sendF3() override;
    std::array<std::uint8_t, 7> sendF4() override;
    std::array<std::uint8_t, 7> sendF5() override;
    bool commandPending() override { return commandPendingNow ? commandPendingNow() : false; }
    // ProbePanelWindow
    void showMessage(const std::string& text) override;
    void stopRecording() override;
    void beep(int hz, int ms) override {
        if (front) front->beep(hz, ms);
    }
    void clearPicture() override {
        if (front) front->clearPicture();
    }
    void resetLiveOrientation() override {
        if (front) front->resetLiveOrientation();
    }
    void runStop() override {
        if (front) front->runStop();
    }
    void modeMessage(const std::string& text) override {
        if (front) front->modeMessage(text);
    }
    void refreshTravelTools() override {
        if (front) front->refreshTravelTools();
    }
    void saveDisplaySettings() override {
        if (front) front->saveDisplaySettings();
    }
    void restoreDisplaySettings() override {
        if (front) front->restoreDisplaySettings();
    }

    bool send(const CommandFrame& f);
    void noteRecordedLine(const LiveValues& v, std::int64_t recordedMs);
    template <size_t N>
    std::array<std::uint8_t, N> sent(const CommandFrame& f) {
        std::array<std::uint8_t, N> out{};
        for (size_t i = 0; i < N && i < f.length; ++i)
            out[i] = f.bytes[i];
        return out;
    }

    void observeCounters();

    ProgramContext& context_;
    const Clock& clock_;
    DataFlowWatch flow_;
    RecordingQuality quality_;
    std::uint32_t lastReplaced_ = 0, lastMissed_ = 0;
    struct AlarmState {
        std::string text;
        Millis lastSeen = 0;
        bool active = false;
        bool announced = false;
    };
    mutable std::mutex alarmMutex_;  // raised on the reader thread, ended by tick()
    std::array<AlarmState, 2> alarms_;
    DatabaseSondeInfo sonde_;
    std::mutex recordMutex_;  // the data file: written on the reader thread, opened and closed elsewhere
    mutable std::mutex qualityMutex_;
    LogQuality recordingQuality_;
    std::uint32_t replacedAtStart_ = 0;
    const std::uint8_t* currentFrame_ = nullptr;
    std::size_t currentLength_ = 0;
};

}  // namespace quelt
