#pragma once
// The process-wide mode record: what the program is doing, read by every part that must refuse or
// allow an action. Each flag is written by one side and polled by the others.

#include <atomic>

namespace quelt {

struct ModeFlags {
    std::atomic<bool> replayLoaded{false};  // a log is open for replay
    std::atomic<bool> playing{false};       // the replay runs; clearing it stops after the current line
    std::atomic<bool> sondePowered{false};  // the probe panel's power state
    std::atomic<bool> paused{false};
    std::atomic<bool> recording{false};
    std::atomic<bool> recordPaused{false};
    std::atomic<int> recordState{0};  // 1 while a new log is prepared, 2 when recording starts
    std::atomic<bool> setupVisible{false};
    std::atomic<bool> travelToolsOpened{false};
};

}  // namespace quelt
