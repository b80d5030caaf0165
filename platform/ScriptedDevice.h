#pragma once
// An in-memory device for tests: a scripted EEPROM record, bytes queued for the reader, every write
// recorded, and switches that make it absent, refuse to open or lose the link.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/Device.h"

namespace quelt {

class ScriptedDevice final : public Device {
  public:
    ScriptedDevice();

    // Script.
    void setPresent(bool present);   // absent: opens fail with kDevNotFound
    void setOpenStatus(int status);  // the status openByIndex returns while present
    void setEeprom(const DeviceEeprom& eeprom);
    void setQueueFailure(bool fail);        // getQueueStatus fails (a pulled cable)
    void setReadWaitCap(std::uint32_t ms);  // longest a read waits, whatever the read time-out
    void push(const std::vector<std::uint8_t>& bytes);
    void setHint(const std::string& hint);

    // What happened.
    std::vector<std::vector<std::uint8_t>> writes() const;
    std::size_t pending() const;
    int opens() const;

    int openByIndex(int index) override;
    int openByDescription(const std::string& description) override;
    int openBySerial(const std::string& serial) override;
    int readEeprom(DeviceEeprom& eeprom) override;
    int close() override;
    int reset() override;
    int setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    int getQueueStatus(std::uint32_t& bytesWaiting) override;
    int read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override;
    int write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) override;
    int purge(std::uint32_t mask) override;
    int setLatencyTimer(std::uint8_t ms) override;
    std::string name() const override { return "scripted"; }
    std::string lastErrorHint() const override;

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    bool present_ = true;
    bool open_ = false;
    int openStatus_ = kDevOk;
    bool queueFails_ = false;
    std::uint32_t readTimeout_ = 300;
    std::uint32_t waitCap_ = 20;
    int opens_ = 0;
    DeviceEeprom eeprom_;
    std::deque<std::uint8_t> incoming_;
    std::vector<std::vector<std::uint8_t>> writes_;
    std::string hint_;
};

}  // namespace quelt
