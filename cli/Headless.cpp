#include "cli/Headless.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "link/DeviceFactory.h"
#include "link/LoggerId.h"
#include "stream/LinkWiring.h"

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

void HeadlessLinkEvents::statusText(int part, const std::string& text) {
    if (part != kPartLink) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (text == linkText_) return;
    linkText_ = text;
    // The dots cycle of the watcher is left out: it changes four times a second.
    if (!quiet && text.rfind("Checking USB", 0) != 0)
        std::fprintf(stderr, "quelt %s: %s\n", command_.c_str(), text.c_str());
}

void HeadlessLinkEvents::refreshDataView(int code) {
    if (code == kRefreshValues) lost = true;
}

void HeadlessLinkEvents::deviceIdentified(const std::string& description, const std::string& serial) {
    ++identified;
    lost = false;
    if (!quiet)
        std::fprintf(stderr, "quelt %s: %s %s found\n", command_.c_str(), description.c_str(),
                     serial.c_str());
}

std::string HeadlessLinkEvents::linkText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return linkText_;
}

Headless::Headless(const GlobalOptions& global, const HeadlessOptions& options)
    : op(global.yes), global_(global), options_(options) {}

Headless::~Headless() {
    stop();
}

void Headless::stop() {
    if (usb_) usb_->Shutdown();
}

