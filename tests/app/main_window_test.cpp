#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "WindowFixture.h"
#include "app/AboutBox.h"
#include "app/EndProcessDlg.h"
#include "app/LiveSource.h"
#include "app/MainWindow.h"
#include "app/PowerDlg.h"
#include "app/QtOperator.h"
#include "app/SingleInstance.h"
#include "config/ProgramContext.h"
#include "platform/Paths.h"
#include "stream/DataFile.h"
#include "stream/LogFile.h"
#include "ui/setup/PropertyLoggerDlg.h"
#include "ui/travel/TravelWindowDlg.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/GraphicCounterCtrl.h"
#include "ui/widgets/PictureView.h"
#include "ui/widgets/ToolsProbeDlg.h"

namespace fs = std::filesystem;

using windowtest::application;
using windowtest::bufferCopy;
using windowtest::WindowTest;

TEST_F(WindowTest, StartsInAcquisitionModeWithTheTitleAndTheLaterWindowsDisabled) {
    EXPECT_EQ(window->windowTitle(), QString("VEXA Acquisition software version") + QChar(0x00A0) + "4.10");
    window->mainTick(clock.now());
    EXPECT_EQ(window->statusPart(0), "Acquisition Mode.");
    EXPECT_EQ(window->statusPart(2), "Not hardware detected.");
    // The Logger Setup sheet opens from the menu and the probe panel's Comm button once the panel polls.
    EXPECT_TRUE(window->action("loggerSetup")->isEnabled());
    EXPECT_FALSE(window->action("loggerSetup")->toolTip().contains("not available"));
    EXPECT_TRUE(window->powerPanel()->comm->isEnabled());
    // Sonde off: replay, the report and the exports allowed, no new log.
    EXPECT_TRUE(window->action("openPlay")->isEnabled());
    EXPECT_TRUE(window->action("openHtml")->isEnabled());
    EXPECT_TRUE(window->action("las")->isEnabled());
    EXPECT_TRUE(window->action("resampling")->isEnabled());
    EXPECT_FALSE(window->action("newLog")->isEnabled());
    EXPECT_EQ(std::string(setlocale(LC_NUMERIC, nullptr)), "C");
}

TEST_F(WindowTest, TravelToolsOpenFromTheMenuAndFromTheProbePanel) {
    ASSERT_NE(window->travelTools(), nullptr);
    EXPECT_FALSE(window->travelTools()->isVisible());
    window->action("travelTools")->trigger();
    EXPECT_TRUE(window->travelTools()->isVisible());
    window->travelTools()->close();
    EXPECT_FALSE(window->travelTools()->isVisible());
    window->powerPanel()->travelWindow->click();
    EXPECT_TRUE(window->travelTools()->isVisible());
}

TEST_F(WindowTest, OpenAndPlayDrawsTheLogsRowsAndShowsItsDepthInReplayColour) {
    const std::string header = makeLog();
    const auto cleared = bufferCopy(window->picture());
    op.answerPath(header);
    window->OpenAndPlay();
    ASSERT_TRUE(window->modeFlags().replayLoaded);
    window->onPlay();
    ASSERT_TRUE(window->modeFlags().playing);
    EXPECT_EQ(window->statusPart(0), "Data file : well.VIV");
    EXPECT_TRUE(op.messages().empty()) << op.messages().front();

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(nextLine()) << "line " << i;
    const auto drawn = bufferCopy(window->picture());
    ASSERT_EQ(drawn.size(), cleared.size());
    const int width = window->picture().buffer().width;
    int changedRows = 0;
    for (size_t r = 0; r * width < drawn.size(); ++r)
        changedRows += !std::equal(drawn.begin() + r * width, drawn.begin() + (r + 1) * width,
                                   cleared.begin() + r * width);
    EXPECT_GE(changedRows, 3);

    const quelt::ui::DepthTexts& shown = window->depthDisplay()->shown();
    EXPECT_EQ(shown.depth, "13.00");
    EXPECT_EQ(shown.speed, "");  // a replayed speed of 0 is left empty
    EXPECT_EQ(shown.colour, 0xA0FFFFu);
    EXPECT_EQ(window->depthDisplay()->depthField()->text(), "13.00");

    // The painted picture is the buffer's visible rows, 764 pixels wide.
    window->pictureController().schedulePaint(true);
    QImage image = window->pictureView()->shownImage();
    EXPECT_EQ(image.width(), 764);
    EXPECT_GT(image.height(), 0);

    ASSERT_TRUE(nextLine());
    EXPECT_FALSE(nextLine());  // the end: stopped and rewound
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_EQ(window->transport().replayPosition(), 0u);
}

