#pragma once
// Full data frames that stop while a recording runs. A powered sonde that acquires sends one full data
// frame per revolution of its head; when none has come for kStallPeriods revolutions (never less than
// kMinStallMs), the recording has stopped receiving lines although nothing asked it to: typically the
// logger lost power for a moment, forgot the sonde's power and identified itself again (logger frames),
// and the sonde, powered again through the re-sent command 0x01, only answers with status frames until
// the power-up sequence runs again. A state machine on the program's clock: the engine calls tick() with
// the last frame family the link received; logger frames are also noted as they arrive.

#include <atomic>

#include "platform/Clock.h"

namespace quelt {

class DataFlowWatch {
  public:
    static constexpr int kStallPeriods = 5;
    static constexpr Millis kMinStallMs = 1500;

    enum class Event { None, Stopped, Resumed };

    // A recording starts: frames are expected from now on.
    void arm(Millis now);
    // No recording: nothing is expected.
    void disarm() { state_ = State::Idle; }
    // A logger frame arrived (any thread).
    void noteLoggerFrame() { loggerFrames_.fetch_add(1, std::memory_order_relaxed); }
    // `linkStatus` as the link keeps it, `revolutionMs` the sonde's frame period. Stopped once when the
    // frames have stopped, Resumed once when they come back.
    Event tick(Millis now, int linkStatus, double revolutionMs);

    bool stopped() const { return state_ == State::Stopped; }
    // The logger identified itself again since the last full data frame.
    bool loggerReset() const { return loggerSeen_; }
    // When the last full data frame was seen.
    Millis lastFullData() const { return lastFull_; }

  private:
    enum class State { Idle, Flowing, Stopped };
    State state_ = State::Idle;
    Millis lastFull_ = 0;
    bool loggerSeen_ = false;
    unsigned loggerMark_ = 0;
    std::atomic<unsigned> loggerFrames_{0};
};

}  // namespace quelt
