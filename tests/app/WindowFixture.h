#pragma once
// The main window on a program folder of its own, a fake clock and a scripted operator, for the window
// tests, with a small log to replay.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/LiveSource.h"
#include "app/MainWindow.h"
#include "app/PowerDlg.h"
#include "config/ProgramContext.h"
#include "stream/DataFile.h"
#include "stream/LogFile.h"
#include "tests/support/QtApplication.h"

namespace windowtest {

namespace fs = std::filesystem;

inline QApplication& application() {
    return quelt::test::qtApplication();
}

// A program folder of its own, the window on a fake clock and a scripted operator.
class WindowTest : public ::testing::Test {
  protected:
    fs::path sandbox;
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;
    quelt::FakeClock clock{1000};
    quelt::app::NullLiveSource source;
    std::unique_ptr<quelt::app::MainWindow> window;
    std::unique_ptr<QTimer> modalCloser;  // closes the modal dialogs the commands open (replay start: "All")

    void SetUp() override {
        application();
        modalCloser = std::make_unique<QTimer>();
        QObject::connect(modalCloser.get(), &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        modalCloser->start(5);
        sandbox =
            fs::temp_directory_path() / ("quelt-app-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, context, error)) << error;
        context.settings.SplashScreenOff = true;
        window = std::make_unique<quelt::app::MainWindow>(context, op, source, clock);
        window->leaveDelayMs = 0;
        window->shutdownPauseMs = 0;
        window->show();  // the counters draw only while they are shown
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(sandbox);
    }

    // A small log named `name`: `lines` lines from 12.0 m down by `stepM`, `timeStepMs` apart, 180
    // samples a turn.
    std::string makeLog(int lines = 4, double stepM = 0.5, int timeStepMs = 100,
                        const std::string& name = "well") {
        std::string header = (sandbox / "h" / (name + ".HED")).string();
        context.headerIo->SetHeaderDefaults();
        EXPECT_TRUE(context.headerIo->WriteHeader(header));
        EXPECT_TRUE(quelt::MarkRecordingStart(header, 12.0, 0));
        quelt::LineLayout layout = quelt::layoutFromHeader(context.header);
        quelt::DataFileWriter w;
        EXPECT_TRUE(w.open((sandbox / "h" / (name + ".VIV")).string(), layout.lineSize));
        std::vector<std::uint8_t> frame(40 + 4 * 180 + 3, 0), line;
        frame[18] = 2;
        for (size_t i = 40; i + 3 < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>(i * 7);
        for (int i = 0; i < lines; ++i) {
            quelt::buildDataLine(frame, {12.0 + i * stepM, 0, i * timeStepMs, false}, layout, line);
            EXPECT_TRUE(w.appendLine(line, 0));
        }
        w.close();
        return header;
    }

    // Advances the clock until the replay draws its next line.
    bool nextLine() {
        for (int i = 0; i < 50; ++i) {
            clock.advance(20);
            if (window->replayTick(clock.now())) return true;
        }
        return false;
    }
    quelt::app::CPowerDlg& panel() { return *window->powerPanel(); }
};

inline std::vector<std::uint32_t> bufferCopy(quelt::CToolsBmp& picture) {
    std::lock_guard lock(picture.buffer().mutex);
    return picture.buffer().pixels;
}

}  // namespace windowtest