TEST_F(WindowTest, ReplayIsRefusedWithTheSondeOn) {
    window->probePanel().selectSonde(42, false);
    window->onPower();
    ASSERT_TRUE(window->probePanel().powered());
    window->OpenAndPlay();
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_EQ(op.messages()[0], "Sonde must be switched Off before entering in Replay Mode.");
    EXPECT_FALSE(window->modeFlags().replayLoaded);
    window->mainTick(clock.now());
    EXPECT_FALSE(window->action("openPlay")->isEnabled());
    EXPECT_TRUE(window->action("newLog")->isEnabled());
    EXPECT_TRUE(window->action("exit")->isEnabled());
    EXPECT_FALSE(window->action("imperial")->isEnabled());
}

TEST_F(WindowTest, LeavingRules) {
    struct Case {
        int linkStatus;
        bool powered;
        bool answerYes;
        bool closes;
        const char* message;   // shown, or empty
        const char* question;  // asked, or empty
    };
    const Case cases[] = {
        {0, false, false, true, "", ""},
        {16, true, false, true, "", ""},  // logger frames only: closes without a question
        {255, true, false, false, "Sonde must be switched off before leaving program.", ""},
        {32, false, false, false, "",
         "The sonde is probably powered on. Do you want to close the application ?"},
        {255, false, true, true, "",
         "The sonde is probably powered on. Do you want to close the application ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.linkStatus << " powered " << c.powered << " yes " << c.answerYes);
        window = std::make_unique<quelt::app::MainWindow>(context, op, source, clock);
        window->leaveDelayMs = 0;
        op.clear();
        if (c.powered) {
            window->probePanel().selectSonde(42, false);
            clock.advance(1000);
            window->onPower();
            ASSERT_TRUE(window->probePanel().powered());
            op.clear();
        }
        window->linkStatus() = c.linkStatus;
        if (*c.question) op.answerYes(c.answerYes);
        window->show();
        EXPECT_EQ(window->close(), c.closes);
        std::string message, question;
        for (const auto& e : op.log()) {
            if (e.kind == "message") message = e.text;
            if (e.kind == "question") question = e.text;
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(question, c.question);
        window->linkStatus() = 0;
        window->close();
    }
}

TEST_F(WindowTest, EnterDoesNotCloseTheWindow) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Return);
    QTest::keyClick(window.get(), Qt::Key_Enter);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, TransportButtonsFollowTheReplay) {
    auto enabled = [&] {
        std::string s;
        for (QToolButton* b : {panel().record, panel().pause, panel().stop, panel().play, panel().rewind})
            s += b->isEnabled() ? '1' : '0';
        return s;  // record pause stop play rewind
    };
    struct Tip {
        QToolButton* button;
        const char* text;
    };
    for (const Tip& t :
         {Tip{panel().power, "Sonde power On/Off."}, Tip{panel().rewind, "Reset file player ."},
          Tip{panel().stop, "Player or recorder stop."}, Tip{panel().pause, "Player or recorder pause."},
          Tip{panel().play, "Play file."}, Tip{panel().record, "Recording"}})
        EXPECT_EQ(t.button->toolTip(), t.text);
    EXPECT_EQ(panel().speed->toolTip(), "Player speed variator (depending of your sytem performance).");
    EXPECT_EQ(panel().speed->minimum(), 1);
    EXPECT_EQ(panel().speed->maximum(), 50);
    EXPECT_EQ(panel().speed->value(), 25);

    EXPECT_EQ(enabled(), "00000");
    EXPECT_TRUE(panel().speed->isHidden());

    op.answerPath(makeLog());
    window->OpenAndPlay();
    EXPECT_EQ(enabled(), "01111");  // open: the transport ready, nothing played yet
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_FALSE(nextLine());
    window->onPlay();
    EXPECT_EQ(enabled(), "01110");  // playing: no Record, no Rewind
    EXPECT_FALSE(panel().speed->isHidden());
    ASSERT_TRUE(nextLine());
    const auto afterFirst = window->transport().replayPosition();

    window->onPause();
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_TRUE(window->modeFlags().paused);
    EXPECT_EQ(enabled(), "01111");
    EXPECT_FALSE(nextLine());

    window->onPlay();  // continues with the next line
    EXPECT_EQ(enabled(), "01110");
    ASSERT_TRUE(nextLine());
    EXPECT_EQ(window->transport().replayPosition(), 2 * afterFirst);

    window->onRewind();
    EXPECT_EQ(window->transport().replayPosition(), 0u);
    EXPECT_TRUE(window->modeFlags().paused);
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_EQ(enabled(), "01110");

    window->onStop();
    EXPECT_EQ(enabled(), "00000");
    EXPECT_TRUE(panel().speed->isHidden());
    EXPECT_FALSE(window->modeFlags().replayLoaded);
    EXPECT_EQ(window->statusPart(0), "Acquisition Mode.");
}

