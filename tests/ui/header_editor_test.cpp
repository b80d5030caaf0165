#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "UiFixture.h"
#include "config/ProgramContext.h"
#include "ui/header/HeaderDlg.h"

namespace fs = std::filesystem;
using namespace quelt;
using namespace quelt::ui;

namespace {

// 7 March 2026, noon.
std::time_t march7() {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 2;
    tm.tm_mday = 7;
    tm.tm_hour = 12;
    return std::mktime(&tm);
}

class HeaderEditor : public uitest::DialogTest {
  protected:
    QString shown(CHeaderDlg& dlg, int page, const char* key) { return dlg.page(page)->box(key)->text(); }
    void type(CHeaderDlg& dlg, int page, const char* key, const QString& text) {
        QLineEdit* e = dlg.page(page)->box(key);
        e->clear();
        QTest::keyClicks(e, text);
    }
    std::string file(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

}  // namespace

TEST_F(HeaderEditor, OpensOnTheResetValuesWithTodaysDate) {
    // What a replayed log left in the header.
    context.header.texts["Company"] = "Old Co";
    context.header.reals["MaxTemperature1"] = 41.5;
    context.header.runNumbers["RunNo1"] = 3;
    context.header.step = 5;
    context.header.depthUnit = 1;
    CHeaderDlg dlg(context, op, QImage(), nullptr, march7());
    const char* captions[] = {"C&lient / Location", "Log &Datum", "&Logging Run", "Drill &Bit Size / Casing",
                              "&Remarks"};
    ASSERT_EQ(dlg.tabs()->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dlg.tabs()->tabText(i), captions[i]);
    EXPECT_EQ(dlg.tabs()->currentIndex(), 0);
    EXPECT_EQ(shown(dlg, 0, "Company"), "");
    EXPECT_EQ(shown(dlg, 2, "Date"), "07 March 2026");
    EXPECT_EQ(shown(dlg, 2, "RunNo1"), "0");
    // A dash field holding 0 shows "-", the maximum temperature "0.00", the datum reals "0.000".
    EXPECT_EQ(shown(dlg, 2, "DepthDriller1"), "-");
    EXPECT_EQ(shown(dlg, 3, "BitRec1"), "-");
    EXPECT_EQ(shown(dlg, 2, "MaxTemperature1"), "0.00");
    EXPECT_EQ(shown(dlg, 1, "KellyBushing"), "0.000");
    EXPECT_EQ(context.header.step, 1);
    EXPECT_EQ(context.header.depthUnit, 0);
    EXPECT_EQ(context.header.text("SondeAbbreviation"), "ZOZE");

    // Cancel leaves the reset values, not what was typed.
    type(dlg, 0, "Company", "Typed");
    QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(context.header.text("Company"), "");
}

TEST_F(HeaderEditor, SaveCopiesThePagesAndTheLastRunNumberStands) {
    CHeaderDlg dlg(context, op, QImage(), nullptr, march7());
    type(dlg, 0, "Wellname", "Borehole 7");
    type(dlg, 1, "LogDatum", "GL");
    type(dlg, 1, "DateRun1", "KB");
    type(dlg, 2, "RunNo1", "12");
    type(dlg, 3, "RunNo1", "15");
    type(dlg, 2, "MaxTemperature1", "38.25");
    type(dlg, 3, "CasRecTo1", "12,5");
    QTest::mouseClick(dlg.saveButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const LogHeader& h = context.header;
    EXPECT_EQ(h.text("Wellname"), "Borehole 7");
    EXPECT_EQ(h.text("LogDatum"), "GL");
    EXPECT_EQ(h.text("DateRun1"), "KB");
    EXPECT_EQ(h.runNumber("RunNo1"), 15);
    EXPECT_DOUBLE_EQ(h.real("MaxTemperature1"), 38.25);
    EXPECT_DOUBLE_EQ(h.real("CasRecTo1"), 12.0);  // the comma ends the number
    EXPECT_TRUE(op.messages().empty());

    // A box holding a letter keeps the value and says so.
    CHeaderDlg again(context, op, QImage(), nullptr, march7());
    type(again, 2, "Deepest1", "1x");
    QTest::mouseClick(again.saveButton(), Qt::LeftButton);
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Please enter a number."});
    EXPECT_DOUBLE_EQ(context.header.real("Deepest1"), 0.0);
}

TEST_F(HeaderEditor, RemarksKeepTenLinesAndSkipEmptyOnesWhenReloaded) {
    CHeaderDlg dlg(context, op, QImage(), nullptr, march7());
    QStringList lines;
    for (int i = 1; i <= 12; ++i)
        lines << QString("remark %1").arg(i);
    lines[1] = "";
    dlg.remarksPage()->remarks()->setPlainText(lines.join("\n"));
    type(dlg, 0, "Company", "Torvanel Survey");
    QTest::mouseClick(dlg.saveButton(), Qt::LeftButton);
    EXPECT_EQ(context.header.text("Comment1"), "remark 1");
    EXPECT_EQ(context.header.text("Comment2"), "");
    EXPECT_EQ(context.header.text("Comment10"), "remark 10");

    // Written into a header, then loaded back into a fresh editor.
    const fs::path hed = sandbox / "h" / "run.HED";
    ASSERT_TRUE(context.headerIo->WriteHeader(hed.string()));
    EXPECT_NE(file(hed).find("Company=Torvanel Survey"), std::string::npos);
    CHeaderDlg reload(context, op, QImage(), nullptr, march7());
    EXPECT_EQ(reload.page(0)->box("Company")->text(), "");
    op.answerPath(hed.string());
    QTest::mouseClick(reload.loadButton(), Qt::LeftButton);
    EXPECT_EQ(reload.page(0)->box("Company")->text(), "Torvanel Survey");
    QStringList expected = lines.mid(0, 10);
    expected.removeAt(1);
    EXPECT_EQ(reload.remarksPage()->remarks()->toPlainText(), expected.join("\n"));

    // Reset puts the reset values back.
    QTest::mouseClick(reload.resetButton(), Qt::LeftButton);
    EXPECT_EQ(reload.page(0)->box("Company")->text(), "");
    EXPECT_EQ(reload.remarksPage()->remarks()->toPlainText(), "");
}

TEST_F(HeaderEditor, LoadRefusesAFileThatIsNotAHeader) {
    const fs::path other = sandbox / "h" / "run.txt";
    std::ofstream(other) << "[WellInfo]\nCompany=Wrong\n";
    CHeaderDlg dlg(context, op, QImage(), nullptr, march7());
    op.answerPath(other.string());
    QTest::mouseClick(dlg.loadButton(), Qt::LeftButton);
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Data file not present.\n" + other.string()});
    EXPECT_EQ(context.header.text("Company"), "");
    op.answerPath(std::nullopt);
    QTest::mouseClick(dlg.loadButton(), Qt::LeftButton);
    EXPECT_EQ(op.messages().size(), 1u);
}

TEST_F(HeaderEditor, DrawsTheLogoStretchedInThePictureArea) {
    QImage logo(4, 2, QImage::Format_RGB32);
    logo.fill(QColor(200, 30, 40));
    CHeaderDlg dlg(context, op, logo, nullptr, march7());
    dlg.resize(720, 520);
    dlg.page(2)->box("Date")->setText("07 March 2026");
    QWidget* area = dlg.page(0)->findChild<QWidget*>("picture");
    ASSERT_NE(area, nullptr);
    area->resize(160, 120);
    QImage shot = area->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(200, 30, 40));
    EXPECT_EQ(shot.pixelColor(shot.width() - 3, shot.height() - 3), QColor(200, 30, 40));

    // A look at the pages with the installed logo and a few typed values.
    if (std::getenv("QUELT_GRAB_DIR")) {
        QImage installed(QUELT_SOURCE_DATA_DIR "/logo.jpg");
        if (installed.isNull()) {
            installed = QImage(200, 100, QImage::Format_RGB32);
            QPainter p(&installed);
            QLinearGradient g(0, 0, 200, 100);
            g.setColorAt(0, QColor(20, 40, 120));
            g.setColorAt(1, QColor(90, 160, 220));
            p.fillRect(installed.rect(), g);
            p.setPen(Qt::white);
            p.setFont(QFont("Sans", 28, QFont::Bold));
            p.drawText(installed.rect(), Qt::AlignCenter, "VEXA");
        }
        CHeaderDlg shot(context, op, installed, nullptr, march7());
        shot.resize(720, 520);
        shot.page(0)->box("Company")->setText("Torvanel Survey");
        shot.page(0)->box("Wellname")->setText("Borehole 7");
        shot.page(2)->box("Engineer1")->setText("R. Ostrand");
        shot.remarksPage()->remarks()->setPlainText("Logged down at 2 m/min.\nCasing shoe at 12.40 m.");
        for (int i = 0; i < 5; ++i) {
            shot.tabs()->setCurrentIndex(i);
            uitest::grab(shot, "header_editor_" + std::to_string(i));
        }
    }
}
