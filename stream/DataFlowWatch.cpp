#include "stream/DataFlowWatch.h"

#include <algorithm>

#include "link/LinkState.h"

namespace quelt {

void DataFlowWatch::arm(Millis now) {
    state_ = State::Flowing;
    lastFull_ = now;
    loggerSeen_ = false;
    loggerMark_ = loggerFrames_.load(std::memory_order_relaxed);
}

DataFlowWatch::Event DataFlowWatch::tick(Millis now, int linkStatus, double revolutionMs) {
    if (state_ == State::Idle) return Event::None;
    const unsigned logger = loggerFrames_.load(std::memory_order_relaxed);
    if (logger != loggerMark_ || linkStatus == kLinkLogger) loggerSeen_ = true;
    loggerMark_ = logger;
    if (linkStatus == kLinkFullData) {
        lastFull_ = now;
        loggerSeen_ = false;
        if (state_ == State::Stopped) {
            state_ = State::Flowing;
            return Event::Resumed;
        }
        return Event::None;
    }
    const Millis limit =
        std::max<Millis>(kMinStallMs, static_cast<Millis>(kStallPeriods * std::max(revolutionMs, 1.0)));
    if (state_ == State::Flowing && now - lastFull_ > limit) {
        state_ = State::Stopped;
        return Event::Stopped;
    }
    return Event::None;
}

}  // namespace quelt