TEST_F(WindowTest, ImperialDepthSwitchesTheUnitsAndClearsThePicture) {
    op.answerPath(makeLog());
    window->OpenAndPlay();
    window->onPlay();
    ASSERT_TRUE(nextLine());
    EXPECT_EQ(window->depthDisplay()->shown().depthUnit, "M");
    window->ImperialDepth();
    EXPECT_TRUE(window->pictureController().cleared());
    EXPECT_EQ(window->depthDisplay()->shown().depthUnit, "ft");
    EXPECT_EQ(window->depthDisplay()->shown().depth, "39.37");  // 12.00 m
    EXPECT_EQ(context.settings.SetDepthUnit, 1);
    // The winch page shows the 500 mm wheel in inches, and keeps that inch value.
    EXPECT_EQ(window->loggerSetup()->dialog()->winch->circumference->text(), "19.69");
    EXPECT_EQ(window->loggerSetup()->dialog()->winch->unit->text(), "inch");
    EXPECT_DOUBLE_EQ(context.settings.PulleyCircumInch, 19.69);
}

TEST_F(WindowTest, ScreenshotOfAReplay) {
    op.answerPath(makeLog());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->OpenAndPlay();
    window->onPlay();
    for (int i = 0; i < 3; ++i)
        nextLine();
    window->mainTick(clock.now());
    window->pictureController().schedulePaint(true);
    QApplication::processEvents();
    QImage shot = window->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save("/tmp/queltlogger-replay.png");
}

TEST(DepthTexts, UnitsOffsetsStepAndSerial) {
    struct Case {
        const char* name;
        quelt::ui::DepthInputs in;
        std::string depth, speed, step, serial;
        bool blinking;
        std::uint32_t colour;
    };
    auto live = [](double depth, double speed) {
        quelt::ui::DepthInputs in;
        in.values.depth = depth;
        in.values.speed = speed;
        in.linkStatus = 255;
        in.serialNumber = 7;
        return in;
    };
    std::vector<Case> cases;
    {
        auto in = live(100.0, 10.0);
        in.depthUnit = 1;
        in.verticalStepMm = 1.0;
        cases.push_back({"feet", in, "328.08", "32.81", "39", "SN: 7", false, 0xFFFF00});
    }
    {
        auto in = live(100.0, 0.0);
        in.heightOffsetCm = 150;
        in.verticalStepMm = 1.0;
        cases.push_back({"height offset", in, "98.50", "0.00", "1.00", "SN: 7", false, 0xFFFF00});
    }
    {
        auto in = live(100.0, 0.0);
        in.heightOffsetCm = 150;
        in.sondeLengthCm = 200;
        in.referenceAtTop = true;
        cases.push_back({"reference at top", in, "100.50", "0.00", "", "SN: 7", false, 0xFFFF00});
    }
    {
        quelt::ui::DepthInputs in;
        in.values.depth = 12.5;
        in.replayLoaded = in.paused = true;
        in.serialNumber = 0;
        cases.push_back({"replay paused, no speed", in, "12.50", "", "", "SN : -", false, 0xA0FFFF});
    }
    {
        quelt::ui::DepthInputs in;
        in.values.depth = 12.5;
        in.replayLoaded = true;
        in.serialNumber = 0;
        cases.push_back({"replay loaded but stopped", in, "", "", "", "SN : -", false, 0xFFFF00});
    }
    {
        quelt::ui::DepthInputs in;
        in.serialNumber = 0;
        cases.push_back({"no sonde", in, "", "", "", "SN : -", true, 0xFFFF00});
    }
    {
        auto in = live(1.0, 1.0);
        in.linkStatus = 32;
        in.verticalStepMm = 2.0;
        in.sondeReady = false;
        cases.push_back(
            {"status frames: no step; sonde not ready", in, "1.00", "1.00", "", "SN: 7", true, 0xFFFF00});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        quelt::ui::DepthTexts t = quelt::ui::depthTexts(c.in);
        EXPECT_EQ(t.depth, c.depth);
        EXPECT_EQ(t.speed, c.speed);
        EXPECT_EQ(t.step, c.step);
        EXPECT_EQ(t.serial, c.serial);
        EXPECT_EQ(t.serialBlinking, c.blinking);
        if (!c.depth.empty()) {
            EXPECT_EQ(t.colour, c.colour);
        }
    }
}

