// The "Communication Auto check" window over the check on a fake clock against a scripted sonde.

#include <QTest>
#include <filesystem>

#include "UiFixture.h"
#include "stream/RuleSonde.h"
#include "ui/setup/CheckCommDlg.h"

using namespace quelt;
using quelt::ui::CCheckCommDlg;

namespace {

struct CheckWindow : ::testing::Test {
    void SetUp() override {
        uitest::application();
        folder =
            std::filesystem::temp_directory_path() / ("quelt-ui-checkcomm-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        check.programFolder = folder.string();
        check.sondeSerial = 846;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Advances the clock by 10 ms and lets the sonde answer and the window tick.
    void step(CCheckCommDlg& dlg) {
        clock.advance(10);
        sonde.tick(clock.now());
        dlg.tickNow();
    }
    static QColor textColour(const QWidget* w, QPalette::ColorRole role = QPalette::Text) {
        return w->palette().color(role);
    }

    std::filesystem::path folder;
    FakeClock clock{1000};
    Settings settings;
    ReplyEcho echo;
    LinkFlags flags;
    ScriptedOperator op;
    RuleSonde sonde{settings, echo};
    CCheckComm check{settings, echo, flags, sonde, op};
};

TEST_F(CheckWindow, ShowsTheTrialTheVerificationAndTheAcceptedResult) {
    op.answerYes(true);
    CCheckCommDlg dlg(check, clock);
    dlg.start();
    EXPECT_EQ(dlg.windowTitle(), "Communication Auto check");
    EXPECT_TRUE(dlg.isVisible());
    for (int i = 0; i < 30; ++i)
        step(dlg);
    const char* atStart[4] = {"25", "0", "25", "62500"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg.currentField(i)->text().toStdString(), atStart[i]) << i;
        EXPECT_EQ(textColour(dlg.currentField(i)), QColor(0, 0, 0xc8)) << i;
    }
    EXPECT_EQ(dlg.infos()->text(), "Initialization ");
    EXPECT_FALSE(dlg.progress()->isVisible());

    int mostProgress = 0;
    bool greenAfterAPass = false;
    while (!check.closed()) {
        step(dlg);
        if (!check.entries().empty() && check.running())
            greenAfterAPass = greenAfterAPass || textColour(dlg.selectedField(3)) == QColor(0, 0xc8, 0);
        if (dlg.progress()->isVisible()) {
            EXPECT_EQ(dlg.infos()->text(), "Parameters verification, wait !!!");
            mostProgress = std::max(mostProgress, dlg.progress()->value());
            if (dlg.progress()->value() == 60) uitest::grab(dlg, "check_comm");
        }
    }
    EXPECT_EQ(mostProgress, 99);  // the hundredth frame ends the verification and hides the bar
    EXPECT_TRUE(greenAfterAPass);
    EXPECT_FALSE(dlg.progress()->isVisible());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const char* selected[4] = {"23", "4", "6", "208333"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg.selectedField(i)->text().toStdString(), selected[i]) << i;
        EXPECT_EQ(textColour(dlg.selectedField(i)), QColor(0, 0xc8, 0)) << i;
    }
    EXPECT_EQ(dlg.infos()->text(), "Success !!!");
}

// To the right of the setup sheet, or of the main window while there is no sheet.
TEST_F(CheckWindow, OpensRightOfTheSetupSheet) {
    QWidget main;
    main.setGeometry(100, 50, 700, 500);
    main.show();
    for (int sheet : {400, -1}) {
        CCheckCommDlg dlg(check, clock);
        dlg.start(&main, sheet);
        const QRect f = main.frameGeometry();
        EXPECT_EQ(dlg.pos(), QPoint(f.left() + (sheet >= 0 ? sheet : f.width()) + 60, f.top() + 170));
        dlg.close();
        while (!check.closed())
            step(dlg);
    }
}

// "&Cancel" and closing the window both cancel: "Cancel , wait !!!" in red until the step ends, then the
// values at opening and the window closes by itself.
TEST_F(CheckWindow, CancelAndClosingRestoreAndClose) {
    for (bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "button" : "close");
        Settings fresh;
        settings = fresh;
        CCheckCommDlg dlg(check, clock);
        dlg.start();
        while (check.entries().empty())
            step(dlg);
        if (byButton)
            QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
        else
            dlg.close();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.infos()->text(), "Cancel , wait !!!");
        EXPECT_EQ(textColour(dlg.infos(), QPalette::WindowText), QColor(0xc8, 0, 0));
        EXPECT_FALSE(dlg.cancelButton()->isEnabled());
        while (!check.closed())
            step(dlg);
        EXPECT_EQ(check.result(), CheckCommResult::Cancelled);
        EXPECT_EQ(dlg.infos()->text(), "Parametres restored , wait !!!");
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(settings.UpBaudDivisor, fresh.UpBaudDivisor);
        EXPECT_EQ(settings.UpGain, fresh.UpGain);
        EXPECT_FALSE(flags.decimate.load());
    }
}

}  // namespace
