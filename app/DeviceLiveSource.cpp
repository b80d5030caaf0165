#include "app/DeviceLiveSource.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/ProgramContext.h"
#include "link/DeviceFactory.h"
#include "stream/Acquisition.h"
#include "stream/LinkWiring.h"

namespace quelt::app {

DeviceLiveSource::DeviceLiveSource(std::unique_ptr<Device> device, std::uint16_t loggerProductId,
                                   DeviceSwitch switchDevice)
    : device_(std::move(device)), productId_(loggerProductId), switch_(std::move(switchDevice)) {}

DeviceLiveSource::~DeviceLiveSource() {
    stop();
}

void DeviceLiveSource::start(Acquisition& acq, LiveHooks hooks) {
    if (usb_) return;
    acq_ = &acq;
    hooks_ = std::move(hooks);
    sonde_ = std::make_unique<DatabaseSondeInfo>(*acq.context().sondes);
    LinkOptions options;
    options.loggerProductId = productId_;
    LinkEvents& events = *this;
    Operator& op = *this;
    Beeper& beeper = *this;
    FrameSink* decoders = this;
    usb_ = makeEngineLink(*device_, acq, *sonde_, events, op, beeper, decoders, options);
    usb_->Start();
}

bool DeviceLiveSource::simulated() const {
    return device_ && isSimulated(*device_);
}

bool DeviceLiveSource::setSimulated(bool on, std::string& error) {
    if (on == simulated()) return true;
    if (!switch_) {
        error = "No other device.";
        return false;
    }
    std::unique_ptr<Device> next = switch_(on, error);
    if (!next) return false;
    Acquisition* acq = acq_.load();
    stop();
    device_ = std::move(next);
    {
        std::lock_guard<std::mutex> lock(textMutex_);
        for (std::string& part : parts_)
            part.clear();
        serial_.clear();
    }
    if (acq) start(*acq, hooks_);
    return true;
}

void DeviceLiveSource::stop() {
    if (!usb_) return;
    usb_->Shutdown();
    // The engine may be gone after this (it lives with the window): no link call reaches it again.
    if (Acquisition* acq = acq_.exchange(nullptr)) unwireEngine(*acq);
    // The link shares its flags and counters with the engine: it goes with it, so that a second stop
    // after the window is gone touches nothing.
    usb_.reset();
}

void DeviceLiveSource::sendF2(double depth) {
    if (usb_) usb_->sendF2(depth);
}

void DeviceLiveSource::onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence,
                               FrameVia via) {
    if (Acquisition* acq = acq_.load()) acq->onFrame(frame, length, sequence, via);
}

void DeviceLiveSource::waitReader(int ms) {
    if (!usb_) return;
    usb_->flags().quitting = true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (usb_->flags().readerAlive.load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void DeviceLiveSource::zeroCounters() {
    if (!usb_) return;
    usb_->counters().dispatched = 0;
    usb_->counters().missed = 0;
}

void DeviceLiveSource::statusText(int part, const std::string& text) {
    if (part < 1 || part > 3) return;
    {
        std::lock_guard<std::mutex> lock(textMutex_);
        parts_[part] = text;
    }
    if (hooks_.statusChanged) hooks_.statusChanged();
}

void DeviceLiveSource::resetIdleTicks() {
    if (hooks_.statusChanged) hooks_.statusChanged();
}

void DeviceLiveSource::refreshDataView(int code) {
    if (hooks_.refresh) hooks_.refresh(code);
}

void DeviceLiveSource::blankVoltageCurrent() {
    Acquisition* acq = acq_.load();
    if (!acq) return;
    acq->live.update([](LiveValues& v) {
        v.voltageText.clear();
        v.currentText.clear();
    });
}

void DeviceLiveSource::deviceIdentified(const std::string&, const std::string& serial) {
    std::lock_guard<std::mutex> lock(textMutex_);
    serial_ = serial;
}

bool DeviceLiveSource::sondePowered() {
    Acquisition* acq = acq_.load();
    return acq && acq->linkFlags.poweredCopy.load();
}

void DeviceLiveSource::pressStop() {
    if (hooks_.pressStop) hooks_.pressStop();
}

void DeviceLiveSource::pressPowerButton() {
    if (hooks_.pressPower) hooks_.pressPower();
}

double DeviceLiveSource::lastDepth() {
    Acquisition* acq = acq_.load();
    return acq ? acq->live.read([](const LiveValues& v) { return v.depth; }) : std::nan("");
}

void DeviceLiveSource::message(const std::string& text, MessageKind) {
    if (hooks_.message) hooks_.message(text);
}

void DeviceLiveSource::beep(int hz, int ms) {
    if (hooks_.beep) hooks_.beep(hz, ms);
}

std::string DeviceLiveSource::linkStatusText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    // Connected to the simulated logger, the status bar never reads like a real logger's.
    if (simulated() && parts_[1] == kUsbLinkConnected) return kSimulatedLoggerText;
    return parts_[1];
}
std::string DeviceLiveSource::packetText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return parts_[2];
}
std::string DeviceLiveSource::frameCountText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return parts_[3];
}
std::string DeviceLiveSource::loggerSerial() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return serial_;
}
bool DeviceLiveSource::takeCommandSent() {
    return usb_ && usb_->flags().commandSent.exchange(false);
}
bool DeviceLiveSource::takeFrameReceived() {
    return usb_ && usb_->flags().frameReceived.exchange(false);
}

}  // namespace quelt::app
