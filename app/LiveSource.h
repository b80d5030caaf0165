#pragma once
// What the main window needs of live acquisition: the device link with its reader thread and decoders
// behind one small interface. The engine writes LiveState, ReplyEcho, ImageLine and the counters of
// StreamShared itself and tells the window through the hooks; the hooks are called on the engine's
// threads and the window hands them over to its own thread.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quelt {
class LiveState;
class ReplyEcho;
struct ImageLine;
struct StreamShared;
}  // namespace quelt

namespace quelt::app {

struct LiveRecords {
    LiveState* live = nullptr;
    ReplyEcho* echo = nullptr;
    ImageLine* image = nullptr;
    StreamShared* shared = nullptr;
};

struct LiveHooks {
    // A frame was decoded (RefreshDataView with its code, 1024 after each decode).
    std::function<void(int code)> frameDecoded;
    // An accepted image line is in ImageLine: its direction (1 down) and resolution code.
    std::function<void(std::uint8_t direction, int resolutionCode)> imageLine;
    // The link lost the device ("I/O USB error"): the window powers the panel off.
    std::function<void(const std::string& message)> linkLost;
    // A status-bar text changed (parts 1..3).
    std::function<void()> statusChanged;
};

class LiveSource {
  public:
    virtual ~LiveSource() = default;

    // Starts looking for the logger; the records live as long as the window.
    virtual void start(const LiveRecords& records, LiveHooks hooks) = 0;
    // Stops the link threads (each within 2000 ms).
    virtual void stop() = 0;

    // Status-bar texts: part 1 the link status, part 2 the packet size ("" while no logger), part 3 the
    // frame count.
    virtual std::string linkStatusText() const = 0;
    virtual std::string packetText() const = 0;
    virtual std::string frameCountText() const = 0;
    // The logger's serial number, empty while no logger was identified since start.
    virtual std::string loggerSerial() const = 0;
    // Frames arrive from a logger (the probe panel's dataFlowing).
    virtual bool dataFlowing() const = 0;
    // Activity of the last 250 ms, read and cleared by the main timer.
    virtual bool takeCommandSent() { return false; }
    virtual bool takeFrameReceived() { return false; }

    // The sonde's commands, built from the current settings; each returns the frame as it was sent.
    virtual void sendF0() = 0;
    virtual std::array<std::uint8_t, 8> sendF1() = 0;
    virtual std::array<std::uint8_t, 4> sendF3() = 0;
    virtual std::array<std::uint8_t, 7> sendF4() = 0;
    virtual std::array<std::uint8_t, 7> sendF5() = 0;
    // A command is built and not yet written.
    virtual bool commandPending() const = 0;
};

// No device: the program runs replay-only.
class NullLiveSource final : public LiveSource {
  public:
    void start(const LiveRecords&, LiveHooks) override {}
    void stop() override {}
    std::string linkStatusText() const override { return {}; }
    std::string packetText() const override { return {}; }
    std::string frameCountText() const override { return {}; }
    std::string loggerSerial() const override { return {}; }
    bool dataFlowing() const override { return false; }
    void sendF0() override {}
    std::array<std::uint8_t, 8> sendF1() override { return {}; }
    std::array<std::uint8_t, 4> sendF3() override { return {}; }
    std::array<std::uint8_t, 7> sendF4() override { return {}; }
    std::array<std::uint8_t, 7> sendF5() override { return {}; }
    bool commandPending() const override { return false; }
};

}  // namespace quelt::app
