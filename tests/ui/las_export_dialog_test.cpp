#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "UiFixture.h"
#include "config/ProgramContext.h"
#include "export/LogFixture.h"
#include "tests/support/QueltRun.h"
#include "ui/setup/LasExportDlg.h"

using namespace quelt;
using namespace quelt::ui;
using quelt::testing::centimetreLog;
using quelt::testing::readText;
namespace fs = std::filesystem;

namespace {

class LasDialog : public uitest::DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        if (HasFatalFailure()) return;
    }
};

}  // namespace

TEST_F(LasDialog, ControlsWaitForALogAndTheRangeIsCheckedOnLeavingTheField) {
    CLasExportDlg dlg(context, op);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "LAS 2.0 exportation for VEXA");
    EXPECT_EQ(dlg.inputText()->text(), "*.hed");
    EXPECT_EQ(dlg.outputText()->text(), "*.las");
    EXPECT_FALSE(dlg.fromEdit()->isEnabled());
    EXPECT_FALSE(dlg.startButton()->isEnabled());
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(dlg.curveBox(i)->isEnabled() || dlg.curveBox(i)->isChecked()) << i;
    ASSERT_EQ(dlg.stepList()->count(), 4);
    EXPECT_EQ(dlg.stepList()->currentText(), "1cm");
    EXPECT_EQ(dlg.stepList()->itemText(3), "10cm");

    std::string hed = centimetreLog(10000, 12000).write(sandbox / "logs", "well");
    op.answerPath(hed);
    dlg.BrowseInput();
    // The depths of the lines less the deviation sensor's offset of the sonde in use (1.34 m).
    EXPECT_EQ(dlg.fromEdit()->text(), "8.66");
    EXPECT_EQ(dlg.toEdit()->text(), "10.66");
    EXPECT_EQ(dlg.intervalText()->text(), "Interval : 9.95 mm");
    EXPECT_TRUE(dlg.startButton()->isEnabled());
    EXPECT_EQ(dlg.outputText()->text().toStdString(), (sandbox / "logs" / "LAS20" / "well.las").string());
    EXPECT_EQ(dlg.curveBox(1)->isEnabled(), context.sondes->current().gammaOnBoard);
    EXPECT_TRUE(dlg.curveBox(0)->isChecked());

    op.clear();
    typeInto(dlg.fromEdit(), "50");
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Bad entry value (begining 8.66 ending 10.66) \n"});
    EXPECT_EQ(dlg.fromEdit()->text(), "8.66");
    op.clear();
    typeInto(dlg.toEdit(), "10");
    typeInto(dlg.fromEdit(), "10.5");
    EXPECT_EQ(op.messages(),
              std::vector<std::string>{
                  "Bad entry value, the depth of beginning must be smaller than the depth of stop"});
    EXPECT_EQ(dlg.fromEdit()->text(), "8.66");

    // No channel: refused before anything is written.
    op.clear();
    for (int i = 0; i < 10; ++i)
        dlg.curveBox(i)->setChecked(false);
    QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
    EXPECT_EQ(op.messages(), std::vector<std::string>{"You must at least choose one channel !!!"});
    EXPECT_FALSE(fs::exists(sandbox / "logs" / "LAS20" / "well.las"));

    // Cancelling the output chooser leaves no output.
    op.answerPath(std::nullopt);
    dlg.BrowseOutput();
    EXPECT_EQ(dlg.outputText()->text(), "*** N/A ***");
    EXPECT_FALSE(dlg.startButton()->isEnabled());

    // Close writes the flags of the boxes.
    dlg.curveBox(7)->setChecked(true);
    QTest::mouseClick(dlg.closeButton(), Qt::LeftButton);
    EXPECT_TRUE(context.settings.ExportTgrav);
    EXPECT_FALSE(context.settings.ExportSpeed);
    EXPECT_NE(readText(sandbox / "h" / "Zorak.cfg").find("ExportTgrav=1"), std::string::npos);
    EXPECT_NE(readText(sandbox / "h" / "Zorak.cfg").find("ExportSpeed=0"), std::string::npos);
}

