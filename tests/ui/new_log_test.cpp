#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <fstream>

#include "UiFixture.h"
#include "app/LiveSource.h"
#include "app/MainWindow.h"
#include "config/ProgramContext.h"
#include "export/LogFixture.h"
#include "platform/Paths.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/LogFile.h"
#include "stream/LogPaths.h"
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
    op.answerPath((sandbox / "h" / "newrun").string());
    window->NewLog();
    const fs::path hed = newLogHeaderPath((sandbox / "h" / "newrun").string(), context.settings.PicOriented);
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

TEST(NewLogNames, TheOrientationSuffixIsAddedOnce) {
    struct Case {
        const char* chosen;
        int orientation;
        const char* name;
    };
    const Case cases[] = {
        {"/logs/run", 0, "run_X.HED"},           {"/logs/run.hed", 1, "run_N.HED"},
        {"/logs/RUN_h", 2, "RUN_h.HED"},         {"/logs/run_X.HED", 2, "run_X_H.HED"},
        {"/logs/hole 7.HED", 2, "hole 7_H.HED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        EXPECT_EQ(newLogHeaderPath(c.chosen, c.orientation), std::string("/logs/") + c.name);
    }
}

namespace {

// The scripted operator, with the folder or file each file dialog was opened at.
class DialogStarts final : public Operator {
  public:
    explicit DialogStarts(ScriptedOperator& inner) : inner_(inner) {}
    void message(const std::string& text, MessageKind kind) override { inner_.message(text, kind); }
    bool askYesNo(const std::string& text) override { return inner_.askYesNo(text); }
    std::optional<std::string> chooseFile(const std::string& title, const std::string& start,
                                          const std::string& filter, bool forSaving) override {
        starts.push_back(start);
        return inner_.chooseFile(title, start, filter, forSaving);
    }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override {
        return inner_.chooseFolder(title, start);
    }
    std::vector<std::string> starts;

  private:
    ScriptedOperator& inner_;
};

std::string fileText(const fs::path& p) {
    return quelt::testing::readText(resolveNoCase(p));
}

}  // namespace

TEST_F(NewLogFromTheWindow, TheHeaderNamesItsOwnDataFileAndThePathsAreSaved) {
    context.settings.PicOriented = 2;
    window->linkStatus() = 255;
    answerDialogs([](QWidget* w) {
        if (auto* mode = qobject_cast<ui::CPRecordingMode*>(w)) mode->okButton()->click();
        if (auto* editor = qobject_cast<ui::CHeaderDlg*>(w)) editor->saveButton()->click();
    });
    fs::create_directories(sandbox / "logs");
    op.answerPath((sandbox / "logs" / "hole7").string());
    window->NewLog();
    ASSERT_TRUE(window->modeFlags().recording);
    window->onStop();
    const fs::path hed = sandbox / "logs" / "hole7_H.HED";
    ASSERT_TRUE(fs::exists(hed));
    EXPECT_TRUE(fs::exists(sandbox / "logs" / "hole7_H.viv"));
    const std::string header = fileText(hed);
    const std::string file1 = header.substr(header.find("[File1]"));
    EXPECT_EQ(file1.find("FileName=Demo.VIV"), std::string::npos) << file1;
    EXPECT_NE(file1.find("FileName=hole7_H.viv"), std::string::npos) << file1;
    const std::string cfg = fileText(sandbox / "h" / "Zorak.cfg");
    EXPECT_NE(cfg.find("LastFile=" + hed.string()), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("FileName=hole7_H.viv"), std::string::npos);
    EXPECT_NE(cfg.find("FilePath=" + (sandbox / "logs").string()), std::string::npos);
}

TEST_F(NewLogFromTheWindow, AnExistingLogIsReplacedOnlyOnYesAndNoNamesTheLogAgain) {
    window->linkStatus() = 255;
    answerDialogs([](QWidget* w) {
        if (auto* mode = qobject_cast<ui::CPRecordingMode*>(w)) mode->okButton()->click();
        if (auto* editor = qobject_cast<ui::CHeaderDlg*>(w)) editor->saveButton()->click();
    });
    const std::string suffix = context.settings.PicOriented == 1   ? "_N"
                               : context.settings.PicOriented == 2 ? "_H"
                                                                   : "_X";
    const fs::path kept = sandbox / "h" / ("kept" + suffix + ".HED"),
                   keptData = sandbox / "h" / ("kept" + suffix + ".viv");
    std::ofstream(kept) << "[WellInfo]\nCompany=Earlier\n";
    std::ofstream(keptData) << "earlier lines";

    // No: the operator names the log again; the earlier log stays as it was.
    op.answerPath((sandbox / "h" / "kept").string());
    op.answerYes(false);
    op.answerPath((sandbox / "h" / "fresh").string());
    window->NewLog();
    ASSERT_TRUE(window->modeFlags().recording);
    window->onStop();
    std::vector<std::string> asked;
    for (const auto& e : op.log())
        if (e.kind != "message") asked.push_back(e.kind + ": " + e.text);
    EXPECT_EQ(asked, (std::vector<std::string>{"file: New log",
                                               "question: Same file name exist, do you want replace this ?",
                                               "file: New log"}));
    EXPECT_EQ(fileText(kept), "[WellInfo]\nCompany=Earlier\n");
    EXPECT_EQ(fileText(keptData), "earlier lines");
    EXPECT_TRUE(fs::exists(sandbox / "h" / ("fresh" + suffix + ".HED")));

    // Yes: the earlier pair is replaced by the new log.
    op.answerPath((sandbox / "h" / "kept").string());
    op.answerYes(true);
    window->NewLog();
    ASSERT_TRUE(window->modeFlags().recording);
    window->onStop();
    EXPECT_EQ(fileText(kept).find("Company=Earlier"), std::string::npos);
    EXPECT_NE(fileText(keptData), "earlier lines");
}

TEST_F(NewLogFromTheWindow, ABareStoredFolderGivesTheDataFolderOfTheProgramFolder) {
    DialogStarts starts(op);
    app::MainWindow w(context, starts, source, clock);
    w.linkStatus() = 255;
    answerDialogs([](QWidget* m) {
        if (auto* mode = qobject_cast<ui::CPRecordingMode*>(m)) mode->okButton()->click();
    });
    for (const char* stored : {"c:\\", "/"}) {
        SCOPED_TRACE(stored);
        context.paths.logDir = stored;
        w.NewLog();  // the dialog is cancelled
    }
    EXPECT_EQ(starts.starts, (std::vector<std::string>(2, resolveNoCase(sandbox / "h" / "Data").string())));
    EXPECT_TRUE(fs::is_directory(sandbox / "h" / "Data"));
}
