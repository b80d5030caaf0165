#pragma once
// The built-in device: the simulated logger behind the operations of the USB bridge (open, EEPROM,
// time-outs, queue status, read, write, purge ...), with the bridge's status codes. Its uplink runs on a
// clock: the steady clock in the program, a fake clock in tests, where a read that has to wait for its
// time-out advances the fake clock through the wait function instead of sleeping, so a long log runs in
// seconds. Safe to call from the link's reader and sender threads at once.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Clock.h"
#include "sim/SimLogger.h"

namespace quelt::sim {

// The bridge's status codes.
enum SimStatus : int {
    kSimOk = 0,
    kSimInvalidHandle = 1,
    kSimDeviceNotFound = 2,
    kSimDeviceNotOpened = 3,
    kSimIoError = 4,
};

struct SimEeprom {
    std::uint16_t vendorId = kSimVendorId;
    std::uint16_t productId = kSimProductId;
    std::string serial;
    std::string description = "Logger";
};

class SimDevice {
  public:
    using WaitFunction = std::function<void(Millis)>;
    // wait: how a blocking read passes time (sleep on a real clock, advance a fake one). Empty: sleep.
    SimDevice(const Scenario& scenario, const Clock& clock, WaitFunction wait = {});

    int open(int index);
    int close();
    int readEeprom(SimEeprom& out);
    int resetDevice();
    int setTimeouts(Millis readMs, Millis writeMs);
    int setLatencyTimer(int ms);
    int queueStatus(std::uint32_t& bytes);
    int read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& got);
    int write(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t& written);
    int purge(int mask);

    // Faults at run time.
    void pullCable();
    void plugCableBack();
    void resetLogger();
    // The engine, for inspection (call under no other operation in tests).
    SimLogger& logger() { return logger_; }
    Millis now() const { return clock_.now(); }

  private:
    bool presentLocked(Millis now) const;

    const Clock& clock_;
    WaitFunction wait_;
    mutable std::mutex mutex_;
    SimLogger logger_;
    bool opened_ = false;
    Millis readTimeout_ = 300;
    std::string serial_;
};

}  // namespace quelt::sim
