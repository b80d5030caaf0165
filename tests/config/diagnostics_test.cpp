#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "config/Diagnostics.h"
#include "config/Ini.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {
class DiagnosticsTest : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelt-diag-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        Diagnostics::configure("", false);
        fs::remove_all(dir);
    }
};
}  // namespace

TEST_F(DiagnosticsTest, NothingIsWrittenWhileTheSwitchIsOff) {
    Diagnostics::configure(dir.string(), false);
    TraceDebug("ToolStream::16 bytes receiving USBFrame:%2X Checksum error !!!\n", 7);
    WriteErrorLog("code", "status");
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(DiagnosticsTest, TraceLinesCarryTheTimeAndTheMessage) {
    Diagnostics::configure(dir.string(), true);
    TraceDebug("ToolStream::16 bytes receiving USBFrame:%2X Checksum error !!!\n", 7);
    TraceDebug("second %s\n", "line");
    std::ifstream in(dir / "debug.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::regex line(
        R"(\[[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d\]ToolStream::16 bytes receiving USBFrame: 7 Checksum error !!!
\[.{19}\]second line
)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(DiagnosticsTest, SameStatusInTheSameSecondLeavesOneEntryWithTheLaterCode) {
    Diagnostics::configure(dir.string(), true);
    std::string stamp;
    do {  // both writes must fall in one second
        stamp = asctimeStamp();
        fs::remove(dir / "error.log");
        WriteErrorLog("first code", "FT_IO_ERROR");
        WriteErrorLog("second code", "FT_IO_ERROR");
    } while (stamp != asctimeStamp());
    IniDocument doc = IniDocument::parse([&] {
        std::ifstream in(dir / "error.log", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }());
    ASSERT_EQ(doc.sections().size(), 1u);
    EXPECT_EQ(doc.keys(doc.sections()[0]).size(), 1u);
    EXPECT_EQ(doc.get(stamp + " ", "FT_IO_ERROR"), "second code");
}

TEST_F(DiagnosticsTest, ExceptionReportGoesToStandardError) {
    ::testing::internal::CaptureStderr();
    ReportException("CToolsStream::WriteDataFile", "ToolsStream.cpp", 42);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Function: CToolsStream::WriteDataFile\nFile: ToolsStream.cpp\nLine: 42\n");
}
