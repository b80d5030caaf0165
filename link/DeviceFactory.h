#pragma once
// The one place where a device backend is chosen, for every front end: `--device` of both programs and the
// desktop program's "Simulated logger" entry. Without a choice the programs look for the real logger only
// (the libftdi1 bridge): with none plugged in they behave as the system does without hardware ("Not
// hardware detected.", replay mode) and never fall back to the simulated logger, which a crew could take
// for a real one. Adding a backend is one file and one line here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/Settings.h"
#include "platform/Clock.h"
#include "platform/Device.h"

namespace quelt {

// The name of the simulated logger, as `--device` takes it and Device::name() reports it.
inline constexpr const char* kSimDevice = "sim";
// What the desktop program shows while the simulated logger runs: status-bar part 1 once it is
// connected, and the end of the window title.
inline constexpr const char* kSimulatedLoggerText = "Simulated logger";
inline constexpr const char* kSimulatedTitleSuffix = " [simulated logger]";

struct DeviceChoice {
    std::string device;  // "sim", "ftdi", "serial:PATH"; empty: "ftdi", the real logger
    std::string scenario = "clean";
    std::uint64_t seed = 1;
    bool seedGiven = false;
    bool simulated() const { return device == kSimDevice; }
};

// True for the simulated logger's device.
inline bool isSimulated(const Device& device) {
    return device.name() == kSimDevice;
}

// The device of the choice; productId is the logger's product id the link looks for (loggerProductId of
// the settings file). The simulated logger runs on `clock`; `simWait` is how its blocking reads pass time
// (empty: sleep). Null with the reason in `error` for an unknown device or a bad scenario.
std::unique_ptr<Device> makeDevice(const DeviceChoice& choice, const Clock& clock, const Settings& settings,
                                   std::uint16_t productId, std::string& error,
                                   std::function<void(Millis)> simWait = {});

}  // namespace quelt
