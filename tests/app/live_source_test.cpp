// The desktop window on the real link threads with the simulated logger, in real time: found, powered
// up, frames into the picture, a recording made from the window and replayed.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/DeviceLiveSource.h"
#include "app/MainWindow.h"
#include "app/PowerDlg.h"
#include "config/ProgramContext.h"
#include "link/DeviceFactory.h"
#include "platform/LoggerBridge.h"
#include "sim/SimDevice.h"
#include "stream/LogFile.h"
#include "stream/LogPaths.h"
#include "tests/support/QtApplication.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/PictureView.h"

namespace fs = std::filesystem;

namespace {

QApplication& application() {
    return quelt::test::qtApplication();
}

std::string iniValue(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            std::string v = line.substr(key.size() + 1);
            if (!v.empty() && v.back() == '\r') v.pop_back();
            return v;
        }
    }
    return {};
}

// A program folder of its own for each test, started as the program starts.
class LiveSimulatedLogger : public ::testing::Test {
  protected:
    void SetUp() override {
        application();
        sandbox =
            fs::temp_directory_path() /
            ("quelt-live-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             "-" + std::to_string(::getpid()));
        fs::remove_all(sandbox);
        ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
        ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, context, error)) << error;
        context.settings.SplashScreenOff = true;
    }
    void TearDown() override { fs::remove_all(sandbox); }

    fs::path sandbox;
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;
    std::string error;
    quelt::SteadyClock clock;
};

}  // namespace

TEST_F(LiveSimulatedLogger, IsFoundPowersUpDrawsRecordsAndReplays) {
    // The dialogs of New log and Open and Play are left as they open (the recording mode, the header
    // editor, the replay start: "All").
    QTimer modalCloser;
    QObject::connect(&modalCloser, &QTimer::timeout, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    modalCloser.start(5);

    quelt::DeviceChoice choice;
    choice.device = "sim";
    // The winch moves at once, so a short recording has lines.
    choice.scenario = (sandbox / "moving.ini").string();
    {
        std::ofstream ini(choice.scenario);
        ini << "[Scenario]\nBase=clean\n[Winch]\nStartPause=0\nAcceleration=1\n";
    }
    const std::uint16_t productId = quelt::kLoggerProductId;
    auto device = quelt::makeDevice(choice, clock, context.settings, productId, error);
    ASSERT_TRUE(device) << error;
    quelt::app::DeviceLiveSource source(std::move(device), productId);
    {
        quelt::app::MainWindow window(context, op, source, clock);
        window.leaveDelayMs = 0;
        auto& panel = window.probePanel();

        // Found: logger frames flow and the status bar says so.
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.linkStatus().load() >= quelt::kLinkLogger; }, 10000));
        QTest::qWait(300);
        window.mainTick(clock.now());
        EXPECT_EQ(window.statusPart(1), "Simulated logger");
        EXPECT_EQ(window.statusPart(2), "Packet size 20 Bytes");
        EXPECT_TRUE(window.powerPanel()->power->isEnabled());

        // Power: the sequence runs to a ready sonde and full data frames reach the picture.
        window.onPower();
        ASSERT_TRUE(panel.powered());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return panel.powerUpStep() == quelt::ProbePanel::kReady &&
                       window.linkStatus().load() == quelt::kLinkFullData &&
                       window.acquisition().counters.fullDecoded.load() >= 5;
            },
            15000))
            << panel.view().statusText;
        EXPECT_EQ(panel.view().statusText, "Status OK");
        // The device cannot change under a powered sonde.
        window.mainTick(clock.now());
        EXPECT_FALSE(window.action("simLogger")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.pictureView()->paintsReceived() > 0; }, 3000));
        const QImage shown = window.pictureView()->shownImage();
        EXPECT_EQ(shown.width(), 764);
        EXPECT_FALSE(window.depthDisplay()->shown().depth.empty());
        EXPECT_TRUE(op.messages().empty()) << op.messages().front();

        // With the sonde on, leaving is refused.
        EXPECT_FALSE(window.leavingAllowed());
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0], "Sonde must be switched off before leaving program.");
        op.clear();

        // A recording from the window: lines go into the data file, Stop completes the header.
        op.answerPath((sandbox / "h" / "live").string());
        window.NewLog();
        ASSERT_TRUE(window.modeFlags().recording);
        // The log is named with the orientation suffix.
        const fs::path header =
            quelt::newLogHeaderPath((sandbox / "h" / "live").string(), context.settings.PicOriented);
        EXPECT_EQ(window.statusPart(0), QString::fromStdString("Data file : " + header.filename().string()));
        QTest::qWait(2500);
        window.mainTick(0);
        const QLabel* figures = window.findChild<QLabel*>("recordingFigures");
        ASSERT_NE(figures, nullptr);
        EXPECT_FALSE(figures->isHidden());
        EXPECT_TRUE(figures->text().contains(" lines, ")) << figures->text().toStdString();
        window.onStop();
        EXPECT_FALSE(window.modeFlags().recording);
        EXPECT_TRUE(figures->isHidden());
        const fs::path data = quelt::dataPathForHeader(header.string());
        // Stop shows the recording's figures and the log's paths in one window.
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0].rfind("Recording stopped: ", 0), 0u) << op.messages()[0];
        EXPECT_NE(op.messages()[0].find(" replaced, 0 gaps.\nHeader: " + header.string() +
                                        "\nData file: " + data.string()),
                  std::string::npos)
            << op.messages()[0];
        op.clear();
        ASSERT_TRUE(fs::exists(data));
        EXPECT_GT(fs::file_size(data), 0u);
        EXPECT_NE(iniValue(header, "EndDepth"), "CORRUPT");
        EXPECT_NE(iniValue(header, "EndDepth"), "");

        // Off again; then the log replays through "Open and Play".
        QTest::qWait(400);
        window.onPower();
        EXPECT_FALSE(panel.powered());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.powerDownRunning(); }, 15000));
        op.answerPath(header.string());
        window.OpenAndPlay();
        EXPECT_TRUE(op.messages().empty()) << op.messages().front();
        window.onPlay();
        ASSERT_TRUE(window.modeFlags().playing);
        EXPECT_EQ(window.statusPart(0), QString::fromStdString("Data file : " + data.filename().string()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.transport().replayPosition() > 0; }, 3000));
        window.onStop();
        EXPECT_TRUE(window.leavingAllowed() || window.linkStatus().load() > 16);
    }
    source.stop();
}

