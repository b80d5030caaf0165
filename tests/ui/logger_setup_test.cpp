// The Logger Setup sheet and its five pages on the offscreen platform, over the acquisition engine.

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>

#include "UiFixture.h"
#include "platform/Clock.h"
#include "stream/Acquisition.h"
#include "ui/setup/PropertyLoggerDlg.h"
#include "ui/widgets/ColorPen.h"

namespace {

using namespace quelt;

class LoggerSetupWindow : public uitest::DialogTest {
  protected:
    void SetUp() override {
        uitest::DialogTest::SetUp();
        acq = std::make_unique<Acquisition>(context, clock);
        setup = std::make_unique<ui::LoggerSetup>(*acq, op, clock, context.placements,
                                                  ui::LoggerSetup::Hooks{}, nullptr);
        dlg = setup->dialog();
    }
    void TearDown() override {
        delete dlg;
        setup.reset();
        uitest::DialogTest::TearDown();
    }
    // Runs the sheet's timers for `ms` of the fake clock.
    void run(Millis ms) {
        for (Millis end = clock.now() + ms; clock.now() < end;) {
            clock.advance(16);
            dlg->tick();
        }
    }
    static void typeSpin(QSpinBox* s, int value) {
        s->setFocus();
        s->selectAll();
        QTest::keyClicks(s, QString::number(value));
        QTest::keyClick(s, Qt::Key_Return);
        emit s->editingFinished();
    }
    std::vector<std::string> messages() const { return op.messages(); }

    FakeClock clock{1000};
    std::unique_ptr<Acquisition> acq;
    std::unique_ptr<ui::LoggerSetup> setup;
    ui::CPropertyLoggerDlg* dlg = nullptr;
};

TEST_F(LoggerSetupWindow, TabsLabelsOpenEditQuestionAndPlacement) {
    dlg->open();
    EXPECT_EQ(dlg->windowTitle(), "Logger Setup");
    ASSERT_EQ(dlg->tabs()->count(), 4);
    const char* captions[] = {"Winch", "Probe", "Communication", "Acquisition Mode"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dlg->tabs()->tabText(i), captions[i]);
    EXPECT_EQ(dlg->tabs()->currentIndex(), 2);
    EXPECT_TRUE(acq->modes.setupVisible.load());
    EXPECT_TRUE(dlg->readBackLabel()->isVisibleTo(dlg));
    dlg->tabs()->setCurrentIndex(0);
    EXPECT_FALSE(dlg->readBackLabel()->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->settingLabel()->isVisibleTo(dlg));

    // A powered sonde with frames flowing: the rotation offset may be edited.
    acq->modes.sondePowered = true;
    acq->linkStatus = kLinkFullData;
    run(300);
    dlg->tabs()->setCurrentIndex(1);
    ASSERT_TRUE(dlg->probe->rotationEdit->isEnabled());
    op.answerYes(true);
    QTest::mouseClick(dlg->probe->rotationEdit, Qt::LeftButton);
    EXPECT_EQ(dlg->probe->rotationEdit->text(), "Save");
    EXPECT_TRUE(acq->panel.offsetEditing.load());
    // The offset view strip shows the latest amplitude line while the offset is edited.
    std::vector<std::uint8_t> amplitudes(180);
    for (size_t i = 0; i < amplitudes.size(); ++i)
        amplitudes[i] = static_cast<std::uint8_t>(i);
    dlg->offsetViewLine(amplitudes.data(), 180, 10.0);
    EXPECT_TRUE(dlg->probe->offsetView->isVisibleTo(dlg));
    EXPECT_FALSE(dlg->probe->offsetView->pixmap().isNull());
    op.answerYes(false);
    dlg->tabs()->setCurrentIndex(3);
    EXPECT_EQ(dlg->tabs()->currentIndex(), 1) << "No keeps the Probe tab";
    EXPECT_EQ(op.log().back().text, "Do you save now the Rotation Offset parameter ?");
    typeInto(dlg->probe->rotation, "400");
    op.answerYes(true);
    dlg->close();
    EXPECT_FALSE(acq->modes.setupVisible.load());
    EXPECT_FALSE(acq->panel.offsetEditing.load());
    EXPECT_DOUBLE_EQ(context.sondes->current().rotationOffset, 359.9);
    EXPECT_TRUE(context.placements.get(PlacementSlot::LoggerSetup).valid());
}

TEST_F(LoggerSetupWindow, TolTabOnlyWithTechnicalToolsAndItsClamps) {
    context.settings.switches.TechnicalTools = true;
    dlg->open();
    ASSERT_EQ(dlg->tabs()->count(), 5);
    dlg->tabs()->setCurrentIndex(4);
    EXPECT_EQ(dlg->tabs()->tabText(4), "*.tol");
    EXPECT_FALSE(dlg->settingLabel()->isVisibleTo(dlg));
    dlg->tol->gammaCoef->setText("0.1");
    dlg->tol->write->click();
    EXPECT_EQ(dlg->tol->gammaCoef->text(), "0.20");
    EXPECT_TRUE(messages().empty());
    uitest::grab(*dlg, "logger_setup_tol");
}

TEST_F(LoggerSetupWindow, CommunicationPage) {
    acq->modes.sondePowered = true;
    acq->linkStatus = kLinkFullData;
    dlg->open();
    run(300);
    ui::CPCommDlg* c = dlg->comm;
    EXPECT_TRUE(c->downhole->isEnabled());
    EXPECT_FALSE(dlg->winch->isEnabled());
    EXPECT_EQ(c->maxLabel->text(), "Max : 40");
    typeSpin(c->downhole, 61);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad DownHole entered value !!!\nMin:5 Max:60"});
    EXPECT_EQ(c->downhole->value(), 15);
    // The arrows stay within 0..40 for the gain and apply what they reach.
    c->gain->setValue(40);
    c->gain->stepBy(1);
    EXPECT_EQ(c->gain->value(), 40);
    EXPECT_EQ(context.settings.UpGain, 40);
    c->speed->setCurrentIndex(11);
    emit c->speed->activated(11);  // "31250"
    EXPECT_EQ(context.settings.UpBaudDivisor, 20);
    EXPECT_EQ(c->maxLabel->text(), "Max : 60");
    // The lamps are lit for a checksum error, and the read-back fields show the stream's texts.
    acq->live.update([](LiveValues& v) {
        v.commStatus = 0x08;
        v.baudText = "31250";
    });
    run(250);
    EXPECT_FALSE(c->lamps[CommLamps::Checksum]->pixmap().isNull());
    EXPECT_TRUE(setup->sheet().comm.lamps.lit(CommLamps::Checksum));
    EXPECT_EQ(c->speedReadBack->text(), "31250");
    EXPECT_EQ(c->speedReadBack->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0x00));