TEST_F(LasDialog, WritesTheSameFileAsTheCommandLine) {
    std::string hed = centimetreLog(10000, 12000).write(sandbox / "logs", "well");
    CLasExportDlg dlg(context, op);
    dlg.resize(640, 400);
    op.answerPath(hed);
    dlg.BrowseInput();
    dlg.stepList()->setCurrentIndex(2);
    dlg.reverseBox()->setChecked(true);
    for (int i = 0; i < 10; ++i)
        dlg.curveBox(i)->setChecked(i == 0 || i == 7 || i == 9);
    typeInto(dlg.fromEdit(), "9.2");
    typeInto(dlg.toEdit(), "10.5");
    ASSERT_TRUE(dlg.StartExport());
    ASSERT_TRUE(uitest::exportResult(dlg)) << ::testing::PrintToString(op.messages());
    EXPECT_EQ(dlg.statusText()->text(), "File migred.");
    EXPECT_EQ(dlg.progressBar()->maximum(), 201);
    uitest::grab(dlg, "las_export");
    const fs::path las = sandbox / "logs" / "LAS20" / "well.las";
    std::string fromDialog = readText(las);
    ASSERT_FALSE(fromDialog.empty());
    EXPECT_NE(fromDialog.find(" STRT.M           10.50"), std::string::npos);
    fs::remove(las);

    auto r = quelt::test::runQuelt(
        sandbox, "las '" + hed + "' --step 5cm --reverse --raw --curves speed,tgrav --from 9.2 --to 10.5",
        quelt::test::Stderr::Merged, sandbox / "h");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readText(las), fromDialog);
}

TEST_F(LasDialog, AnOutputThatIsTheSourceIsRefused) {
    // The dialog's output name is a link to the log's own data file.
    std::string hed = centimetreLog(10000, 12000).write(sandbox / "logs", "well");
    const fs::path viv = sandbox / "logs" / "well.VIV";
    const std::string before = readText(viv);
    fs::create_directories(sandbox / "logs" / "LAS20");
    fs::create_symlink(viv, sandbox / "logs" / "LAS20" / "well.las");
    CLasExportDlg dlg(context, op);
    op.answerPath(hed);
    dlg.BrowseInput();
    op.clear();
    op.defaultAnswer = true;  // "replace this ?"
    EXPECT_FALSE(dlg.StartExport());
    ASSERT_FALSE(op.messages().empty());
    EXPECT_NE(op.messages().back().find("is the source file"), std::string::npos) << op.messages().back();
    EXPECT_EQ(readText(viv), before);
}

TEST_F(LasDialog, AnExportRunsBesideTheWindowAndCloseStopsItLeavingNothing) {
    std::string hed = centimetreLog(10000, 12000).write(sandbox / "logs", "well");
    uitest::Gate gate;
    // The export is held inside its first orientation computation.
    OrientationRoutine held = [&](double, double, double, double, double, double, double) {
        gate.pass();
        return std::optional<OrientationValues>(OrientationValues{});
    };
    CLasExportDlg dlg(context, op, held);
    dlg.show();
    op.answerPath(hed);
    dlg.BrowseInput();
    op.clear();
    auto whileHeld = [&] {
        EXPECT_FALSE(dlg.startButton()->isEnabled());
        EXPECT_FALSE(dlg.fromEdit()->isEnabled());
    };
    EXPECT_FALSE(uitest::runHeldExportAndStop(
        dlg, gate, [&] { return dlg.StartExport(); }, whileHeld, dlg.closeButton()));
    EXPECT_TRUE(dlg.startButton()->isEnabled());
    EXPECT_TRUE(dlg.fromEdit()->isEnabled());
    // Neither the LAS file nor its scratch file, nor the LAS20 folder the export made.
    for (const auto& entry : fs::recursive_directory_iterator(sandbox / "logs"))
        EXPECT_EQ(entry.path().filename().string().find("LAS"), std::string::npos) << entry.path();
    for (const auto& entry : fs::recursive_directory_iterator(sandbox / "logs"))
        EXPECT_EQ(entry.path().filename().string().find("las"), std::string::npos) << entry.path();
    EXPECT_TRUE(op.messages().empty()) << op.messages().front();
}
