#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "LogFixture.h"
#include "export/HtmlReport.h"

using namespace quelt;
using namespace quelt::testing;

namespace {

// Lines at given depths (metres).
class VectorSource final : public ReportLineSource {
  public:
    std::vector<double> depths;
    bool readLine(ReportLine& line) override {
        if (pos_ >= depths.size()) return false;
        line.depthMetres = depths[pos_++];
        line.resolutionCode = 2;
        return true;
    }
    std::uint64_t position() const override { return pos_; }
    void setPosition(std::uint64_t p) override { pos_ = p; }

  private:
    std::uint64_t pos_ = 0;
};

// Records what the report asks of the raster; writes a small file for each picture.
class RecordingRaster final : public ReportRaster {
  public:
    struct Save {
        std::string path;
        int rows;
        bool flip;
    };
    std::vector<Save> saves;
    std::vector<std::pair<int, int>> labels;  // (report line, value) of glyph row 0
    std::vector<int> ticks;                   // report line of each tick
    int composed = 0;
    bool failSaves = false;

    void ClearRaster() override {}
    void ComposeRow(int, const ReportLine&) override { ++composed; }
    void DrawLabel(int, int value, int glyphRow) override {
        if (glyphRow == 0) labels.emplace_back(composed, value);
    }
    void DrawTick(int, int) override { ticks.push_back(composed); }
    void DrawTrackBase() override {}
    bool SaveJpeg(const std::string& path, int rows, bool flip) override {
        if (failSaves) return false;
        saves.push_back({path, rows, flip});
        std::ofstream(path) << "jpeg";
        return true;
    }
};

LogHeader headerFor(const std::vector<double>& depths) {
    LogHeader h;
    h.fileStartDepth = static_cast<int>(std::lround(depths.front() * 1000));
    h.fileEndDepth = static_cast<int>(std::lround(depths.back() * 1000));
    h.endDepth = h.fileEndDepth;
    return h;
}

std::vector<double> ramp(int lines, double start, double step) {
    std::vector<double> d;
    for (int i = 0; i < lines; ++i)
        d.push_back(static_cast<double>(std::lround(start * 1000) + std::lround(step * 1000) * i) / 1000.0);
    return d;
}

std::vector<std::string> heightsOf(const std::string& page) {
    std::vector<std::string> h;
    for (size_t p = page.find("<img height='"); p != std::string::npos; p = page.find("<img height='", p + 1))
        h.push_back(page.substr(p + 13, page.find('\'', p + 13) - p - 13));
    return h;
}

class HtmlReportTest : public ::testing::Test {
  protected:
    fs::path dir;
    RecordingRaster raster;
    void SetUp() override {
        dir =
            freshDir(std::string("html-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(HtmlReportTest, PicturesOf400RowsAndTheirHeightsOnThePage) {
    struct Case {
        int lines;
        double step;
        std::vector<int> rows;
        std::vector<std::string> heights;
        bool flip;
    };
    const Case cases[] = {
        {1000, 0.005, {400, 400, 200}, {"300", "300", "150"}, false},
        {1000, -0.005, {400, 400, 200}, {"150", "300", "300"}, true},
        {399, 0.005, {399}, {"297"}, false},
        {800, 0.005, {400, 400}, {"300", "300"}, false},
    };
    for (const auto& k : cases) {
        raster.saves.clear();
        VectorSource src;
        src.depths = ramp(k.lines, 20.0, k.step);
        CHtmlReport report(dir.string(), 0, raster);
        ASSERT_TRUE(report.MakeHtmlReport(src, headerFor(src.depths), "log")) << k.lines;
        std::vector<int> rows;
        for (const auto& s : raster.saves) {
            rows.push_back(s.rows);
            EXPECT_EQ(s.flip, k.flip);
        }
        EXPECT_EQ(rows, k.rows) << k.lines;
        EXPECT_EQ(heightsOf(readText(report.pagePath("log"))), k.heights) << k.lines;
    }
}

TEST_F(HtmlReportTest, PictureNamesCarryAbsoluteDepthsWithPoints) {
    VectorSource src;
    src.depths = ramp(500, -3.5, 0.001);  // -3.5 .. -3.001
    CHtmlReport report(dir.string(), 0, raster);
    LogHeader h = headerFor(src.depths);
    ASSERT_TRUE(report.MakeHtmlReport(src, h, "deep"));
    EXPECT_EQ(report.pictures(),
              (std::vector<std::string>{"deep+0003.50-0003.10.jpg", "deep+0003.10-0003.00.jpg"}));
    EXPECT_EQ(reportPictureName("x", 12.345, 1234.5), "x+0012.35-1234.50.jpg");
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(reportPictureName("x", 1.25, 2.5), "x+0001.25-0002.50.jpg");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST_F(HtmlReportTest, ThePageIsExactAndEscapesTheLogName) {
    VectorSource src;
    src.depths = ramp(10, 1.0, 0.01);
    CHtmlReport report(dir.string(), 0, raster);
    ASSERT_TRUE(report.MakeHtmlReport(src, headerFor(src.depths), "a&b <c>"));
    std::string page = readText(report.pagePath("a&b <c>"));
    EXPECT_EQ(
        page,
        "<html><head><title>QueltLogger VEXA</title>\n"
        "<meta http-equiv='Content-Type' content='text/html; charset=iso-8859-1'>\n"
        "</head><body bgcolor='#FFFFFF' text='#000000'>"
        "<table border='0' cellspacing='10' cellpadding='0' width='679' align='center'>"
        "<tr><td colspan='3' align='center' height='119'>\n<p><h2><p><i><b><font color='#0000FF'>QueltLogger "
        "VEXA </font></b></i></p>\n"
        "<p>File : a&amp;b &lt;c&gt;</p></h2></td></tr><tr>\n<td colspan='3' align='center' height='119'>\n"
        "<img height='6' width='568' src='a%26b%20%3Cc%3E+0001.00-0001.09.jpg' border='0'  nosave><br>\n"
        "</td>\n</tr>\n</table>\n</body>\n</html>");
    EXPECT_TRUE(fs::exists(fs::path(report.reportFolder("a&b <c>")) / "a&b <c>+0001.00-0001.09.jpg"));
}

TEST_F(HtmlReportTest, CountLinesGivesOneMoreThanTheLines) {
    CHtmlReport report(dir.string(), 0, raster);
    for (int n : {0, 1, 401, 1000}) {
        VectorSource src;
        src.depths = ramp(n, 1.0, 0.01);
        EXPECT_EQ(report.CountLines(src), n + 1) << n;
        EXPECT_EQ(src.position(), 0u);
    }
}

TEST_F(HtmlReportTest, EarlierFilesGoAndAFailedSaveStopsWithoutAPage) {
    CHtmlReport report(dir.string(), 0, raster);
    fs::create_directories(report.reportFolder("log"));
    std::ofstream(fs::path(report.reportFolder("log")) / "old.JPG") << "x";
    std::ofstream(fs::path(report.reportFolder("log")) / "keep.txt") << "x";
    VectorSource src;
    src.depths = ramp(10, 1.0, 0.01);
    raster.failSaves = true;
    std::string last;
    report.status = [&](const std::string& s) { last = s; };
    EXPECT_FALSE(report.MakeHtmlReport(src, headerFor(src.depths), "log"));
    EXPECT_EQ(last, "HTML generation aborded !!! ");
    EXPECT_FALSE(fs::exists(fs::path(report.reportFolder("log")) / "old.JPG"));
    EXPECT_TRUE(fs::exists(fs::path(report.reportFolder("log")) / "keep.txt"));
    EXPECT_FALSE(fs::exists(report.pagePath("log")));
}

TEST_F(HtmlReportTest, LabelsMarkWholeMetresFromTheTwelfthLineOn) {
    VectorSource src;
    src.depths = ramp(300, 0.95, 0.01);  // 0.95 .. 3.94
    CHtmlReport report(dir.string(), 0, raster);
    ASSERT_TRUE(report.MakeHtmlReport(src, headerFor(src.depths), "log"));
    // The tick of line 2 keeps the counter running to line 13 (nothing is drawn before the 12th line), so
    // the crossing of 1 m at line 6 is seen on line 14; 2 m and 3 m are labelled on their own lines.
    EXPECT_EQ(raster.labels, (std::vector<std::pair<int, int>>{{14, 1}, {106, 2}, {206, 3}}));
    for (int t : raster.ticks)
        EXPECT_GE(t, 12);
}

TEST_F(HtmlReportTest, TheDataFileSourceReadsTheLogsLines) {
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    for (int d = 5000; d < 5100; d += 10) {
        FixtureLine l;
        l.depth = d;
        log.lines.push_back(l);
    }
    std::string hed = log.write(dir, "src");
    LogHeader h;
    // The channel layout as the header reader gives it.
    for (int c = 0; c < 23; ++c) {
        HeaderChannel ch;
        static const int kTypes[] = {4, 4, 2, 3, 3, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 1, 1, 1, 12, 3};
        ch.sampleType = kTypes[c];
        ch.sampleCount = c == 21 ? kFixtureSamples : 1;
        ch.kind = c == 0 ? channel::DPTH : 0;
        h.channels.push_back(ch);
    }
    h.recLineSize = kFixtureFullLine;
    DataFileLineSource src;
    ASSERT_TRUE(src.open((dir / "src.VIV").string(), h));
    ReportLine line;
    ASSERT_TRUE(src.readLine(line));
    EXPECT_DOUBLE_EQ(line.depthMetres, 5.0);
    EXPECT_EQ(line.resolutionCode, 4);
    CHtmlReport report(dir.string(), 0, raster);
    src.setPosition(0);
    EXPECT_EQ(report.CountLines(src), 11);
}
