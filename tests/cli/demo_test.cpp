// The demonstration log: recorded by the build on the simulated logger, copied into every new program
// folder, ready to be replayed at once.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "config/Ini.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class DemoLogTest : public ::testing::Test {
  protected:
    fs::path sandbox, home;
    void SetUp() override {
        sandbox = fs::temp_directory_path() / ("quelt-demo-" + std::to_string(::getpid()));
        fs::remove_all(sandbox);
        fs::create_directories(sandbox);
        home = sandbox / "home";
    }
    void TearDown() override { fs::remove_all(sandbox); }

    // quelt on `home` with a user folder of its own; standard error with standard output.
    std::pair<int, std::string> quelt(const std::string& args) {
        std::string cmd = "HOME='" + sandbox.string() + "' XDG_CONFIG_HOME='" +
                          (sandbox / "config").string() + "' QUELT_HOME= QUELT_DATA_DIR= '" + QUELT_BIN +
                          "' --home '" + home.string() + "' " + args + " 2>&1";
        std::string out;
        FILE* p = ::popen(cmd.c_str(), "r");
        std::array<char, 4096> buf;
        size_t n;
        while (p && (n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        int status = p ? ::pclose(p) : -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
    }
};

}  // namespace

TEST_F(DemoLogTest, ANewProgramFolderHoldsTheDemonstrationLogReadyToReplay) {
    if (std::string(QUELT_BUILD_DEMO_DIR).empty()) GTEST_SKIP() << "built without the demonstration log";
    const fs::path built = fs::path(QUELT_BUILD_DEMO_DIR);
    ASSERT_TRUE(fs::exists(built / "Demo.HED")) << "the build records it (target demo_log)";

    auto [rc, info] = quelt("info '" + (home / "Demo" / "Demo.HED").string() + "' --json");
    ASSERT_EQ(rc, 0) << info;
    for (const char* m : {"\"demo\": true", "\"corrupt\": false", "\"descending\": true",
                          "\"wholeLines\": 2400", "\"trailingBytes\": 0", "\"fileName\": \"Demo.VIV\"",
                          "\"screenMode\": 2", "\"recLineSize\": 759", "\"Date\": \"02 March 2026\""})
        EXPECT_NE(info.find(m), std::string::npos) << m << "\n" << info;
    // A copy of what the build recorded, byte for byte; the first start points at it.
    for (const char* name : {"Demo.HED", "Demo.VIV"})
        EXPECT_TRUE(readAll(home / "Demo" / name) == readAll(built / name)) << name;
    const std::string cfg = (home / "Zorak.cfg").string();
    EXPECT_EQ(quelt::readProfileString(cfg, "QueltLogger", "DataFile", ""),
              (home / "Demo/Demo.VIV").string());

    auto [played, replay] = quelt("replay '" + (home / "Demo" / "Demo.HED").string() + "' --speed 50");
    EXPECT_EQ(played, 0) << replay;
    EXPECT_NE(replay.find("2400 lines played"), std::string::npos) << replay;

    // Only a new folder is given one: a demonstration log the user deleted stays deleted.
    fs::remove_all(home / "Demo");
    ASSERT_EQ(quelt("settings").first, 0);
    EXPECT_FALSE(fs::exists(home / "Demo"));
}
