#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {
class PathsTest : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelt-paths-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
};
}  // namespace

TEST_F(PathsTest, NamesResolveWithoutRegardToCaseComponentByComponent) {
    fs::create_directories(dir / "DEMO");
    std::ofstream(dir / "DEMO" / "demo.hed") << "x";
    EXPECT_EQ(resolveNoCase(dir / "Demo" / "Demo.HED"), dir / "DEMO" / "demo.hed");
    EXPECT_EQ(resolveNoCase(dir / "DEMO" / "demo.hed"), dir / "DEMO" / "demo.hed");
    EXPECT_EQ(resolveNoCase(dir / "Demo" / "Other.HED"), dir / "Demo" / "Other.HED");
    EXPECT_EQ(nativePath("C:\\Logs\\Demo\\Demo.HED"), "C:/Logs/Demo/Demo.HED");
}

TEST_F(PathsTest, OnlyAnEmptyHomeIsFilledFromTheInstallationData) {
    fs::path data = dir / "data", home = dir / "home", used = dir / "used";
    fs::create_directories(data / "Demo");
    std::ofstream(data / "Zorak.tol") << "installed";
    std::ofstream(data / "Demo" / "Demo.HED") << "demo";
    // The source tree's data also holds the system files, which a program folder does not want.
    fs::create_directories(data / "udev");
    fs::create_directories(data / "desktop");
    std::ofstream(data / "udev" / "60-queltlogger.rules.in") << "rule";
    std::ofstream(data / "desktop" / "queltlogger.desktop") << "entry";
    std::string error;
    ASSERT_TRUE(prepareHome(home, data, error)) << error;
    EXPECT_TRUE(fs::exists(home / "Zorak.tol"));
    EXPECT_TRUE(fs::exists(home / "Demo" / "Demo.HED"));
    EXPECT_FALSE(fs::exists(home / "udev"));
    EXPECT_FALSE(fs::exists(home / "desktop"));

    fs::create_directories(used);
    std::ofstream(used / "Zorak.cfg") << "mine";
    ASSERT_TRUE(prepareHome(used, data, error));
    EXPECT_FALSE(fs::exists(used / "Zorak.tol"));

    std::ofstream(dir / "afile") << "x";
    EXPECT_FALSE(prepareHome(dir / "afile" / "sub", data, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PathsTest, HomeChoiceFollowsOptionThenEnvironmentThenXdg) {
    ::setenv("QUELT_HOME", "/srv/quelt", 1);
    EXPECT_EQ(chooseHome("/opt/h"), fs::path("/opt/h"));
    EXPECT_EQ(chooseHome(""), fs::path("/srv/quelt"));
    ::unsetenv("QUELT_HOME");
    ::setenv("XDG_DATA_HOME", "/x/share", 1);
    EXPECT_EQ(chooseHome(""), fs::path("/x/share/queltlogger"));
    ::unsetenv("XDG_DATA_HOME");
}

// A first start cut short (killed while copying, or a copy that fails) leaves no half-filled home: the
// next start finds it missing or empty, fills it whole and removes the abandoned staging folder.
TEST_F(PathsTest, AFirstStartFillsTheHomeWholeOrNotAtAll) {
    fs::path data = dir / "data", home = dir / "home";
    fs::create_directories(data / "Demo");
    std::ofstream(data / "Zorak.tol") << "installed";
    std::ofstream(data / "Demo" / "Demo.VIV") << std::string(4096, 'v');

    // A killed first start: its staging folder holds a truncated data file, the home is still empty.
    pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const fs::path abandoned = dir / (".home.filling." + std::to_string(gone));
    fs::create_directories(abandoned / "Demo");
    std::ofstream(abandoned / "Demo" / "Demo.VIV") << "vv";
    fs::create_directories(home);

    // A copy that fails half way (a named pipe among the data cannot be copied) fills nothing.
    ASSERT_EQ(::mkfifo((data / "pipe").c_str(), 0644), 0);
    std::string error;
    EXPECT_FALSE(prepareHome(home, data, error));
    EXPECT_NE(error.find(home.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(home));

    fs::remove(data / "pipe");
    std::vector<fs::path> added;
    ASSERT_TRUE(prepareHome(home, data, error, [&](const fs::path& staging) { added.push_back(staging); }))
        << error;
    EXPECT_EQ(fs::file_size(home / "Demo" / "Demo.VIV"), 4096u);
    EXPECT_TRUE(fs::exists(home / "Zorak.tol"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_NE(added[0], home) << "additions go to the staging folder, renamed with the rest";
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".filling."), std::string::npos) << entry.path();
}