bool Headless::openDevice(const char* command, std::uint16_t productId) {
    DeviceChoice choice;
    choice.device = global_.device;
    choice.scenario = options_.scenario;
    choice.seed = options_.seed;
    choice.seedGiven = options_.seedGiven;
    if (options_.fast && !choice.simulated()) {
        std::fprintf(stderr, "quelt %s: --fast runs the simulated logger only (--device sim)\n", command);
        startFailure = kExitUsage;
        return false;
    }
    FakeClock* fake = fake_;
    std::string error;
    device_ = makeDevice(choice, *clock_, context.settings, productId, error, [fake](Millis ms) {
        if (fake)
            fake->advance(ms);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    if (!device_) {
        std::fprintf(stderr, "quelt %s: %s\n", command, error.c_str());
        startFailure = kExitUsage;
        return false;
    }
    if (simulated())
        std::fprintf(stderr, "quelt %s: simulated logger (--device sim): no real logger is used\n", command);
    return true;
}

bool Headless::simulated() const {
    return device_ && isSimulated(*device_);
}

bool Headless::start(const char* command) {
    command_ = command;
    if (!startCommand(command, global_.home, op, context)) return false;
    if (options_.fast) {
        auto fake = std::make_unique<FakeClock>(0);
        fake_ = fake.get();
        clock_ = std::move(fake);
    } else {
        clock_ = std::make_unique<SteadyClock>();
    }
    const std::uint16_t productId =
        loggerProductId(context.preferences ? context.preferences->File() : std::string());
    if (!openDevice(command, productId)) return false;
    acq = std::make_unique<Acquisition>(context, *clock_);
    acq->onMessage = [command](const std::string& text) {
        std::fprintf(stderr, "quelt %s: %s\n", command, text.c_str());
    };
    if (options_.fast) {
        pump_ = std::make_unique<DevicePump>(*device_, *acq, &acq->counters, &acq->linkStatus);
        pump_->cutter().setDecimate(&acq->linkFlags.decimate);
        if (!options_.capture.empty() && !pump_->captureTo(options_.capture)) {
            std::fprintf(stderr, "quelt %s: cannot write the capture %s\n", command,
                         options_.capture.c_str());
            return false;
        }
        acq->writeCommand = [this](const CommandFrame& f) { return pump_->write(f); };
        if (!pump_->open()) {
            std::fprintf(stderr, "quelt %s: Not hardware detected. %s\n", command, pump_->error().c_str());
            return false;
        }
    } else {
        // The live pipeline: the link's threads feed the acquisition engine, which shares the link's
        // counters, status and flags, and the engine's commands go out through the link's senders.
        sonde_ = std::make_unique<DatabaseSondeInfo>(*context.sondes);
        events_ = std::make_unique<HeadlessLinkEvents>(command);
        LinkOptions lo;
        lo.loggerProductId = productId;
        lo.capturePath = options_.capture;
        usb_ = makeEngineLink(*device_, *acq, *sonde_, *events_, op, beeper_, acq.get(), lo);
        if (!usb_->Start()) {
            std::fprintf(stderr, "quelt %s: Not hardware detected. %s\n", command,
                         usb_->linkStatusText().c_str());
            return false;
        }
    }
    acq->panel.start(clock_->now());
    return true;
}

void Headless::applyLinkRequests() {
    if (!events_) return;
    events_->powered = acq->panel.powered();
    events_->depth = acq->live.snapshot().depth;
    // The link stops the recording and switches the sonde off when it gives the logger up.
    for (int n = events_->stops.load(); stopsSeen_ < n; ++stopsSeen_)
        if (acq->modes.recording) acq->stopRecording(op);
    for (int n = events_->powerPresses.load(); powerPressesSeen_ < n; ++powerPressesSeen_)
        if (acq->panel.powered()) acq->panel.pressPower(clock_->now());
}

bool Headless::loggerAnswering() const {
    const int status = acq->linkStatus.load();
    return status == kLinkLogger || status == kLinkStatusFrame || status == kLinkFullData;
}

bool Headless::run(Millis ms) {
    constexpr Millis kStep = 10;
    const Millis end = clock_->now() + ms;
    while (clock_->now() < end) {
        if (fake_)
            fake_->advance(kStep);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(kStep));
        if (pump_) {
            if (!pump_->pump()) return false;
            acq->linkFlags.dataFlowing = true;
        } else {
            applyLinkRequests();
            if (events_->lost) return false;
        }
        acq->tick(clock_->now());
    }
    return true;
}

LiveLine liveLine(Headless& h, Millis start) {
    LiveLine l;
    l.t = (h.now() - start) / 1000.0;
    l.values = h.acq->live.snapshot();
    l.gammaRate = static_cast<int>(l.values.gammaRate);
    if (h.simulated()) l.device = kSimDevice;
    l.valid = h.acq->counters.fullDecoded.load();
    l.error = h.acq->counters.fullReplaced.load();
    l.linkStatus = h.acq->linkStatus.load();
    // While full data frames stream the panel keeps its last text; the field check shows the sonde's
    // own status byte of the latest frame instead.
    l.status = l.linkStatus < 16 ? h.acq->panel.view().statusText : sondeStatusText(l.values.commStatus).text;
    // An alarm that lasts is what the operator must see.
    if (const std::string alarm = h.acq->activeAlarmText(); !alarm.empty()) l.status = alarm;
    return l;
}

int powerUp(Headless& h, const char* command, bool quiet) {
    // The logger is found when it answers; the watcher gives no device in its first seconds: none is there.
    Millis waited = 0;
    while (!h.loggerAnswering() && waited < 10000) {
        if (!h.run(100)) break;
        waited += 100;
        if (h.threaded() && waited >= 3000 && !h.acq->linkFlags.devicePresent) break;
    }
    if (!h.loggerAnswering()) {
        std::string why = h.link() ? h.link()->linkStatusText() : std::string();
        if (why.rfind("Checking USB", 0) == 0) why.clear();
        std::fprintf(stderr, "quelt %s: Not hardware detected.%s%s\n", command, why.empty() ? "" : " ",
                     why.c_str());
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
            if (!h.acq->panel.refusal().empty())
                std::fprintf(stderr, "quelt %s: refused at %s\n", command, h.acq->panel.refusal().c_str());
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
    // A panel that already shows the sonde off (the logger lost power) would take a press for power-on.
    if (h.acq->panel.powered()) h.acq->panel.pressPower(h.now());
    for (int i = 0; i < 100 && h.acq->panel.powerDownRunning(); ++i)
        h.run(100);
    std::fprintf(stderr, "quelt %s: sonde switched off\n", command);
}

}  // namespace quelt::cli
