#pragma once
// The device seam: exactly the operations the link uses on the logger's USB serial bridge, with the
// bridge library's status codes. Backends: libftdi1 (FtdiDevice), a raw tty (SerialDevice), the
// simulated logger (sim/) and an in-memory script for tests (ScriptedDevice).
//
// Threading: the reader thread calls read/getQueueStatus while a sender thread calls write; every
// backend allows one reader and one writer at the same time. open/close/reset/purge are called only
// by the watcher while no reader runs.

#include <cstdint>
#include <string>

namespace quelt {

// Status codes of every device operation (the bridge library's numbering).
enum DeviceStatus : int {
    kDevOk = 0,
    kDevInvalidHandle = 1,
    kDevNotFound = 2,
    kDevNotOpened = 3,
    kDevIoError = 4,
    kDevInsufficientResources = 5,
    kDevInvalidParameter = 6,
    kDevInvalidBaudRate = 7,
    kDevReadTimeMode = 8,  // shown as "USB : read time mode"
    // Codes of this program, outside the library's range.
    kDevPermissionDenied = 100,  // the device is there but the user may not open it
    kDevNotBound = 101,          // the backend's library is not loaded
};

// Purge masks.
constexpr std::uint32_t kPurgeRx = 1;
constexpr std::uint32_t kPurgeTx = 2;

// The identification record read from the bridge's EEPROM.
struct DeviceEeprom {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serial;
    std::string description;
    std::string manufacturer;
};

class Device {
  public:
    virtual ~Device() = default;

    // Loads whatever the backend needs (the bridge library for FtdiDevice). On failure returns false
    // and sets message to the text the operator is shown. Called once by CUSB::Start.
    virtual bool bind(std::string& message) {
        message.clear();
        return true;
    }

    virtual int openByIndex(int index) = 0;
    virtual int openByDescription(const std::string& description) = 0;
    virtual int openBySerial(const std::string& serial) = 0;
    virtual int readEeprom(DeviceEeprom& eeprom) = 0;
    virtual int close() = 0;
    virtual int reset() = 0;
    virtual int setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    // Bytes waiting in the receive queue; a non-zero status means the device is gone.
    virtual int getQueueStatus(std::uint32_t& bytesWaiting) = 0;
    // Reads up to size bytes, waiting at most the read time-out; got is the count actually read.
    virtual int read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) = 0;
    virtual int write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) = 0;
    virtual int purge(std::uint32_t mask) = 0;
    virtual int setLatencyTimer(std::uint8_t ms) = 0;

    // A short name for messages: "ftdi", "serial:/dev/ttyUSB0", "sim", "scripted".
    virtual std::string name() const = 0;
    // A hint for the operator after the last failure (for example how to grant access), or empty.
    virtual std::string lastErrorHint() const { return {}; }
};

}  // namespace quelt