TEST(AboutBox, LinesNameTheSystemTheLoggerAndTheVersion) {
    application();
    QStringList none = quelt::app::aboutLines("");
    ASSERT_EQ(none.size(), 4);
    EXPECT_TRUE(none[0].startsWith("OS: "));
    EXPECT_GT(none[0].size(), 4);
    EXPECT_EQ(none[1], "No device in USB");
    EXPECT_EQ(none[2], QString("VEXA version") + QChar(0x00A0) + "4.10");
    EXPECT_EQ(quelt::app::aboutLines("1234")[1], "Logger S/N : 1234");
}

TEST(SingleInstance, ASecondStartBringsTheFirstWindowForward) {
    application();
    std::string home =
        (fs::temp_directory_path() / ("quelt-instance-" + std::to_string(::getpid()))).string();
    quelt::app::SingleInstance first(home);
    ASSERT_FALSE(first.PreviousInstanceRunning());
    QWidget window;
    window.showMinimized();
    first.TrackFirstInstance(&window);

    quelt::app::SingleInstance second(home);
    ASSERT_TRUE(second.PreviousInstanceRunning());
    second.ActivatePreviousInstance();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized() && window.isVisible(); }, 3000));

    quelt::app::SingleInstance otherFolder(home + "-other");
    EXPECT_FALSE(otherFolder.PreviousInstanceRunning());
}

