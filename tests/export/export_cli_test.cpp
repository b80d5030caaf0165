#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <set>

#include "LogFixture.h"
#include "imaging/Picture.h"
#include "tests/support/QueltRun.h"

using namespace quelt::testing;

namespace {

using RunResult = quelt::test::QueltRun;

RunResult runQuelt(const fs::path& sandbox, const std::string& args) {
    return quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Merged, sandbox / "home");
}

class ExportCliTest : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override { dir = freshDir(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    void TearDown() override { fs::remove_all(dir); }
};

}  // namespace

TEST_F(ExportCliTest, LasWritesTheFileIntoTheLogsFolderAndStoresTheCurves) {
    std::string hed = centimetreLog(10000, 12000).write(dir / "logs", "cli");
    RunResult r = runQuelt(dir, "las '" + hed + "' --step 10cm --curves speed,tgrav --from 9.5 --to 10.5");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("File migred."), std::string::npos) << r.out;
    std::string las = readText(dir / "logs" / "LAS20" / "cli.las");
    EXPECT_NE(las.find("~A  DEPTH     SPEED     TGRAV\n"), std::string::npos);
    EXPECT_NE(readText(dir / "home" / "Zorak.cfg").find("ExportTgrav=1"), std::string::npos);

    // A second run neither replaces without being told nor succeeds.
    r = runQuelt(dir, "las '" + hed + "'");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("Migration to LAS file aborted. "), std::string::npos) << r.out;
    r = runQuelt(dir, "las '" + hed + "' --from 50");
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("Bad entry value (begining"), std::string::npos) << r.out;
}

TEST_F(ExportCliTest, ResamplePrintsWhatItFoundAndWritesALogOnTheGrid) {
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    log.screenMode = 0;
    for (int d = 10000; d <= 11000; d += 5) {
        FixtureLine l;
        l.depth = d;
        log.lines.push_back(l);
    }
    std::string hed = log.write(dir / "logs", "rs_N");
    RunResult r = runQuelt(dir, "resample '" + hed + "' --interval 10 --orientation none");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("Direction: Down"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(3 - 25)"), std::string::npos) << r.out;
    fs::path out = dir / "logs" / "RESAMPLING" / "rs_X.viv";
    ASSERT_TRUE(fs::exists(out)) << r.out;
    quelt::DataFileReader reader;
    ASSERT_TRUE(reader.open(out.string(), kFixtureFullLine));
    EXPECT_EQ(reader.wholeLines(), 101u);
    EXPECT_EQ(reader.trailingBytes(), 0u);
    for (std::uint64_t i = 0; i < reader.wholeLines(); ++i) {
        std::int32_t d = 0;
        ASSERT_TRUE(reader.readDepthField(i * kFixtureFullLine, d));
        EXPECT_EQ(d, 10000 + 10 * static_cast<int>(i));
    }
    r = runQuelt(dir, "resample '" + hed + "' --interval 2");
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("Minimal interval : 3 mm"), std::string::npos) << r.out;
}

TEST_F(ExportCliTest, ResamplePreviewIsTheExportRasterOfTheFirstLines) {
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    log.screenMode = 0;
    for (int d = 10000; d <= 10500; d += 5) {
        FixtureLine l;
        l.depth = d;
        log.lines.push_back(l);
    }
    std::string hed = log.write(dir / "logs", "pv");
    fs::path jpg = dir / "preview.jpg";
    RunResult r = runQuelt(dir, "resample '" + hed + "' --preview '" + jpg.string() +
                                    "' --preview-rows 120 --preview-only --orientation none");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(fs::exists(dir / "logs" / "RESAMPLING" / "pv_X.viv"));
    std::string bytes = readText(jpg);
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(
        quelt::decodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pixels, w, h));
    EXPECT_EQ(w, 764);
    EXPECT_EQ(h, 120);
    // The track between the halves is the light grey of the export raster; the halves show the samples.
    auto rgb = [&](int row, int column) { return pixels[static_cast<size_t>(row * w + column)] & 0xFFFFFF; };
    auto near = [](std::uint32_t a, std::uint32_t b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF)) > 6) return false;
        return true;
    };
    EXPECT_TRUE(near(rgb(60, 382), 0xD3D0C9)) << std::hex << rgb(60, 382);
    std::set<std::uint32_t> seen;
    for (int c = 404; c < 764; c += 4)  // the fixture's amplitudes run through every level
        seen.insert(rgb(60, c) >> 4);
    EXPECT_GT(seen.size(), 5u);

    r = runQuelt(dir, "resample '" + hed + "' --preview '" + (dir / "p.png").string() + "'");
    EXPECT_EQ(r.exitCode, 2) << r.out;
    r = runQuelt(dir, "resample '" + hed + "' --preview-only");
    EXPECT_EQ(r.exitCode, 2) << r.out;
}

TEST_F(ExportCliTest, HtmlWritesThePicturesAndThePageOfTheChosenRange) {
    FixtureLog log;
    log.recLineSize = kFixtureFullLine;
    for (int i = 0; i < 1000; ++i) {
        FixtureLine l;
        l.depth = 10000 + 5 * i;  // 10.000 .. 14.995 m
        log.lines.push_back(l);
    }
    std::string hed = log.write(dir / "logs", "rep");
    RunResult r = runQuelt(dir, "html '" + hed + "'");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    fs::path folder = dir / "logs" / "rep-HTML";
    EXPECT_NE(r.out.find((folder / "rep.html").string()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Check file - 3 pictures found - wait..."), std::string::npos) << r.out;
    std::string page = readText(folder / "rep.html");
    for (const char* pic :
         {"rep+0010.00-0011.99.jpg", "rep+0012.00-0013.99.jpg", "rep+0014.00-0014.99.jpg"}) {
        EXPECT_NE(page.find(std::string("src='") + pic + "'"), std::string::npos) << pic << "\n" << page;
        std::string bytes = readText(folder / pic);
        std::vector<std::uint32_t> pixels;
        int w = 0, h = 0;
        ASSERT_TRUE(quelt::decodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                      pixels, w, h))
            << pic;
        EXPECT_EQ(w, 764);
        EXPECT_EQ(h, pic[7] == '4' ? 200 : 400) << pic;
    }

    // A range: the lines from 11.000 m to 12.000 m make one picture of 201 rows named after the range.
    r = runQuelt(dir, "html '" + hed + "' --from 11 --to 12");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(fs::exists(folder / "rep+0011.00-0012.00.jpg")) << r.out;
    EXPECT_FALSE(fs::exists(folder / "rep+0010.00-0011.99.jpg"));  // earlier pictures are cleared
    EXPECT_NE(readText(folder / "rep.html").find("<img height='150' width='568'"), std::string::npos);

    // Outside the log: the replay start's own check and range.
    r = runQuelt(dir, "html '" + hed + "' --from 30");
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("Set at max : 14.98m (Depth : 10.01 m to 14.98 m)"), std::string::npos) << r.out;
    r = runQuelt(dir, "html '" + hed + "' --from 11 --to 30");
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("the log runs from 10.00 m to 14.99 m"), std::string::npos) << r.out;
    r = runQuelt(dir, "html '" + (dir / "missing.HED").string() + "'");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    r = runQuelt(dir, "html --help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("usage: quelt html PATH.HED"), std::string::npos);
}
