#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "LogFixture.h"

using namespace quelt::testing;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

RunResult runQuelt(const fs::path& sandbox, const std::string& args) {
    std::string cmd = "HOME='" + sandbox.string() + "' XDG_CONFIG_HOME='" + (sandbox / "config").string() +
                      "' '" + QUELT_BIN + "' --home '" + (sandbox / "home").string() + "' " + args + " 2>&1";
    RunResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
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