TEST_F(LiveSimulatedLogger, APulledCableEndsInOneMessageAndAPoweredOffPanel) {
    quelt::DeviceChoice choice;
    choice.device = "sim";
    const std::uint16_t productId = quelt::kLoggerProductId;
    auto device = quelt::makeDevice(choice, clock, context.settings, productId, error);
    ASSERT_TRUE(device) << error;
    auto* sim = static_cast<quelt::sim::SimDevice*>(device.get());
    quelt::app::DeviceLiveSource source(std::move(device), productId);
    {
        quelt::app::MainWindow window(context, op, source, clock);
        window.leaveDelayMs = 0;
        window.shutdownPauseMs = 0;
        auto& panel = window.probePanel();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.linkStatus().load() >= quelt::kLinkLogger; }, 10000));
        window.onPower();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return window.linkStatus().load() == quelt::kLinkFullData; }, 15000));

        sim->pullCable();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !op.messages().empty(); }, 20000));
        QTest::qWait(1000);
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0].rfind("I/O USB error.\nApplication stopped at ", 0), 0u)
            << op.messages()[0];
        EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.powered(); }, 2000));
        window.mainTick(clock.now());
        EXPECT_EQ(window.statusPart(2), "Not hardware detected.");
        EXPECT_TRUE(window.leavingAllowed());
    }
    source.stop();
}

// Without a choice the program looks for the real logger only: with none plugged in it behaves as the
// system does without hardware. The "Simulated logger" entry switches to the simulator at once, which then
// never reads like a real logger; with the sonde off it sends logger frames only, so the depth can be set.
TEST_F(LiveSimulatedLogger, RunsOnlyWhenAskedAndSaysSo) {
    // The product id of no bridge on any bus: the test machine's own USB devices play no part.
    const std::uint16_t productId = 0xFFFE;
    const quelt::DeviceChoice none;
    auto device = quelt::makeDevice(none, clock, context.settings, productId, error);
    ASSERT_TRUE(device) << error;
    EXPECT_EQ(device->name(), "ftdi");
    quelt::app::DeviceLiveSource source(std::move(device), productId, [&](bool simulated, std::string& why) {
        quelt::DeviceChoice next;
        if (simulated) next.device = quelt::kSimDevice;
        return quelt::makeDevice(next, clock, context.settings, productId, why);
    });
    {
        quelt::app::MainWindow window(context, op, source, clock);
        window.leaveDelayMs = 0;
        window.shutdownPauseMs = 0;
        QAction* simulated = window.action("simLogger");
        ASSERT_NE(simulated, nullptr);
        EXPECT_FALSE(simulated->isChecked());
        EXPECT_FALSE(window.windowTitle().endsWith("[simulated logger]"));
        QTest::qWait(1500);
        window.mainTick(clock.now());
        EXPECT_LE(window.linkStatus().load(), quelt::kLinkIdentifying);
        EXPECT_EQ(window.statusPart(2), "Not hardware detected.");
        EXPECT_TRUE(source.loggerSerial().empty());

        simulated->trigger();
        EXPECT_TRUE(simulated->isChecked());
        EXPECT_TRUE(window.windowTitle().endsWith(" [simulated logger]"))
            << window.windowTitle().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.linkStatus().load() >= quelt::kLinkLogger; }, 10000));
        EXPECT_EQ(source.loggerSerial().rfind("SIM-", 0), 0u) << source.loggerSerial();
        // The sonde is off: logger frames only, over several of their periods.
        int highest = 0;
        for (int i = 0; i < 15; ++i) {
            QTest::qWait(100);
            highest = std::max(highest, window.linkStatus().load());
        }
        EXPECT_EQ(highest, quelt::kLinkLogger);
        window.mainTick(clock.now());
        EXPECT_EQ(window.statusPart(1), "Simulated logger");
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return window.depthDisplay()->setDepthButton()->isEnabled(); }, 1000));

        simulated->trigger();
        EXPECT_FALSE(simulated->isChecked());
        EXPECT_FALSE(window.windowTitle().endsWith("[simulated logger]"));
        QTest::qWait(1500);
        window.mainTick(clock.now());
        EXPECT_EQ(window.statusPart(2), "Not hardware detected.");
        EXPECT_TRUE(window.leavingAllowed());
    }
    source.stop();
}
