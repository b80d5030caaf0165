#pragma once
// What the decoders need from the rest of the program, kept small: the call-outs to the windows, the
// picture, the log writer and the command set (StreamEvents), and the process-wide flags and counters
// they share with the link, the probe panel and the recorder (StreamShared).

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "link/LinkEvents.h"
#include "stream/ModeFlags.h"

namespace quelt {

// The alarms a frame's byte 0 raises, by type.
enum AlarmType : int {
    kAlarmTypeEncoder = 0,  // "Invalid Depth !!!"
    kAlarmTypeBattery = 1,  // "Low Battery."
};

class StreamEvents {
  public:
    virtual ~StreamEvents() = default;
    // RefreshDataView of the main window; kRefreshValues after each decode.
    virtual void refreshDataView(int code) = 0;
    // Alarm display by AlarmType.
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

// The commands to the logger, built from the current settings: the acquisition engine carries them to
// whatever link it is wired to. Called on the thread that runs the sequences (the window's, or the
// command's main loop); an implementer hands the frame over and returns at once.
class LoggerCommands {
  public:
    virtual ~LoggerCommands() = default;
    // Each returns the frame as it was sent (the probe panel compares the read-backs with it).
    virtual void sendF0() = 0;
    virtual std::array<std::uint8_t, 8> sendF1() = 0;
    virtual std::array<std::uint8_t, 4> sendF3() = 0;
    virtual std::array<std::uint8_t, 7> sendF4() = 0;
    virtual std::array<std::uint8_t, 7> sendF5() = 0;
    // A command is built and not yet written (the send length is non-zero).
    virtual bool commandPending() = 0;
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
