#pragma once
// The live source over the real link: CUSB with its watcher, reader and sender threads on a device
// backend (the simulated logger, libftdi1 or a serial tty), feeding the acquisition engine's decoders.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "app/LiveSource.h"
#include "link/Frames.h"
#include "link/LinkEvents.h"
#include "link/Usb.h"
#include "platform/Beep.h"
#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/Operator.h"

namespace quelt {
class Acquisition;
class DatabaseSondeInfo;
struct ProgramContext;
}  // namespace quelt

namespace quelt::app {

struct DeviceChoice {
    std::string
        device;  // "sim", "ftdi", "serial:PATH"; empty: ftdi when the logger's bridge is plugged in, else sim
    std::string scenario = "clean";
    std::uint64_t seed = 1;
    bool seedGiven = false;
};

// The device of the choice, and the logger's product id the link looks for (LoggerProductId of the
// settings, else the built-in one); null with a message in `error`.
std::unique_ptr<Device> makeDevice(const DeviceChoice& choice, const Clock& simClock, ProgramContext& context,
                                   std::uint16_t& productId, std::string& error);

class DeviceLiveSource final : public LiveSource,
                               private LinkEvents,
                               private FrameSink,
                               private Operator,
                               private Beeper {
  public:
    DeviceLiveSource(std::unique_ptr<Device> device, std::uint16_t loggerProductId);
    ~DeviceLiveSource() override;

    void start(Acquisition& acq, LiveHooks hooks) override;
    void stop() override;
    void waitReader(int ms) override;
    void zeroCounters() override;
    std::string linkStatusText() const override;
    std::string packetText() const override;
    std::string frameCountText() const override;
    std::string loggerSerial() const override;
    bool takeCommandSent() override;
    bool takeFrameReceived() override;
    void sendF2(double depth) override;

    Device& device() { return *device_; }
    CUSB* link() { return usb_.get(); }

  private:
    // FrameSink: a frame cut on the reader thread.
    void onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia via) override;
    // LinkEvents
    void statusText(int part, const std::string& text) override;
    void resetIdleTicks() override;
    void refreshDataView(int code) override;
    void blankVoltageCurrent() override;
    void deviceIdentified(const std::string& description, const std::string& serial) override;
    bool sondePowered() override;
    void pressStop() override;
    void pressPowerButton() override;
    double lastDepth() override;
    // Operator (the link only shows messages)
    void message(const std::string& text, MessageKind kind) override;
    bool askYesNo(const std::string&) override { return false; }
    std::optional<std::string> chooseFile(const std::string&, const std::string&, const std::string&,
                                          bool) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    // Beeper
    void beep(int hz, int ms) override;

    std::unique_ptr<Device> device_;
    std::uint16_t productId_;
    std::atomic<Acquisition*> acq_{nullptr};
    std::unique_ptr<DatabaseSondeInfo> sonde_;
    std::unique_ptr<CUSB> usb_;
    LiveHooks hooks_;
    mutable std::mutex textMutex_;
    std::string parts_[4];
    std::string serial_;
};

}  // namespace quelt::app
