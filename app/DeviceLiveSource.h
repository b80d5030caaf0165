#pragma once
// The live source over the real link: CUSB with its watcher, reader and sender threads on a device
// backend (libftdi1, a serial tty, or the simulated logger when asked), feeding the acquisition engine's
// decoders.

#include <atomic>
#include <functional>
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

// Makes the device the program switches to: the simulated logger (true) or the device the program was
// started with, the real logger unless another was chosen (false). Null with the reason in `error`.
using DeviceSwitch = std::function<std::unique_ptr<Device>(bool simulated, std::string& error)>;

class DeviceLiveSource final : public LiveSource,
                               private LinkEvents,
                               private FrameSink,
                               private Operator,
                               private Beeper {
  public:
    DeviceLiveSource(std::unique_ptr<Device> device, std::uint16_t loggerProductId,
                     DeviceSwitch switchDevice = {});
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
    bool simulated() const override;
    bool setSimulated(bool on, std::string& error) override;

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
    DeviceSwitch switch_;
    std::atomic<Acquisition*> acq_{nullptr};
    std::unique_ptr<DatabaseSondeInfo> sonde_;
    std::unique_ptr<CUSB> usb_;
    LiveHooks hooks_;
    mutable std::mutex textMutex_;
    std::string parts_[4];
    std::string serial_;
};

}  // namespace quelt::app
