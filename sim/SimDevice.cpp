#include "sim/SimDevice.h"

#include <algorithm>
#include <thread>

namespace quelt::sim {

SimDevice::SimDevice(const Scenario& scenario, const Clock& clock, WaitFunction wait)
    : clock_(clock), wait_(std::move(wait)), logger_(scenario, clock.now()), serial_(scenario.sonde.serial) {
    if (!wait_) wait_ = [](Millis ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

bool SimDevice::presentLocked(Millis now) const {
    return logger_.attached(now);
}

int SimDevice::open(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Millis now = clock_.now();
    logger_.tick(now);
    if (index != 0 || !presentLocked(now)) return kSimDeviceNotFound;
    opened_ = true;
    return kSimOk;
}

int SimDevice::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_ = false;
    return kSimOk;
}

int SimDevice::readEeprom(SimEeprom& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kSimInvalidHandle;
    if (!presentLocked(clock_.now())) return kSimIoError;
    out = SimEeprom{};
    out.serial = serial_;
    return kSimOk;
}

int SimDevice::resetDevice() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_ ? kSimOk : kSimInvalidHandle;
}

int SimDevice::setTimeouts(Millis readMs, Millis) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kSimInvalidHandle;
    readTimeout_ = std::max<Millis>(0, readMs);
    return kSimOk;
}

int SimDevice::setLatencyTimer(int) {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_ ? kSimOk : kSimInvalidHandle;
}

int SimDevice::queueStatus(std::uint32_t& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes = 0;
    if (!opened_) return kSimInvalidHandle;
    Millis now = clock_.now();
    logger_.tick(now);
    if (!presentLocked(now)) {
        opened_ = false;  // the handle dies with the device
        return kSimIoError;
    }
    bytes = static_cast<std::uint32_t>(logger_.available());
    return kSimOk;
}

int SimDevice::read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& got) {
    got = 0;
    Millis deadline;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!opened_) return kSimInvalidHandle;
        deadline = clock_.now() + readTimeout_;
    }
    while (true) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!opened_) return kSimIoError;
            Millis now = clock_.now();
            logger_.tick(now);
            if (!presentLocked(now)) {
                opened_ = false;
                return kSimIoError;
            }
            got += static_cast<std::uint32_t>(logger_.read(buffer + got, wanted - got));
            if (got >= wanted || now >= deadline) return kSimOk;
        }
        wait_(std::min<Millis>(5, deadline - clock_.now()));
    }
}

int SimDevice::write(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t& written) {
    std::lock_guard<std::mutex> lock(mutex_);
    written = 0;
    if (!opened_) return kSimInvalidHandle;
    Millis now = clock_.now();
    if (!presentLocked(now)) return kSimIoError;
    logger_.write(buffer, length, now);
    written = length;
    return kSimOk;
}

int SimDevice::purge(int mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!opened_) return kSimInvalidHandle;
    if (mask & 1) {
        logger_.tick(clock_.now());
        logger_.purge();
    }
    return kSimOk;
}

void SimDevice::pullCable() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.pull(clock_.now());
}

void SimDevice::plugCableBack() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.plugBack(clock_.now());
}

void SimDevice::resetLogger() {
    std::lock_guard<std::mutex> lock(mutex_);
    logger_.resetLogger(clock_.now());
}

}  // namespace quelt::sim
