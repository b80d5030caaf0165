#pragma once
// A serial device in raw mode (`--device serial:PATH`): the kernel's FTDI serial driver, or the
// pseudo-terminal of `quelt simulate --pty`. The identification comes from sysfs when the tty sits on a
// USB bridge; a tty without one (a pseudo-terminal) identifies as the logger, since the operator named it.

#include <atomic>
#include <mutex>
#include <string>

#include "platform/Device.h"

namespace quelt {

class SerialDevice final : public Device {
  public:
    // productId: what a tty without a USB bridge reports as its product id.
    explicit SerialDevice(std::string path, int baud = 921600, std::uint16_t productId = 0x6001);
    ~SerialDevice() override;

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
    std::string name() const override { return "serial:" + path_; }
    std::string lastErrorHint() const override;

  private:
    std::string path_;
    int baud_;
    std::uint16_t productId_;
    std::atomic<int> fd_{-1};
    std::atomic<std::uint32_t> readTimeout_{300};
    std::atomic<std::uint32_t> writeTimeout_{100};
    mutable std::mutex hintMutex_;
    std::string hint_;
};

}  // namespace quelt
