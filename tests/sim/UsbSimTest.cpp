// The simulated logger through the link and its threads, in real time: identification, the read-back of
// command 0x01, a pulled cable seen as a lost link and its return as a new identification.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "config/ProgramContext.h"
#include "link/Usb.h"
#include "sim/SimDevice.h"
#include "stream/Acquisition.h"

namespace quelt::sim {
namespace {

struct Events : LinkEvents {
    mutable std::mutex m;
    std::vector<std::string> packetTexts, serials;
    std::atomic<int> lost{0};
    void statusText(int part, const std::string& text) override {
        std::lock_guard<std::mutex> l(m);
        if (part == kPartPacket) packetTexts.push_back(text);
    }
    void refreshDataView(int code) override {
        if (code == kRefreshValues) ++lost;
    }
    void deviceIdentified(const std::string&, const std::string& serial) override {
        std::lock_guard<std::mutex> l(m);
        serials.push_back(serial);
    }
    std::vector<std::string> ids() const {
        std::lock_guard<std::mutex> l(m);
        return serials;
    }
    std::string lastPacket() const {
        std::lock_guard<std::mutex> l(m);
        return packetTexts.empty() ? std::string() : packetTexts.back();
    }
};

// Keeps the last logger frame in the 20-byte layout.
struct LoggerSink : FrameSink {
    std::mutex m;
    std::vector<std::uint8_t> last;
    std::atomic<int> loggerFrames{0};
    void onFrame(const std::uint8_t* f, std::size_t n, std::uint8_t, FrameVia) override {
        if (n != kLogger20Length) return;
        std::lock_guard<std::mutex> l(m);
        last.assign(f, f + n);
        ++loggerFrames;
    }
    std::vector<std::uint8_t> latest() {
        std::lock_guard<std::mutex> l(m);
        return last;
    }
};

template <class F>
bool eventually(F f, int ms = 8000) {
    for (int i = 0; i < ms / 5 && !f(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return f();
}

struct SimLinkRig {
    SteadyClock clock;
    Scenario scenario;
    SimDevice device{scenario, clock};
    Settings settings;
    FixedSondeInfo sonde;
    Events events;
    ScriptedOperator op;
    SilentBeeper beeper;
    LoggerSink sink;
    LinkOptions options;
    SimLinkRig() {
        options.watchPeriodMs = 20;
        options.identifySettleMs = 20;
        options.readerStartSettleMs = 20;
    }
};

}  // namespace

TEST(UsbSim, IdentifiesTheSimulatedLoggerAndItReadsCommandOneBack) {
    SimLinkRig rig;
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, &rig.sink, rig.options);
    ASSERT_TRUE(usb.Start());
    ASSERT_TRUE(eventually([&] { return !rig.events.ids().empty(); }));
    EXPECT_EQ(rig.events.ids().front(), "SIM-00001234");
    EXPECT_TRUE(std::regex_match(usb.deviceSerial(), std::regex("SIM-[0-9]{8}")));
    // Logger frames arrive and, once command 0x01 is taken, read it back: no re-send is asked for.
    ASSERT_TRUE(eventually([&] {
        auto f = rig.sink.latest();
        return usb.flags().loggerInitialised && !f.empty() && f[logger::kPower] == rig.settings.Power;
    }));
    EXPECT_EQ(usb.linkStatus(), kLinkLogger);
    EXPECT_TRUE(usb.checkLoggerReadBack(rig.sink.latest().data()));
    usb.Shutdown();
}

TEST(UsbSim, PulledCableIsALostLinkAndItsReturnANewIdentification) {
    SimLinkRig rig;
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, &rig.sink, rig.options);
    ASSERT_TRUE(usb.Start());
    ASSERT_TRUE(eventually([&] { return rig.sink.loggerFrames.load() >= 2; }));
    ASSERT_EQ(rig.events.ids().size(), 1u);

    rig.device.pullCable();
    ASSERT_TRUE(eventually([&] { return rig.events.lost.load() == 1; }));
    EXPECT_TRUE(eventually([&] { return rig.events.lastPacket() == "Not hardware detected."; }));
    EXPECT_FALSE(usb.flags().readerRunning);
    const int framesBefore = rig.sink.loggerFrames.load();

    rig.device.plugCableBack();
    ASSERT_TRUE(eventually([&] { return rig.events.ids().size() == 2; }));
    EXPECT_EQ(rig.events.ids().back(), "SIM-00001234");
    EXPECT_TRUE(eventually([&] { return rig.sink.loggerFrames.load() > framesBefore; }));
    EXPECT_EQ(rig.events.lost.load(), 1);
    usb.Shutdown();
    EXPECT_FALSE(usb.flags().readerAlive);
}

// The live pipeline as the command line and the desktop run it: the link's threads feed the acquisition
// engine, which shares the link's counters, status and flags, while this thread ticks the probe panel and
// presses Power; its commands go out through the link's senders.
TEST(UsbSim, LivePipelinePowersTheSondeUpThroughTheLink) {
    namespace fs = std::filesystem;
    const fs::path home = fs::temp_directory_path() / ("quelt-usbsim-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ScriptedOperator op;
    ProgramContext context;
    std::string error;
    ASSERT_TRUE(startProgram((home / "h").string(), op, context, error)) << error;
    SteadyClock clock;
    Scenario scenario;
    SimDevice device(scenario, clock);
    Acquisition acq(context, clock);
    DatabaseSondeInfo sonde(*context.sondes);
    Events events;
    SilentBeeper beeper;
    LinkOptions options;
    options.watchPeriodMs = 20;
    options.identifySettleMs = 20;
    options.readerStartSettleMs = 20;
    options.counters = &acq.counters;
    options.linkStatus = &acq.linkStatus;
    options.flags = &acq.linkFlags;
    {
        CUSB usb(device, context.settings, sonde, events, op, beeper, &acq, options);
        acq.writeCommand = [&](const CommandFrame& f) { return usb.sendCommand(f); };
        std::atomic<int> images{0};
        acq.onImageLine = [&](std::uint8_t, int) { ++images; };
        acq.panel.start(clock.now());
        ASSERT_TRUE(usb.Start());
        auto step = [&](int ms) {
            for (int i = 0; i < ms / 10; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                acq.tick(clock.now());
            }
        };
        for (int i = 0; i < 300 && acq.linkStatus.load() != kLinkLogger; ++i)
            step(10);
        ASSERT_EQ(acq.linkStatus.load(), kLinkLogger);
        step(300);
        acq.panel.pressPower(clock.now());
        for (int i = 0; i < 200 && !(acq.panel.powerUpStep() == ProbePanel::kReady &&
                                     acq.linkStatus.load() == kLinkFullData && images.load() >= 3);
             ++i)
            step(100);
        EXPECT_TRUE(acq.panel.powered());
        EXPECT_EQ(acq.linkStatus.load(), kLinkFullData);
        EXPECT_GE(acq.counters.fullDecoded.load(), 3u);
        EXPECT_GE(images.load(), 3);
        EXPECT_EQ(usb.counters().dispatched.load(), acq.counters.dispatched.load());  // one set of counters
        usb.Shutdown();
        acq.writeCommand = nullptr;
    }
    fs::remove_all(home);
}

}  // namespace quelt::sim