TEST_F(WindowTest, TheChordOpensTheTechnicalToolsOnce) {
    int opened = 0;
    window->technicalToolsHook = [&](quelt::ui::CTechnicalToolsDlg&) { ++opened; };
    window->activateWindow();
    // Ctrl, Shift and Alt held one after another, then T.
    QWidget* w = window.get();
    QTest::keyPress(w, Qt::Key_Control);
    QTest::keyPress(w, Qt::Key_Shift);
    QTest::keyPress(w, Qt::Key_Alt);
    QTest::keyClick(w, Qt::Key_T);
    QApplication::processEvents();
    EXPECT_EQ(opened, 1);
    // The letter again with the modifiers held: nothing until another key breaks the sequence.
    QTest::keyClick(w, Qt::Key_T);
    QApplication::processEvents();
    EXPECT_EQ(opened, 1);
    for (Qt::Key k : {Qt::Key_Alt, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyRelease(w, k);
    // A key in between breaks the chord.
    QTest::keyPress(w, Qt::Key_Control);
    QTest::keyPress(w, Qt::Key_Shift);
    QTest::keyClick(w, Qt::Key_X);
    QTest::keyPress(w, Qt::Key_Alt);
    QTest::keyClick(w, Qt::Key_T);
    QApplication::processEvents();
    EXPECT_EQ(opened, 1);
    for (Qt::Key k : {Qt::Key_Alt, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyRelease(w, k);
    QTest::keyPress(window.get(), Qt::Key_Return);  // message 1034 with 501: nothing
    QApplication::processEvents();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, ToolBoxShowsDashesWithoutOrientationAndPlacementsAreKept) {
    window->action("toolBox")->trigger();
    ASSERT_TRUE(window->toolsBox()->isVisible());
    QTest::qWait(250);
    window->RefreshDataView(quelt::kRefreshValues);
    EXPECT_EQ(window->toolsBox()->field(0)->text(), "-");
    EXPECT_EQ(window->toolsBox()->field(11)->text(), "-");
    EXPECT_EQ(window->toolsBox()->colourMode(), quelt::ui::ToolsColourMode::Grey);

    // Closing saves the placements into Zorak.dat; the next window takes the main one back.
    window->move(40, 30);
    const int width = window->width();
    ASSERT_TRUE(window->close());
    ASSERT_TRUE(context.placements.get(quelt::PlacementSlot::MainWindow).valid());
    ASSERT_TRUE(context.placements.get(quelt::PlacementSlot::ToolsBox).valid());
    quelt::app::MainWindow second(context, op, source, clock);
    second.show();
    EXPECT_EQ(second.width(), width);
    EXPECT_EQ(second.minimumWidth(), second.maximumWidth()) << "the width stays fixed";
}

TEST_F(WindowTest, ShutdownShowsTheEndOfProcessTexts) {
    quelt::app::CEndProcessDlg end;
    window->setEndProcessWindow(&end);
    ASSERT_TRUE(window->close());
    EXPECT_EQ(end.text(), "Ending USB Process ... wait");
    EXPECT_EQ(end.windowTitle(), "QueltLogger");
    end.hide();
}

TEST_F(WindowTest, BlackAndWhiteIsWrittenAtOnceAndTheMagnifierKeepsItsPlacement) {
    window->depthDisplay()->blackAndWhite()->click();
    EXPECT_TRUE(context.settings.BlackAndWhite);
    std::ifstream cfg(quelt::resolveNoCase(sandbox / "h" / "Zorak.cfg"));
    std::string text((std::istreambuf_iterator<char>(cfg)), {});
    EXPECT_NE(text.find("BlackAndWhite=1"), std::string::npos);

    ASSERT_FALSE(context.placements.get(quelt::PlacementSlot::DepthMagnifier).valid());
    window->showMagnifier();
    ASSERT_TRUE(window->depthDisplay()->magnifier()->isVisible());
    EXPECT_EQ(window->depthDisplay()->magnifier()->windowTitle(), "Depth magnifier");
    const quelt::WindowPlacement first = context.placements.get(quelt::PlacementSlot::DepthMagnifier);
    ASSERT_TRUE(first.valid()) << "the first placement is stored in its slot";
    window->depthDisplay()->magnifier()->move(first.left + 30, first.top + 20);
    const int left = window->depthDisplay()->magnifier()->frameGeometry().left();
    window->depthDisplay()->magnifier()->close();
    EXPECT_FALSE(window->depthDisplay()->magnifier()->isVisible());
    const quelt::WindowPlacement moved = context.placements.get(quelt::PlacementSlot::DepthMagnifier);
    EXPECT_EQ(moved.left, left);
    window->showMagnifier();
    EXPECT_EQ(window->depthDisplay()->magnifier()->frameGeometry().left(), left);
}

TEST_F(WindowTest, SetCurrentDepthIsOfferedOnlyWithLoggerFramesAlone) {
    for (auto [status, enabled] : {std::pair{16, true}, {255, false}, {0, false}}) {
        window->linkStatus() = status;
        window->depthDisplay()->timerTick();
        EXPECT_EQ(window->depthDisplay()->setDepthButton()->isEnabled(), enabled) << status;
    }
    window->linkStatus() = 0;
}

// Full data frames that stop while recording: the alarm window shows why, and the operator chooses
// between powering the sonde up again (the recording goes on) and stopping the recording there.
TEST_F(WindowTest, AFrameStopWhileRecordingShowsTheAlarmAndAsksWhetherToResume) {
    const std::string text =
        "The logger lost power at 11.123 m: full data frames stopped, the recording holds 119 lines";
    struct Case {
        bool answer;
        bool recordingAfter;
        bool poweredAfter;
    };
    // Stopping leaves the sonde as it is (off here); resuming runs the power-up sequence again.
    for (const Case c : {Case{false, false, false}, Case{true, true, true}}) {
        SCOPED_TRACE(c.answer ? "resume" : "stop");
        window->modeFlags().recording = true;
        op.answerYes(c.answer);
        window->acquisition().onDataStopped(text);
        QApplication::processEvents();
        ASSERT_TRUE(window->alertWindow()->isVisible());
        EXPECT_EQ(window->alertWindow()->messageText().toStdString(), text);
        const std::string question = text + ".\nPower the sonde up again and resume the recording ?";
        EXPECT_TRUE(
            std::any_of(op.log().begin(), op.log().end(), [&](const auto& m) { return m.text == question; }));
        EXPECT_EQ(window->modeFlags().recording.load() != 0, c.recordingAfter);
        EXPECT_EQ(window->acquisition().panel.powered(), c.poweredAfter);
        window->alertWindow()->hide();
        window->modeFlags().recording = false;
    }
    // The replaced-line count shows while a recording runs only.
    auto* replaced = window->findChild<QLabel*>("replacedLines");
    ASSERT_NE(replaced, nullptr);
    window->mainTick(clock.now());
    EXPECT_TRUE(replaced->text().isEmpty());
    window->modeFlags().recording = true;
    window->mainTick(clock.now());
    EXPECT_EQ(replaced->text().toStdString(), "Replaced 0");
    window->modeFlags().recording = false;
}
