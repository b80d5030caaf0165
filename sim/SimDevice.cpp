#include "sim/SimDevice.h"

#include <algorithm>
#include <thread>

namespace quelt::sim {

std::string simulatedSerial(const std::string& serial) {
    return serial.rfind(kSimSerialPrefix, 0) == 0 ? serial : kSimSerialPrefix + serial;
}

SimDevice::SimDevice(const Scenario& scenario, const Clock& clock, WaitFunction wait)
    : clock_(clock),
      wait_(std::move(wait)),
      logger_(scenario, clock.now()),
      serial_(simulatedSerial(scenario.sonde.serial)) {
    if (!wait_) wait_ = [](Millis ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

int SimDevice::openLocked() {
    Millis now = clock_.now();
    logger_.tick(now);
    if (!logger_.attached(now)) return kDevNotFound;
    opened_ = true;
    return kDevOk;
}

int SimDevice::openByIndex(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return index == 0 ? openLocked() : kDevNotFound;
}

int SimDevice::openByDescription(const std::string& description) {
    std::lock_guard<std::mutex> lock(mutex_);
    return description == kSimDescription ? openLocked() : kDevNotFound;
}

int SimDevice::openBySerial(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    return serial == serial_ ? openLocked() : kDevNotFound;
}

int SimDevice::readEeprom(DeviceEeprom& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kDevInvalidHandle;
    if (!logger_.attached(clock_.now())) return kDevIoError;
    out = DeviceEeprom{};
    out.vendorId = kSimVendorId;
    out.productId = productId_;
    out.serial = serial_;
    out.description = kSimDescription;
    out.manufacturer = "Torvanel";
    return kDevOk;
}

int SimDevice::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_ = false;
    return kDevOk;
}

int SimDevice::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_ ? kDevOk : kDevInvalidHandle;
}

int SimDevice::setTimeouts(std::uint32_t readMs, std::uint32_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kDevInvalidHandle;
    readTimeout_ = readMs;
    return kDevOk;
}

int SimDevice::setLatencyTimer(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_ ? kDevOk : kDevInvalidHandle;
}

int SimDevice::getQueueStatus(std::uint32_t& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes = 0;
    if (!opened_) return kDevInvalidHandle;
    Millis now = clock_.now();
    logger_.tick(now);
    if (!logger_.attached(now)) {
        opened_ = false;  // the handle dies with the device
        return kDevIoError;
    }
    bytes = static_cast<std::uint32_t>(logger_.available());
    return kDevOk;
}

int SimDevice::read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& got) {
    got = 0;
    Millis deadline;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!opened_) return kDevInvalidHandle;
        deadline = clock_.now() + readTimeout_;
    }
    while (true) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!opened_) return kDevIoError;
            Millis now = clock_.now();
            logger_.tick(now);
            if (!logger_.attached(now)) {
                opened_ = false;
                return kDevIoError;
            }
            got += static_cast<std::uint32_t>(logger_.read(buffer + got, wanted - got));
            if (got >= wanted || now >= deadline) return kDevOk;
        }
        wait_(std::min<Millis>(5, deadline - clock_.now()));
    }
}

int SimDevice::write(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t& written) {
    std::lock_guard<std::mutex> lock(mutex_);
    written = 0;
    if (!opened_) return kDevInvalidHandle;
    Millis now = clock_.now();
    if (!logger_.attached(now)) return kDevIoError;
    logger_.write(buffer, length, now);
    written = length;
    return kDevOk;
}

int SimDevice::purge(std::uint32_t mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kDevInvalidHandle;
    if (mask & kPurgeRx) {
        logger_.tick(clock_.now());
        logger_.purge();
    }
    return kDevOk;
}

void SimDevice::pullCable() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.pull(clock_.now());
}

void SimDevice::plugCableBack() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.plugBack(clock_.now());
}

void SimDevice::setProductId(std::uint16_t productId) {
    std::lock_guard<std::mutex> lock(mutex_);
    productId_ = productId;
}

void SimDevice::setWheel(double countsPerCm) {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.setWheel(countsPerCm);
}

void SimDevice::resetLogger() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.resetLogger(clock_.now());
}

}  // namespace quelt::sim
