#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "UiFixture.h"
#include "config/ProgramContext.h"
#include "export/LogFixture.h"
#include "platform/Text.h"
#include "tests/support/QueltRun.h"
#include "ui/setup/FileResamplingDlg.h"

using namespace quelt;
using namespace quelt::ui;
using quelt::testing::FixtureLine;
using quelt::testing::FixtureLog;
using quelt::testing::kFixtureFullLine;
using quelt::testing::readText;
namespace fs = std::filesystem;

namespace {

class ResamplingDialog : public uitest::DialogTest {
  protected:
    std::string hed;

    void SetUp() override {
        DialogTest::SetUp();
        if (HasFatalFailure()) return;
        // A full-layout log every 5 mm from 10 m to 11 m, recorded without orientation.
        FixtureLog log;
        log.recLineSize = kFixtureFullLine;
        log.screenMode = 0;
        for (int d = 10000; d <= 11000; d += 5) {
            FixtureLine l;
            l.depth = d;
            l.time = d - 10000;
            log.lines.push_back(l);
        }
        hed = log.write(sandbox / "logs", "rs_N");
    }
};

}  // namespace

TEST_F(ResamplingDialog, ShowsTheSourceAndChecksTheInterval) {
    std::vector<std::string> status;
    CFileResamplingDlg dlg(context, op, nullptr, [&](const std::string& s) { status.push_back(s); });
    dlg.show();
    EXPECT_EQ(dlg.inputText()->text(), "*.hed");
    EXPECT_EQ(dlg.outputText()->text(), "-");
    ASSERT_EQ(dlg.deviationList()->count(), 3);
    EXPECT_EQ(dlg.deviationList()->itemText(2), "High side");
    EXPECT_FALSE(dlg.exportButton()->isEnabled());

    op.answerPath((sandbox / "logs" / "missing.HED").string());
    dlg.BrowseInput();
    EXPECT_EQ(op.messages().back(), "Data file not present.\n" + (sandbox / "logs" / "missing.viv").string());
    EXPECT_EQ(status, std::vector<std::string>{"export file failled..."});
    EXPECT_FALSE(dlg.exportButton()->isEnabled());

    op.answerPath(hed);
    dlg.BrowseInput();
    EXPECT_TRUE(dlg.exportButton()->isEnabled());
    EXPECT_EQ(dlg.averageText()->text(), "5.0");
    EXPECT_EQ(dlg.rangeText()->text(), "(3 - 25)");
    EXPECT_EQ(dlg.intervalEdit()->text(), "5");
    EXPECT_EQ(dlg.directionText()->text(), "Down");
    EXPECT_EQ(dlg.deviationList()->currentText(), "no deviation");
    // The "_N" of the source is not stacked on the new suffix.
    EXPECT_TRUE(dlg.outputText()->text().endsWith("/RESAMPLING/rs_X.hed"))
        << dlg.outputText()->text().toStdString();
    dlg.deviationList()->setCurrentIndex(2);
    EXPECT_TRUE(dlg.outputText()->text().endsWith("/RESAMPLING/rs_H.hed"));

    op.clear();
    typeInto(dlg.intervalEdit(), "2.8");
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Minimal interval : 3 mm"});
    EXPECT_EQ(dlg.intervalEdit()->text(), "5");
    typeInto(dlg.intervalEdit(), "10");
    EXPECT_EQ(dlg.intervalEdit()->text(), "10");
    EXPECT_DOUBLE_EQ(dlg.resampler().interval(), 0.010);

    op.clear();
    typeInto(dlg.fromEdit(), "5");
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_EQ(op.messages()[0].rfind("Bad entry value (begining ", 0), 0u);
    EXPECT_EQ(dlg.fromEdit()->text().toStdString(), format("%.2f", dlg.resampler().from()));

    op.answerPath((sandbox / "out").string());
    dlg.BrowseOutput();
    EXPECT_EQ(op.log().back().text, "Set export path file.");
    EXPECT_EQ(dlg.outputText()->text().toStdString(), (sandbox / "out" / "rs_H.hed").string());
}

TEST_F(ResamplingDialog, ExportWritesWhatTheCommandLineWrites) {
    context.settings.DisplayBlanking = 0;
    context.settings.DisplayWindow = 4000;
    CFileResamplingDlg dlg(context, op);
    op.answerPath(hed);
    dlg.BrowseInput();
    EXPECT_FALSE(dlg.preview()->image().isNull());
    uitest::grab(dlg, "resampling");
    typeInto(dlg.intervalEdit(), "10");
    ASSERT_TRUE(dlg.Export());
    ASSERT_TRUE(uitest::exportResult(dlg)) << ::testing::PrintToString(op.messages());
    EXPECT_TRUE(dlg.exportButton()->isEnabled());
    EXPECT_GT(dlg.progressBar()->maximum(), 0);
    EXPECT_EQ(dlg.progressBar()->value(), dlg.progressBar()->maximum());
    const fs::path folder = sandbox / "logs" / "RESAMPLING";
    const std::string viv = readText(folder / "rs_X.viv"), header = readText(folder / "rs_X.hed");
    ASSERT_FALSE(viv.empty());
    fs::remove_all(folder);

    auto r = quelt::test::runQuelt(sandbox, "resample '" + hed + "' --interval 10 --orientation none",
                                   quelt::test::Stderr::Merged, sandbox / "h");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readText(folder / "rs_X.viv"), viv);
    EXPECT_EQ(readText(folder / "rs_X.hed"), header);
}

TEST_F(ResamplingDialog, CancelStopsTheExportBeforeTheNextLine) {
    uitest::Gate gate;
    // The export is held inside the rotation of its first line.
    RotationRoutine held = [&](double, double, double, double, double, double, int, double, double) {
        gate.pass();
        return std::optional<double>(0.0);
    };
    CFileResamplingDlg dlg(context, op, held);
    dlg.show();
    op.answerPath(hed);
    dlg.BrowseInput();
    auto whileHeld = [&] { EXPECT_FALSE(dlg.exportButton()->isEnabled()); };
    EXPECT_FALSE(uitest::runHeldExportAndStop(
        dlg, gate, [&] { return dlg.Export(); }, whileHeld, dlg.cancelButton()));
    EXPECT_LE(dlg.resampler().linesWritten(), 2);
    EXPECT_TRUE(dlg.exportButton()->isEnabled());
    EXPECT_FALSE(fs::exists(sandbox / "logs" / "RESAMPLING"));
    // Idle, Cancel closes.
    dlg.cancelButton()->click();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(ResamplingDialog, AnOutputOntoTheSourceIsRefused) {
    // A log named as its own resampling without orientation, exported into its own folder.
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    log.screenMode = 0;
    for (int d = 10000; d <= 11000; d += 5) {
        FixtureLine l;
        l.depth = d;
        log.lines.push_back(l);
    }
    const std::string self = log.write(sandbox / "logs", "self_X");
    const fs::path viv = sandbox / "logs" / "self_X.VIV";
    const std::string before = readText(self) + readText(viv);
    CFileResamplingDlg dlg(context, op);
    op.answerPath(self);
    dlg.BrowseInput();
    op.answerPath((sandbox / "logs").string());
    dlg.BrowseOutput();
    op.clear();
    op.defaultAnswer = true;  // "replace this ?"
    EXPECT_FALSE(dlg.Export());
    ASSERT_FALSE(op.messages().empty());
    EXPECT_NE(op.messages().back().find("is the source file"), std::string::npos) << op.messages().back();
    EXPECT_EQ(readText(self) + readText(viv), before);
}
