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
#include "platform/Device.h"
#include "sim/SimLogger.h"

namespace quelt::sim {

inline constexpr const char* kSimSerialPrefix = "SIM-";
// The serial number the simulated logger reports for a scenario's serial: with the "SIM-" prefix.
std::string simulatedSerial(const std::string& serial);

class SimDevice final : public Device {
  public:
    using WaitFunction = std::function<void(Millis)>;
    // wait: how a blocking read passes time (sleep on a real clock, advance a fake one). Empty: sleep.
    SimDevice(const Scenario& scenario, const Clock& clock, WaitFunction wait = {});

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
    std::string name() const override { return "sim"; }

    // Faults at run time.
    void pullCable();
    void plugCableBack();
    void resetLogger();
    // The product id its EEPROM reports (the logger's own by default; follows the LoggerProductId setting).
    void setProductId(std::uint16_t productId);
    // The winch's wheel in counts per centimetre (see SimLogger::setWheel).
    void setWheel(double countsPerCm);
    // The engine, for inspection (tests call it between operations).
    SimLogger& logger() { return logger_; }

  private:
    int openLocked();

    const Clock& clock_;
    WaitFunction wait_;
    mutable std::mutex mutex_;
    SimLogger logger_;
    bool opened_ = false;
    Millis readTimeout_ = 300;
    std::string serial_;
    std::uint16_t productId_ = kSimProductId;
};

}  // namespace quelt::sim
