#pragma once
// The logger's USB bridge through libftdi1, loaded at run time with dlopen so that the program starts and
// replays logs on a system without it. The logger is looked for under vendor 0x0403 with the logger's own
// product id, then with the bridge's default product id 0x6001.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Device.h"

struct ftdi_context;

namespace quelt {

class FtdiDevice final : public Device {
  public:
    explicit FtdiDevice(std::uint16_t loggerProductId, int baud = 921600);
    ~FtdiDevice() override;

    // Loads libftdi1 and binds its entry points; the messages name the bridge operation that is missing.
    bool bind(std::string& message) override;

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
    std::string name() const override { return "ftdi"; }
    std::string lastErrorHint() const override;

    // The text bind() gives when the library is present but the named entry point is missing.
    static std::string missingEntryMessage(const std::string& operation);

  private:
    struct Api;
    int open(int index, const std::string* description, const std::string* serial);
    int fill(std::uint32_t wantMs);  // moves what the bridge has into pending_

    std::uint16_t loggerProductId_;
    int baud_;
    void* library_ = nullptr;
    Api* api_ = nullptr;
    ftdi_context* ctx_ = nullptr;
    std::atomic<bool> open_{false};
    DeviceEeprom eeprom_;
    std::atomic<std::uint32_t> readTimeout_{300};
    std::mutex readMutex_;   // the reader's side: pending_ and the bridge's read buffer
    std::mutex writeMutex_;  // the senders' side
    std::vector<std::uint8_t> pending_;
    mutable std::mutex hintMutex_;
    std::string hint_;
};

}  // namespace quelt
