#include "cli/Headless.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "sim/Scenario.h"
#include "sim/SimDevice.h"

namespace quelt::cli {

bool takeHeadlessOptions(std::vector<std::string>& args, HeadlessOptions& out, const char* command) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--scenario" || a == "--seed" || a == "--capture") {
            const std::string* v = value();
            if (!v) {
                std::fprintf(stderr, "quelt %s: %s needs a value\n", command, a.c_str());
                return false;
            }
            if (a == "--scenario") out.scenario = *v;
            if (a == "--capture") out.capture = *v;
            if (a == "--seed") {
                char* end = nullptr;
                out.seed = std::strtoull(v->c_str(), &end, 10);
                if (*end) {
                    std::fprintf(stderr, "quelt %s: --seed takes a number\n", command);
                    return false;
                }
                out.seedGiven = true;
            }
        } else if (a == "--fast") {
            out.fast = true;
        } else {
            rest.push_back(a);
        }
    }
    args = rest;
    return true;
}

Headless::Headless(const GlobalOptions& global, const HeadlessOptions& options)
    : op(global.yes), global_(global), options_(options) {}

bool Headless::start(const char* command) {
    std::string error;
    if (!startProgram(global_.home, op, context, error)) {
        std::fprintf(stderr, "quelt %s: %s\n", command, error.c_str());
        return false;
    }
    const std::string device = global_.device.empty() ? "sim" : global_.device;
    if (device != "sim") {
        std::fprintf(stderr,
                     "quelt %s: the device %s is not available to the command line yet; use --device sim\n",
                     command, device.c_str());
        return false;
    }
    sim::Scenario scenario;
    if (!sim::resolveScenario(options_.scenario, options_.seed, options_.seedGiven, scenario, error)) {
        std::fprintf(stderr, "quelt %s: %s\n", command, error.c_str());
        return false;
    }
    if (options_.fast) {
        auto fake = std::make_unique<FakeClock>(0);
        fake_ = fake.get();
        clock_ = std::move(fake);
    } else {
        clock_ = std::make_unique<SteadyClock>();
    }
    FakeClock* fake = fake_;
    device_ = std::make_unique<sim::SimDevice>(scenario, *clock_, [fake](Millis ms) {
        if (fake)
            fake->advance(ms);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    acq = std::make_unique<Acquisition>(context, *clock_);
    pump_ = std::make_unique<DevicePump>(*device_, *acq, &acq->counters, &acq->linkStatus);
    if (!options_.capture.empty() && !pump_->captureTo(options_.capture)) {
        std::fprintf(stderr, "quelt %s: cannot write the capture %s\n", command, options_.capture.c_str());
        return false;
    }
    acq->writeCommand = [this](const CommandFrame& f) { return pump_->write(f); };
    acq->onMessage = [command](const std::string& text) {
        std::fprintf(stderr, "quelt %s: %s\n", command, text.c_str());
    };
    if (!pump_->open()) {
        std::fprintf(stderr, "quelt %s: Not hardware detected. %s\n", command, pump_->error().c_str());
        return false;
    }
    acq->panel.start(clock_->now());
    return true;
}

bool Headless::run(Millis ms) {
    constexpr Millis kStep = 10;
    const Millis end = clock_->now() + ms;
    while (clock_->now() < end) {
        if (fake_)
            fake_->advance(kStep);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(kStep));
        if (!pump_->pump()) return false;
        acq->linkFlags.dataFlowing = true;
        acq->tick(clock_->now());
    }
    return true;
}

LiveLine liveLine(Headless& h, Millis start) {
    LiveLine l;
    l.t = (h.now() - start) / 1000.0;
    l.values = h.acq->live.snapshot();
    l.gammaRate = l.values.gamma;
    l.valid = h.acq->counters.fullDecoded.load();
    l.error = h.acq->counters.fullReplaced.load();
    l.linkStatus = h.acq->linkStatus.load();
    // While full data frames stream the panel keeps its last text; the field check shows the sonde's
    // own status byte of the latest frame instead.
    l.status = l.linkStatus < 16 ? h.acq->panel.view().statusText : sondeStatusText(l.values.commStatus).text;
    return l;
}

int powerUp(Headless& h, const char* command, bool quiet) {
    Millis waited = 0;
    while (h.acq->linkStatus.load() == 0 && waited < 10000) {
        if (!h.run(100)) break;
        waited += 100;
    }
    if (h.acq->linkStatus.load() == 0) {
        std::fprintf(stderr, "quelt %s: Not hardware detected.\n", command);
        return kExitNoDevice;
    }
    h.acq->panel.pressPower(h.now());
    int lastStep = -1;
    for (int i = 0; i < 600; ++i) {
        if (!h.run(100)) return kExitFailure;
        int step = h.acq->panel.powerUpStep();
        if (step != lastStep && !quiet)
            std::fprintf(stderr, "quelt %s: power-up step %d: %s\n", command, step,
                         h.acq->panel.view().statusText.c_str());
        lastStep = step;
        if (!h.acq->panel.powered()) {
            std::fprintf(stderr, "quelt %s: %s\n", command, h.acq->panel.view().statusText.c_str());
            return kExitUsage;
        }
        if (step == ProbePanel::kReady && h.acq->linkStatus.load() == kLinkFullData) return kExitOk;
    }
    std::fprintf(stderr, "quelt %s: the sonde did not become ready: %s\n", command,
                 h.acq->panel.view().statusText.c_str());
    return kExitUsage;
}

void powerDown(Headless& h, const char* command) {
    h.run(400);  // past the Power button's lock-out
    h.acq->panel.pressPower(h.now());
    for (int i = 0; i < 100 && h.acq->panel.powerDownRunning(); ++i)
        h.run(100);
    std::fprintf(stderr, "quelt %s: sonde switched off\n", command);
}

}  // namespace quelt::cli
