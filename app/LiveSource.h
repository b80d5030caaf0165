#pragma once
// What the main window needs of live acquisition: the byte transport under the acquisition engine.
// The engine (stream/Acquisition) decodes every frame into its records and calls the window through
// its own hooks; the source carries the frames to it, writes its commands, and reports what the link
// says (status-bar texts, the logger's serial, the loss of the device). Hooks are called on the link's
// threads: the window hands them over to its own thread.

#include <functional>
#include <string>

namespace quelt {
class Acquisition;
}

namespace quelt::app {

struct LiveHooks {
    // A status-bar text of parts 1..3 changed, or a packet arrived (restart the idle blanking).
    std::function<void()> statusChanged;
    // RefreshDataView with its code (RefreshCode), asked by the link.
    std::function<void(int code)> refresh;
    // The link asks for the probe panel's Stop, or its Power button (the device was lost).
    std::function<void()> pressStop;
    std::function<void()> pressPower;
    // A message for the operator ("I/O USB error.", a missing driver ...).
    std::function<void(const std::string& text)> message;
    // The link's beeps (loss and return of the logger while the sonde is powered).
    std::function<void(int hz, int ms)> beep;
};

class LiveSource {
  public:
    virtual ~LiveSource() = default;

    // Connects the engine (frames in, commands out; the link shares the engine's LinkStatus, counters and
    // flags) and starts looking for the logger.
    virtual void start(Acquisition& acq, LiveHooks hooks) = 0;
    // Stops the link threads: the reader, then the watcher, each within 2000 ms.
    virtual void stop() = 0;
    // Sets quitting and waits at most `ms` for the reader thread to leave.
    virtual void waitReader(int /*ms*/) {}
    // clearPicture zeroes the link's frame counters.
    virtual void zeroCounters() {}

    // Status-bar texts: part 1 the link status, part 2 the packet size, part 3 the frame count.
    virtual std::string linkStatusText() const = 0;
    virtual std::string packetText() const = 0;
    virtual std::string frameCountText() const = 0;
    // The logger's serial number, empty while no logger was identified since start.
    virtual std::string loggerSerial() const = 0;
    // Activity of the last 250 ms, read and cleared by the main timer.
    virtual bool takeCommandSent() { return false; }
    virtual bool takeFrameReceived() { return false; }
    // The depth-reset command 0x02 with the depth the operator set (in SetDepthUnit).
    virtual void sendF2(double /*depth*/) {}
    // The device is the simulated logger.
    virtual bool simulated() const { return false; }
    // Switches to the simulated logger (on) or back to the program's own device, at once: the link is
    // stopped and started again on the other device. False with the reason when it cannot be made.
    virtual bool setSimulated(bool /*on*/, std::string& error) {
        error = "No simulated logger.";
        return false;
    }
};

// No device: the program runs replay-only.
class NullLiveSource final : public LiveSource {
  public:
    void start(Acquisition&, LiveHooks) override {}
    void stop() override {}
    std::string linkStatusText() const override { return {}; }
    std::string packetText() const override { return {}; }
    std::string frameCountText() const override { return {}; }
    std::string loggerSerial() const override { return {}; }
};

}  // namespace quelt::app
