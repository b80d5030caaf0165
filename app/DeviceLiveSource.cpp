#include "app/DeviceLiveSource.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/ProgramContext.h"
#include "link/Commands.h"
#include "link/LoggerId.h"
#include "platform/FtdiDevice.h"
#include "platform/SerialDevice.h"
#include "platform/UsbScan.h"
#include "sim/Scenario.h"
#include "sim/SimDevice.h"
#include "sim/SimLogger.h"
#include "stream/Acquisition.h"

namespace quelt::app {

namespace fs = std::filesystem;

std::unique_ptr<Device> makeDevice(const DeviceChoice& choice, const Clock& simClock, ProgramContext& context,
                                   std::uint16_t& productId, std::string& error) {
    productId = loggerProductId(context.preferences ? context.preferences->File() : std::string());
    std::string device = choice.device;
    if (device.empty()) device = loggerBridgePlugged(productId) ? "ftdi" : "sim";
    if (device == "sim") {
        sim::Scenario scenario;
        if (!sim::resolveScenario(choice.scenario, choice.seed, choice.seedGiven, scenario, error))
            return nullptr;
        auto sim = std::make_unique<sim::SimDevice>(scenario, simClock);
        sim->setProductId(productId);
        // The simulated winch has the wheel the settings describe, so depths stay true.
        sim->setWheel(encoderScale(context.settings).countsPerCm);
        return sim;
    }
    if (device == "ftdi") return std::make_unique<FtdiDevice>(productId);
    if (device.rfind("serial:", 0) == 0 && device.size() > 7)
        return std::make_unique<SerialDevice>(device.substr(7), 921600, productId);
    error = "Unknown device " + device + " (sim, ftdi or serial:PATH).";
    return nullptr;
}

DeviceLiveSource::DeviceLiveSource(std::unique_ptr<Device> device, std::uint16_t loggerProductId)
    : device_(std::move(device)), productId_(loggerProductId) {}

DeviceLiveSource::~DeviceLiveSource() {
    stop();
}

void DeviceLiveSource::start(Acquisition& acq, LiveHooks hooks) {
    if (usb_) return;
    acq_ = &acq;
    hooks_ = std::move(hooks);
    sonde_ = std::make_unique<DatabaseSondeInfo>(*acq.context().sondes);
    // The link counts into the engine's counters, sets its LinkStatus and shares its flags.
    LinkOptions options;
    options.loggerProductId = productId_;
    options.counters = &acq.counters;
    options.linkStatus = &acq.linkStatus;
    options.flags = &acq.linkFlags;
    LinkEvents& events = *this;
    Operator& op = *this;
    Beeper& beeper = *this;
    FrameSink* decoders = this;
    usb_.reset(new CUSB(*device_, acq.context().settings, *sonde_, events, op, beeper, decoders, options));
    acq.writeCommand = [this](const CommandFrame& f) { return usb_->sendCommand(f); };
    acq.onLoggerReadBack = [this](const std::uint8_t* logger20) { usb_->checkLoggerReadBack(logger20); };
    acq.commandPendingNow = [this] { return usb_->flags().senderBusy.load(); };
    usb_->Start();
}

void DeviceLiveSource::stop() {
    if (!usb_) return;
    usb_->Shutdown();
    // The engine may be gone after this (it lives with the window): no link call reaches it again.
    if (Acquisition* acq = acq_.exchange(nullptr)) {
        acq->writeCommand = nullptr;
        acq->onLoggerReadBack = nullptr;
        acq->commandPendingNow = nullptr;
    }
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
