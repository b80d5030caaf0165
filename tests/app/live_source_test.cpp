// The desktop window on the real link threads with the simulated logger, in real time: found, powered
// up, frames into the picture, a recording made from the window and replayed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/DeviceLiveSource.h"
#include "app/MainWindow.h"
#include "app/PowerDlg.h"
#include "config/ProgramContext.h"
#include "sim/SimDevice.h"
#include "stream/LogFile.h"
#include "stream/LogPaths.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/PictureView.h"

namespace fs = std::filesystem;

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static auto* app = QApplication::instance() ? static_cast<QApplication*>(QApplication::instance())
                                                : new QApplication(argc, argv);
    return *app;
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

}  // namespace

TEST(LiveSimulatedLogger, IsFoundPowersUpDrawsRecordsAndReplays) {
    application();
    // The dialogs of New log and Open and Play are left as they open (the recording mode, the header
    // editor, the replay start: "All").
    QTimer modalCloser;
    QObject::connect(&modalCloser, &QTimer::timeout, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    modalCloser.start(5);
    const fs::path sandbox = fs::temp_directory_path() / ("quelt-live-" + std::to_string(::getpid()));
    fs::remove_all(sandbox);
    ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;
    std::string error;
    ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, context, error)) << error;
    context.settings.SplashScreenOff = true;

    quelt::SteadyClock clock;
    quelt::app::DeviceChoice choice;
    choice.device = "sim";
    // The winch moves at once, so a short recording has lines.
    choice.scenario = (sandbox / "moving.ini").string();
    {
        std::ofstream ini(choice.scenario);
        ini << "[Scenario]\nBase=clean\n[Winch]\nStartPause=0\nAcceleration=1\n";
    }
    std::uint16_t productId = 0;
    auto device = quelt::app::makeDevice(choice, clock, context, productId, error);
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
        EXPECT_EQ(window.statusPart(1), "USB link connected");
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
    fs::remove_all(sandbox);
}

TEST(LiveSimulatedLogger, APulledCableEndsInOneMessageAndAPoweredOffPanel) {
    application();
    const fs::path sandbox = fs::temp_directory_path() / ("quelt-pulled-" + std::to_string(::getpid()));
    fs::remove_all(sandbox);
    ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;
    std::string error;
    ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, context, error)) << error;
    context.settings.SplashScreenOff = true;
    quelt::SteadyClock clock;
    quelt::app::DeviceChoice choice;
    choice.device = "sim";
    std::uint16_t productId = 0;
    auto device = quelt::app::makeDevice(choice, clock, context, productId, error);
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
    fs::remove_all(sandbox);
}