    int checks = 0;
    QObject::connect(c, &ui::CPCommDlg::checkRequested, [&] { ++checks; });
    acq->modes.recording = true;
    op.clear();
    QTest::mouseClick(c->check, Qt::LeftButton);
    EXPECT_EQ(checks, 0);
    acq->modes.recording = false;
    run(300);
    QTest::mouseClick(c->check, Qt::LeftButton);
    EXPECT_EQ(checks, 1);
    uitest::grab(*dlg, "logger_setup_communication");
}

TEST_F(LoggerSetupWindow, AcquisitionModePage) {
    acq->modes.sondePowered = true;
    acq->linkStatus = kLinkFullData;
    context.settings.UpBaudDivisor = 10;
    context.settings.MotorPeriod = 87;
    dlg->open();
    run(300);
    dlg->tabs()->setCurrentIndex(3);
    ui::CPPictureDlg* p = dlg->picture;
    ASSERT_TRUE(p->resolution->isEnabled());
    p->resolution->setCurrentIndex(3);
    emit p->resolution->activated(3);  // "360"
    EXPECT_EQ(p->motor->value(), 96);
    typeSpin(p->motor, 130);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value -> Max : 127"});
    EXPECT_EQ(p->motor->value(), 96);
    acq->live.update([](LiveValues& v) { v.stepValueText = "87"; });
    run(250);
    EXPECT_EQ(p->rps->text(), "(5.0 RPS)");
    uitest::grab(*dlg, "logger_setup_acquisition_mode");
}

TEST_F(LoggerSetupWindow, ProbePage) {
    acq->linkStatus = kLinkLogger;
    dlg->open();
    run(300);
    dlg->tabs()->setCurrentIndex(1);
    ui::CPProbeDlg* p = dlg->probe;
    ASSERT_TRUE(p->voltage->isEnabled());
    typeSpin(p->voltage, 126);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value"});
    EXPECT_EQ(context.settings.Power, 90);
    typeInto(p->declination, "12.345");
    EXPECT_EQ(p->declination->text(), "12.35");
    EXPECT_EQ(p->sondes->count(), 10);
    EXPECT_EQ(p->sondes->itemText(0), "0412");
    uitest::grab(*dlg, "logger_setup_probe");
}

TEST_F(LoggerSetupWindow, WinchPage) {
    acq->linkStatus = kLinkLogger;
    dlg->open();
    run(300);
    dlg->tabs()->setCurrentIndex(0);
    ui::CPWinchDlg* w = dlg->winch;
    ASSERT_TRUE(w->isEnabled());
    typeSpin(w->resolution, 6375);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad wheel/encoder combination"});
    EXPECT_EQ(w->resolution->value(), 1000);
    typeSpin(w->resolution, 6374);
    EXPECT_EQ(context.settings.PulsResolution, 6374);
    // An arrow step that would break the wheel rules is not taken.
    op.clear();
    w->resolution->stepBy(1);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad wheel/encoder combination"});
    EXPECT_EQ(w->resolution->value(), 6374);
    w->resolution->stepBy(-1);
    EXPECT_EQ(context.settings.PulsResolution, 6373) << "the released step is applied";
    EXPECT_EQ(w->circumference->text(), "500.0");
    EXPECT_EQ(w->unit->text(), "mm");
    uitest::grab(*dlg, "logger_setup_winch");
}

}  // namespace

TEST_F(LoggerSetupWindow, GammaColourIsChosenInTheColourPicker) {
    // A cell of the picker becomes the gamma trace colour and is stored; "&Annuler" keeps the colour.
    const int cell = 3;
    for (bool pick : {false, true}) {
        SCOPED_TRACE(pick);
        const std::uint32_t before = setup->sheet().settings().PicColorRef[6];
        QTimer::singleShot(0, [pick, cell] {
            auto* pen = qobject_cast<ui::CColorPen*>(QApplication::activeModalWidget());
            ASSERT_NE(pen, nullptr);
            if (pick) {
                pen->cell(cell)->click();
            } else {
                pen->cancelButton()->click();
            }
        });
        emit dlg->probe->colour->clicked();
        const std::uint32_t expected =
            pick ? ui::CColorPen::kColours[static_cast<size_t>(ui::CColorPen::kCellEntries[cell])] : before;
        EXPECT_EQ(setup->sheet().settings().PicColorRef[6], expected);
    }
}
