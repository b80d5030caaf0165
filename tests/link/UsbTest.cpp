#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "link/LoggerId.h"
#include "link/Usb.h"
#include "platform/ScriptedDevice.h"

using namespace quelt;

namespace {

struct RecordingEvents : LinkEvents {
    mutable std::mutex m;
    std::vector<std::pair<int, std::string>> texts;
    int stops = 0, powerPresses = 0;
    bool powered = false;
    double depth = 12.5;
    void statusText(int part, const std::string& text) override {
        std::lock_guard<std::mutex> l(m);
        texts.emplace_back(part, text);
    }
    bool sondePowered() override { return powered; }
    void pressStop() override {
        std::lock_guard<std::mutex> l(m);
        ++stops;
    }
    void pressPowerButton() override {
        std::lock_guard<std::mutex> l(m);
        ++powerPresses;
    }
    double lastDepth() override { return depth; }
    std::vector<std::string> part(int p) const {
        std::lock_guard<std::mutex> l(m);
        std::vector<std::string> out;
        for (auto& t : texts)
            if (t.first == p) out.push_back(t.second);
        return out;
    }
};

struct CountingSink : FrameSink {
    std::atomic<int> frames{0};
    void onFrame(const std::uint8_t*, std::size_t, std::uint8_t, FrameVia) override { ++frames; }
};

struct Rig {
    ScriptedDevice device;
    Settings settings;
    FixedSondeInfo sonde;
    RecordingEvents events;
    ScriptedOperator op;
    RecordingBeeper beeper;
    CountingSink sink;
    LinkOptions options;
    Rig() {
        options.watchPeriodMs = 2;
        options.identifySettleMs = 50;  // the sender of command 0x00 is done before command 0x01 goes
        options.readerStartSettleMs = 1;
        options.shutdownWaitMs = 2000;
        device.setReadWaitCap(2);
    }
};

template <class F>
bool eventually(F f) {
    for (int i = 0; i < 2500 && !f(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return f();
}

}  // namespace

TEST(Usb, SenderBusyLosesTheCommand) {
    Rig rig;
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    usb.flags().usbBound = true;
    usb.flags().senderBusy = true;
    EXPECT_EQ(usb.Thread_USB_Send(buildF3(25, 15)), kSendBusy);
    EXPECT_TRUE(rig.device.writes().empty());
    usb.flags().senderBusy = false;
    EXPECT_EQ(usb.Thread_USB_Send(buildF3(25, 15)), kSendDone);
    ASSERT_EQ(rig.device.writes().size(), 1u);
    EXPECT_EQ(rig.device.writes()[0], (std::vector<std::uint8_t>{0x03, 0x19, 0x0F, 0x2B}));
    EXPECT_FALSE(usb.flags().senderBusy);
}

TEST(Usb, WithoutLoggerDotsCycleAndNoHardware) {
    Rig rig;
    rig.device.setPresent(false);
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
    usb.flags().linkWatchRunning = true;
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(usb.watchStep());
    auto link = rig.events.part(kPartLink);
    ASSERT_EQ(link.size(), 11u);
    EXPECT_EQ(link[0], "Checking USB Link .");
    EXPECT_EQ(link[8], "Checking USB Link .........");
    EXPECT_EQ(link[9], "Checking USB Link .");
    EXPECT_EQ(link[10], "Checking USB Link ..");
    auto packet = rig.events.part(kPartPacket);
    ASSERT_FALSE(packet.empty());
    EXPECT_EQ(packet.back(), "Not hardware detected.");
    EXPECT_EQ(usb.linkStatus(), kLinkIdentified);
    EXPECT_TRUE(rig.op.messages().empty());
}

TEST(Usb, ExactlyOneIoErrorAfter35Failures) {
    Rig rig;
    rig.device.setPresent(false);
    rig.events.powered = true;
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
    usb.flags().linkWatchRunning = true;
    usb.flags().loggerInitialised = true;
    for (int i = 0; i < 34; ++i)
        usb.watchStep();
    EXPECT_TRUE(rig.op.messages().empty());
    for (int i = 0; i < 30; ++i)
        usb.watchStep();
    ASSERT_EQ(rig.op.messages().size(), 1u);
    EXPECT_EQ(rig.op.messages()[0], "I/O USB error.\nApplication stopped at 12.50m.");
    EXPECT_EQ(rig.events.stops, 1);
    EXPECT_EQ(rig.events.powerPresses, 1);
    EXPECT_FALSE(usb.flags().loggerInitialised);
}

TEST(Usb, DepthTextOfTheIoErrorMessage) {
    struct {
        double depth;
        int unit;
        const char* text;
    } cases[] = {{std::nan(""), 0, " --- m."}, {200000, 0, " --- m."}, {10, 1, "32.81feet."}};
    for (auto c : cases) {
        Rig rig;
        rig.device.setPresent(false);
        rig.events.depth = c.depth;
        rig.settings.ShownDepthUnit = c.unit;
        CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
        usb.flags().linkWatchRunning = true;
        usb.flags().loggerInitialised = true;
        for (int i = 0; i < 35; ++i)
            usb.watchStep();
        ASSERT_EQ(rig.op.messages().size(), 1u);
        EXPECT_EQ(rig.op.messages()[0], std::string("I/O USB error.\nApplication stopped at ") + c.text);
    }
}

TEST(Usb, UnknownDeviceAndPermission) {
    Rig rig;
    DeviceEeprom other;
    other.vendorId = 0x0403;
    other.productId = 0x6010;
    rig.device.setEeprom(other);
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
    EXPECT_EQ(usb.Identify(), kDevNotFound);
    EXPECT_EQ(usb.linkStatusText(), "USB unknown");
    rig.device.setOpenStatus(kDevPermissionDenied);
    rig.device.setHint("No permission: install the udev rule");
    usb.flags().linkWatchRunning = true;
    usb.watchStep();
    EXPECT_EQ(rig.events.part(kPartLink).back(), "No permission: install the udev rule");
    // A backend without its own hint: the text still names the rule, every pass, not only once.
    rig.device.setHint("");
    usb.watchStep();
    usb.watchStep();
    auto texts = rig.events.part(kPartLink);
    EXPECT_NE(texts.back().find(kUdevRuleName), std::string::npos);
    EXPECT_EQ(texts[texts.size() - 2], texts.back());
}

TEST(Usb, ProductIdsAcceptedAtIdentification) {
    struct {
        std::uint16_t vendor, product, setting;
        bool found;
    } cases[] = {
        {kFtdiVendorId, kLoggerProductId, kLoggerProductId, true},
        {kFtdiVendorId, kBridgeDefaultProductId, kLoggerProductId, true},
        {kFtdiVendorId, 0x1234, 0x1234, true},             // the setting's id
        {kFtdiVendorId, kLoggerProductId, 0x1234, false},  // the setting replaces the built-in id
        {0x0404, kLoggerProductId, kLoggerProductId, false},
    };
    for (auto k : cases) {
        Rig rig;
        DeviceEeprom e;
        e.vendorId = k.vendor;
        e.productId = k.product;
        e.serial = "QR-00004711";
        rig.device.setEeprom(e);
        rig.options.loggerProductId = k.setting;
        CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
        EXPECT_EQ(usb.Identify() == kDevOk, k.found) << std::hex << k.product << " " << k.setting;
        EXPECT_EQ(usb.deviceSerial(), k.found ? "QR-00004711" : "QR-00000000");
    }
}

TEST(Usb, ProductIdSetting) {
    struct {
        const char* text;
        std::optional<std::uint16_t> id;
    } cases[] = {{"d7a0", 0xD7A0},     {"0xA5E1", 0xA5E1},      {"6001", 0x6001},    {"", std::nullopt},
                 {"0x", std::nullopt}, {"12345", std::nullopt}, {"0", std::nullopt}, {"g001", std::nullopt}};
    for (auto k : cases)
        EXPECT_EQ(parseProductId(k.text), k.id) << k.text;

    auto dir = std::filesystem::temp_directory_path() / ("quelt_pid_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto cfg = (dir / "Zorak.cfg").string();
    EXPECT_EQ(loggerProductId(cfg), kLoggerProductId);  // no file
    std::ofstream(cfg) << "[QueltLogger]\r\nLoggerProductId=0x1234\r\n";
    EXPECT_EQ(loggerProductId(cfg), 0x1234);
    std::ofstream(cfg) << "[QueltLogger]\r\nLoggerProductId=none\r\n";
    EXPECT_EQ(loggerProductId(cfg), kLoggerProductId);
    std::filesystem::remove_all(dir);
}

// The rule the build writes grants the logger's ids and the default id only with the product string.
TEST(Usb, UdevRuleIsNarrow) {
    auto rule = std::filesystem::path(QUELT_BIN).parent_path() / "udev" / kUdevRuleName;
    std::ifstream in(rule);
    ASSERT_TRUE(in) << rule;
    char vendor[5], logger[5], generic[5];
    std::snprintf(vendor, sizeof vendor, "%04x", kFtdiVendorId);
    std::snprintf(logger, sizeof logger, "%04x", kLoggerProductId);
    std::snprintf(generic, sizeof generic, "%04x", kBridgeDefaultProductId);
    int grants = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        ++grants;
        EXPECT_NE(line.find(std::string("{idVendor}==\"") + vendor + "\""), std::string::npos) << line;
        bool own = line.find(std::string("{idProduct}==\"") + logger + "\"") != std::string::npos;
        bool byDefault = line.find(std::string("{idProduct}==\"") + generic + "\"") != std::string::npos;
        EXPECT_TRUE(own != byDefault) << line;
        if (byDefault) {
            EXPECT_NE(line.find(std::string("{product}==\"") + kLoggerProductString + "\""),
                      std::string::npos)
                << line;
        }
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
    }
    EXPECT_EQ(grants, 4);
}

TEST(Usb, ThreadsFindLoggerReadFramesAndRecoverFromLoss) {
    Rig rig;
    Settings& s = rig.settings;
    s.CableType = 1;
    CUSB usb(rig.device, s, rig.sonde, rig.events, rig.op, rig.beeper, &rig.sink, rig.options);
    std::vector<std::uint8_t> status(14, 0x01);
    for (int i = 0; i < 30; ++i)
        rig.device.push(buildUsbFrame(std::uint8_t(i), status.data(), status.size()));
    ASSERT_TRUE(usb.Start());
    // The reader's first pass purges what was queued before identification; feed frames after it runs.
    ASSERT_TRUE(eventually([&] { return usb.flags().loggerInitialised.load(); }));
    for (int i = 0; i < 30; ++i)
        rig.device.push(buildUsbFrame(std::uint8_t(i), status.data(), status.size()));
    ASSERT_TRUE(eventually([&] { return rig.sink.frames.load() >= 30; }));
    EXPECT_EQ(usb.linkStatus(), kLinkStatusFrame);
    ASSERT_TRUE(eventually([&] { return rig.device.writes().size() >= 2; }));
    auto writes = rig.device.writes();
    EXPECT_EQ(writes[0], (std::vector<std::uint8_t>{0x00, 0x30, 0x30}));
    EXPECT_EQ(writes[1][0], 0x01);
    EXPECT_EQ(rig.events.part(kPartPacket).back(), "Packet size 16 Bytes");

    rig.device.setPresent(false);  // the cable is pulled
    ASSERT_TRUE(eventually([&] { return !usb.flags().readerRunning.load(); }));
    EXPECT_TRUE(eventually([&] { return rig.events.part(kPartPacket).back() == "Not hardware detected."; }));
    rig.device.setPresent(true);  // and plugged back: the watcher finds it again
    ASSERT_TRUE(eventually([&] { return usb.flags().readerRunning.load(); }));
    usb.Shutdown();
    EXPECT_FALSE(usb.flags().readerAlive);
}

TEST(Usb, ReadBackMismatchResendsF1) {
    Rig rig;
    CUSB usb(rig.device, rig.settings, rig.sonde, rig.events, rig.op, rig.beeper, nullptr, rig.options);
    ASSERT_EQ(rig.device.openByIndex(0), kDevOk);
    usb.flags().usbBound = true;
    usb.sendF1();
    // The next sender finds the first one gone (one still finishing would make it return 444).
    ASSERT_TRUE(eventually([&] { return rig.device.writes().size() == 1 && !usb.flags().senderBusy; }));
    auto f1 = usb.lastF1();
    std::uint8_t logger[20] = {};
    std::memcpy(logger + 1, &f1.bytes[2], 5);
    EXPECT_TRUE(usb.checkLoggerReadBack(logger));
    logger[5] = 0;  // the logger lost its power byte
    EXPECT_FALSE(usb.checkLoggerReadBack(logger));
    EXPECT_TRUE(eventually([&] { return rig.device.writes().size() == 2; }));
    usb.Shutdown();
}
