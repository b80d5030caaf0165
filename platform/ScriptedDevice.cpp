#include "platform/ScriptedDevice.h"

#include <algorithm>
#include <chrono>

namespace quelt {

ScriptedDevice::ScriptedDevice() {
    eeprom_.vendorId = 0x0403;
    eeprom_.productId = 0x6001;
    eeprom_.serial = "QR-12345678";
    eeprom_.description = "Logger";
}

void ScriptedDevice::setPresent(bool present) {
    std::lock_guard<std::mutex> lock(mutex_);
    present_ = present;
    if (!present) open_ = false;
}
void ScriptedDevice::setOpenStatus(int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    openStatus_ = status;
}
void ScriptedDevice::setEeprom(const DeviceEeprom& eeprom) {
    std::lock_guard<std::mutex> lock(mutex_);
    eeprom_ = eeprom;
}
void ScriptedDevice::setQueueFailure(bool fail) {
    std::lock_guard<std::mutex> lock(mutex_);
    queueFails_ = fail;
}
void ScriptedDevice::setReadWaitCap(std::uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    waitCap_ = ms;
}
void ScriptedDevice::setHint(const std::string& hint) {
    std::lock_guard<std::mutex> lock(mutex_);
    hint_ = hint;
}
void ScriptedDevice::push(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
    }
    arrived_.notify_all();
}
std::vector<std::vector<std::uint8_t>> ScriptedDevice::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}
std::size_t ScriptedDevice::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return incoming_.size();
}
int ScriptedDevice::opens() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}
std::string ScriptedDevice::lastErrorHint() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hint_;
}

int ScriptedDevice::openByIndex(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++opens_;
    if (!present_ || index != 0) return kDevNotFound;
    if (openStatus_ != kDevOk) return openStatus_;
    open_ = true;
    return kDevOk;
}
int ScriptedDevice::openByDescription(const std::string& description) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (description != eeprom_.description) return kDevNotFound;
    }
    return openByIndex(0);
}
int ScriptedDevice::openBySerial(const std::string& serial) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (serial != eeprom_.serial) return kDevNotFound;
    }
    return openByIndex(0);
}
int ScriptedDevice::readEeprom(DeviceEeprom& eeprom) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDevNotOpened;
    eeprom = eeprom_;
    return kDevOk;
}
int ScriptedDevice::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    bool was = open_;
    open_ = false;
    return was ? kDevOk : kDevInvalidHandle;
}
int ScriptedDevice::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_ ? kDevOk : kDevInvalidHandle;
}
int ScriptedDevice::setTimeouts(std::uint32_t readMs, std::uint32_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    readTimeout_ = readMs;
    return open_ ? kDevOk : kDevInvalidHandle;
}
int ScriptedDevice::getQueueStatus(std::uint32_t& bytesWaiting) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytesWaiting = 0;
    if (!open_ || !present_ || queueFails_) return kDevIoError;
    bytesWaiting = static_cast<std::uint32_t>(incoming_.size());
    return kDevOk;
}
int ScriptedDevice::read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) {
    std::unique_lock<std::mutex> lock(mutex_);
    got = 0;
    if (!open_) return kDevInvalidHandle;
    auto wait = std::chrono::milliseconds(std::min(readTimeout_, waitCap_));
    arrived_.wait_for(lock, wait, [&] { return incoming_.size() >= size || !open_; });
    std::uint32_t n = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(incoming_.size()));
    std::copy(incoming_.begin(), incoming_.begin() + n, buffer);
    incoming_.erase(incoming_.begin(), incoming_.begin() + n);
    got = n;
    return kDevOk;
}
int ScriptedDevice::write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) {
    std::lock_guard<std::mutex> lock(mutex_);
    written = 0;
    if (!open_) return kDevInvalidHandle;
    writes_.emplace_back(data, data + size);
    written = size;
    return kDevOk;
}
int ScriptedDevice::purge(std::uint32_t mask) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDevInvalidHandle;
    if (mask & kPurgeRx) incoming_.clear();
    return kDevOk;
}
int ScriptedDevice::setLatencyTimer(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_ ? kDevOk : kDevInvalidHandle;
}

}  // namespace quelt
