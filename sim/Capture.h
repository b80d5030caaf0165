#pragma once
// A capture: the simulated pair driven through a standard power-up on simulated time, its raw uplink
// collected. Used by `quelt simulate --capture` and by regression fixtures.

#include <cstdint>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimLogger.h"

namespace quelt::sim {

struct CaptureResult {
    std::vector<std::uint8_t> bytes;
    SimCounters counters;
    int commandsSent = 0;
};

// The commands of a standard power-up with the program's default settings, in order: 0x00, 0x01, 0x03,
// 0x05, 0x04, each with its sum.
std::vector<std::vector<std::uint8_t>> standardPowerUp();

// Runs the scenario for the given seconds of simulated time; the power-up starts at 0.5 s.
CaptureResult capture(const Scenario& scenario, double seconds);

}  // namespace quelt::sim
