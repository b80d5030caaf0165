#pragma once
// A headless run of the acquisition pipeline for the command line: the program folder, a device (the real
// logger's libftdi1 bridge by default, a tty, or the simulated logger when asked), and the acquisition
// engine as the decoders' frame sink. Live runs go through the link (CUSB) with its watcher, reader and
// sender threads, as the desktop program does; --fast runs the simulated logger on simulated time through the
// link's reader step without threads (DevicePump), as fast as the machine goes.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/LiveOutput.h"
#include "config/ProgramContext.h"
#include "link/DevicePump.h"
#include "link/Usb.h"
#include "platform/Beep.h"
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

// What the link tells the windows, for a run without them: link texts on standard error, the probe
// panel's buttons handed to the thread that runs the panel, the lost link noted.
class HeadlessLinkEvents final : public LinkEvents {
  public:
    explicit HeadlessLinkEvents(std::string command) : command_(std::move(command)) {}
    void statusText(int part, const std::string& text) override;
    void refreshDataView(int code) override;
    void deviceIdentified(const std::string& description, const std::string& serial) override;
    bool sondePowered() override { return powered.load(); }
    void pressStop() override { ++stops; }
    void pressPowerButton() override { ++powerPresses; }
    double lastDepth() override { return depth.load(); }
    std::string linkText() const;

    std::atomic<bool> powered{false};
    std::atomic<double> depth{0};
    std::atomic<int> stops{0}, powerPresses{0};
    std::atomic<bool> lost{false};   // the reader lost the device
    std::atomic<int> identified{0};  // identifications (a return after a loss counts again)
    std::atomic<bool> quiet{false};

  private:
    std::string command_;
    mutable std::mutex mutex_;
    std::string linkText_;
};

class Headless {
  public:
    Headless(const GlobalOptions& global, const HeadlessOptions& options);
    ~Headless();
    // Loads the program folder and opens the device; false with a message on standard error.
    bool start(const char* command);
    // Runs the pipeline for `ms` milliseconds (of the run's clock); false when the device was lost.
    bool run(Millis ms);
    Millis now() const { return clock_->now(); }
    // The logger answers: a frame of a known family has arrived since the last loss.
    bool loggerAnswering() const;
    // A live run (through CUSB and its threads) rather than the stepped one.
    bool threaded() const { return usb_ != nullptr; }
    // Ends the link's threads (also done by the destructor).
    void stop();
    CUSB* link() { return usb_.get(); }
    // The device is the simulated logger: every output of the command says so.
    bool simulated() const;

    CliOperator op;
    ProgramContext context;
    // The exit code of a failed start: kExitNoDevice, or kExitUsage for a device the command line cannot
    // take.
    int startFailure = kExitNoDevice;
    std::unique_ptr<Acquisition> acq;

  private:
    bool openDevice(const char* command, std::uint16_t productId);
    void applyLinkRequests();

    const GlobalOptions& global_;
    HeadlessOptions options_;
    std::string command_;
    std::unique_ptr<Clock> clock_;
    FakeClock* fake_ = nullptr;
    std::unique_ptr<Device> device_;
    std::unique_ptr<DevicePump> pump_;
    std::unique_ptr<DatabaseSondeInfo> sonde_;
    std::unique_ptr<HeadlessLinkEvents> events_;
    SilentBeeper beeper_;
    int stopsSeen_ = 0, powerPressesSeen_ = 0;
    std::unique_ptr<CUSB> usb_;  // last: its threads end before anything they use goes
};

// The live values of the run for the once-a-second line.
LiveLine liveLine(Headless& h, Millis start);
// Waits for the logger, presses Power and waits for the power-up sequence: 0 when the sonde is ready,
// else the exit code (2 refused, with the panel's text; 3 no logger).
int powerUp(Headless& h, const char* command, bool quiet);
// Presses Power again and waits for the power-down sequence to end.
void powerDown(Headless& h, const char* command);

}  // namespace quelt::cli
