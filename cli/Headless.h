#pragma once
// A headless run of the acquisition pipeline for the command line: the program folder, a device (the
// simulated logger by default), the link's byte transport and the acquisition engine, stepped either
// in real time or, for the simulated logger, on simulated time as fast as the machine goes.

#include <memory>
#include <string>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/LiveOutput.h"
#include "config/ProgramContext.h"
#include "link/DevicePump.h"
#include "platform/Clock.h"
#include "platform/Device.h"
#include "stream/Acquisition.h"

namespace quelt::cli {

struct HeadlessOptions {
    std::string scenario = "clean";
    std::uint64_t seed = 1;
    bool seedGiven = false;
    bool fast = false;    // simulated time (only with the simulated logger)
    std::string capture;  // tee the raw uplink into this file
};

// Parses --scenario, --seed, --fast, --capture out of args (removing them); false with a message on error.
bool takeHeadlessOptions(std::vector<std::string>& args, HeadlessOptions& out, const char* command);

class Headless {
  public:
    Headless(const GlobalOptions& global, const HeadlessOptions& options);
    // Loads the program folder and opens the device; false with a message on standard error.
    bool start(const char* command);
    // Runs the pipeline for `ms` milliseconds (of the run's clock); false when the device was lost.
    bool run(Millis ms);
    Millis now() const { return clock_->now(); }

    CliOperator op;
    ProgramContext context;
    std::unique_ptr<Acquisition> acq;

  private:
    const GlobalOptions& global_;
    HeadlessOptions options_;
    std::unique_ptr<Clock> clock_;
    FakeClock* fake_ = nullptr;
    std::unique_ptr<Device> device_;
    std::unique_ptr<DevicePump> pump_;
};

// The live values of the run for the once-a-second line.
LiveLine liveLine(Headless& h, Millis start);
// Waits for the logger, presses Power and waits for the power-up sequence: 0 when the sonde is ready,
// else the exit code (2 refused, with the panel's text; 3 no logger).
int powerUp(Headless& h, const char* command, bool quiet);
// Presses Power again and waits for the power-down sequence to end.
void powerDown(Headless& h, const char* command);

}  // namespace quelt::cli
