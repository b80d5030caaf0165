#include "link/DeviceFactory.h"

#include "link/Commands.h"
#include "platform/FtdiDevice.h"
#include "platform/SerialDevice.h"
#include "sim/Scenario.h"
#include "sim/SimDevice.h"

namespace quelt {

std::unique_ptr<Device> makeDevice(const DeviceChoice& choice, const Clock& clock, const Settings& settings,
                                   std::uint16_t productId, std::string& error,
                                   std::function<void(Millis)> simWait) {
    const std::string& device = choice.device;
    if (device.empty() || device == "ftdi") return std::make_unique<FtdiDevice>(productId);
    if (device == kSimDevice) {
        sim::Scenario scenario;
        if (!sim::resolveScenario(choice.scenario, choice.seed, choice.seedGiven, scenario, error))
            return nullptr;
        auto sim = std::make_unique<sim::SimDevice>(scenario, clock, std::move(simWait));
        sim->setProductId(productId);
        // The simulated winch has the wheel the settings describe, so depths stay true when command 0x01
        // carries a halved scale.
        sim->setWheel(encoderScale(settings).countsPerCm);
        return sim;
    }
    if (device.rfind("serial:", 0) == 0 && device.size() > 7)
        return std::make_unique<SerialDevice>(device.substr(7), 921600, productId);
    error = "unknown device " + device + " (sim, ftdi or serial:PATH)";
    return nullptr;
}

}  // namespace quelt
