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
