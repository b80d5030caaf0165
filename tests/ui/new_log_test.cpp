#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>

#include "UiFixture.h"
#include "app/LiveSource.h"
#include "app/MainWindow.h"
#include "config/ProgramContext.h"
#include "export/LogFixture.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/LogFile.h"
#include "ui/header/HeaderDlg.h"
#include "ui/setup/PRecordingMode.h"
#include "ui/setup/PSetDepthPlayer.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

class NewLogFromTheWindow : public uitest::DialogTest {
  protected:
    FakeClock clock{1000};
    app::NullLiveSource source;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<QTimer> answer;

    void SetUp() override {
        DialogTest::SetUp();
        if (HasFatalFailure()) return;
        context.settings.SplashScreenOff = true;
        window = std::make_unique<app::MainWindow>(context, op, source, clock);
        window->leaveDelayMs = 0;
    }
    void TearDown() override {
        window.reset();
        DialogTest::TearDown();
    }
    // Answers each modal dialog with `act` once it is shown.
    template <class F>
    void answerDialogs(F act) {
        answer = std::make_unique<QTimer>();
        QObject::connect(answer.get(), &QTimer::timeout, [act] {
            if (QWidget* w = QApplication::activeModalWidget()) act(w);
        });
        answer->start(5);
    }
};

}  // namespace

TEST_F(NewLogFromTheWindow, RecordingModeAndWellInformationEndUpInTheHeader) {
    window->linkStatus() = 255;
    window->live().update([](LiveValues& v) { v.depth = v.imageDepth = 23.5; });
    std::vector<std::string> shown;
    answerDialogs([&](QWidget* w) {
        if (auto* mode = qobject_cast<ui::CPRecordingMode*>(w)) {
            shown.push_back("mode");
            mode->uphole()->setChecked(true);
            mode->okButton()->click();
        } else if (auto* editor = qobject_cast<ui::CHeaderDlg*>(w)) {
            shown.push_back("header");
            editor->page(0)->box("Company")->setText("Torvanel Survey");
            editor->page(0)->box("Wellname")->setText("Borehole 7");
            editor->page(3)->box("RunNo1")->setText("4");
            editor->saveButton()->click();
        }
    });
    const fs::path hed = sandbox / "h" / "newrun.HED";
    op.answerPath(hed.string());
    window->NewLog();
    EXPECT_EQ(shown, (std::vector<std::string>{"mode", "header"}));
    EXPECT_EQ(window->shared().recordDirection.load(), 0);
    EXPECT_DOUBLE_EQ(window->shared().lastAcceptedDepth.load(), 23.5);
    window->onStop();
    const std::string text = quelt::testing::readText(hed);
    EXPECT_NE(text.find("Company=Torvanel Survey"), std::string::npos) << text;
    EXPECT_NE(text.find("Wellname=Borehole 7"), std::string::npos);
    EXPECT_NE(text.find("RunNo1=4"), std::string::npos);
}

TEST_F(NewLogFromTheWindow, TheExportEntriesAreEnabledWithTheSondeOff) {
    window->mainTick(clock.now());
    EXPECT_TRUE(window->action("las")->isEnabled());
    EXPECT_TRUE(window->action("resampling")->isEnabled());
    bool opened = false;
    answerDialogs([&](QWidget* w) {
        opened = opened || w->windowTitle() == "LAS 2.0 exportation for VEXA";
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
    window->action("las")->trigger();
    EXPECT_TRUE(opened);
}

TEST_F(NewLogFromTheWindow, ReplayStartsAtTheChosenDepth) {
    // Four lines from 12.0 m down by 0.5 m; the recording never ended, so opening repairs the header.
    const std::string header = (sandbox / "h" / "well.HED").string();
    context.headerIo->SetHeaderDefaults();
    ASSERT_TRUE(context.headerIo->WriteHeader(header));
    ASSERT_TRUE(MarkRecordingStart(header, 12.0, 0));
    const LineLayout layout = layoutFromHeader(context.header);
    DataFileWriter w;
    ASSERT_TRUE(w.open((sandbox / "h" / "well.VIV").string(), layout.lineSize));
    std::vector<std::uint8_t> frame(40 + 4 * 180 + 3, 0), line;
    frame[18] = 2;
    for (int i = 0; i < 4; ++i) {
        buildDataLine(frame, {12.0 + i * 0.5, 0, i * 100, false}, layout, line);
        ASSERT_TRUE(w.appendLine(line, 0));
    }
    w.close();

    std::vector<std::string> labels;
    answerDialogs([&](QWidget* w) {
        if (auto* start = qobject_cast<ui::CPSetDepthPlayer*>(w)) {
            labels.push_back(start->rangeLabel()->text().toStdString());
            start->entry()->setText("13");
            start->okButton()->click();
        }
    });
    op.answerPath(header);
    window->OpenAndPlay();
    EXPECT_EQ(labels, std::vector<std::string>{"Depth : 12.01 m to 13.49 m"});
    // The line at 13.0 m was drawn; the replay goes on with the next one.
    EXPECT_EQ(window->transport().replayPosition(), 3 * layout.lineSize);
    EXPECT_DOUBLE_EQ(window->live().read([](const LiveValues& v) { return v.fileDepth; }), 13.0);
}
