#pragma once
// What the decoders need from the rest of the program, kept small: the call-outs to the windows, the
// picture, the log writer and the command set (StreamEvents), and the process-wide flags and counters
// they share with the link, the probe panel and the recorder (StreamShared).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "stream/ModeFlags.h"

namespace quelt {

class StreamEvents {
  public:
    virtual ~StreamEvents() = default;
    // RefreshDataView of the main window; code 1024 after each decode.
    virtual void refreshDataView(int code) = 0;
    // Alarm display: type 0 encoder fault, type 1 low battery.
    virtual void showAlarm(int type, const std::string& title, const std::string& text) = 0;
    // Hands the current ImageLine to the picture (or repeats the previous samples for a replaced frame).
    virtual void addImageLine(std::uint8_t lineDirection, int resolutionCode) = 0;
    // Appends the current line to the log data file (while recording and not paused).
    virtual void writeDataFile() = 0;
    // A logger frame in the 20-byte layout: the link compares its read-back with the command 0x01 it
    // last sent and sends that command again when they differ.
    virtual void loggerReadBack(const std::uint8_t* logger20) = 0;
    // The tools box shows the orientation values.
    virtual void refreshToolsBox() = 0;
};

// Does nothing; for programs and tests that need no call-outs.
class NullStreamEvents : public StreamEvents {
  public:
    void refreshDataView(int) override {}
    void showAlarm(int, const std::string&, const std::string&) override {}
    void addImageLine(std::uint8_t, int) override {}
    void writeDataFile() override {}
    void loggerReadBack(const std::uint8_t*) override {}
    void refreshToolsBox() override {}
};

// The 64-bit system file time (100 ns units since 1601-01-01 UTC) of now.
std::int64_t systemFileTimeNow();

struct StreamShared {
    // The process-wide modes: written by the probe panel and the transport, read by the decoders.
    ModeFlags modes;

    // Acceptance while recording: prepared by the recording-mode dialog, advanced by the decoder.
    std::atomic<std::uint8_t> recordDirection{1};   // 1 down, 0 up
    std::atomic<double> lastAcceptedDepth{0.0};     // metres
    std::atomic<std::uint8_t> reverseMotion{0};     // shown and cleared by the probe panel
    std::atomic<std::int64_t> lastRejectedTime{0};  // system file time of the last rejected line

    // The open log: recorded in feet, and the channel id of each channel index of its data line.
    std::atomic<bool> logInFeet{false};
    std::function<int(int)> channelIdOfIndex;  // set while a log is open; -1 for an unknown index

    // The selected sonde's rotation offset, degrees.
    std::atomic<double> rotationOffset{0.0};

    // The system time for the rejected-line stamp.
    std::function<std::int64_t()> fileTimeNow = systemFileTimeNow;
};

}  // namespace quelt
