// A log made on Windows reads here as it reads there. The fixture windows_log/WINLOG_H.HED is written by
// hand as the Windows program leaves a header: CRLF lines, backslash paths in the well texts, a decimal
// comma typed into ImageOffset, upper-case names. Its data file holds six lines of 386 bytes (DPTH,
// TIME, SHAN, GAIN, RESO, the six axes, 90 four-byte samples, CSUM): line i at 50.000 m + 1 cm × i,
// TIME 1000 × i, SHAN 45 × i, GAIN 10 (line 3: 128, 16-bit amplitudes), travel time 1200 + (5s + i) mod
// 500, amplitude s + i then 0x11 (line 3: 1000 + s), CSUM 400 + i.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/ProgramContext.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class WindowsLogTest : public ::testing::Test {
  protected:
    fs::path dir;
    ScriptedOperator op;
    ProgramContext context;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelt-winlog-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(startProgram((dir / "home").string(), op, context, error)) << error;
        // The Windows log as it came, and the same log as this system writes it: LF lines, lower case.
        fs::create_directories(dir / "Logs");
        fs::create_directories(dir / "unix");
        const fs::path fixture = fs::path(QUELT_TEST_DIR) / "windows_log";
        fs::copy_file(fixture / "WINLOG_H.HED", dir / "Logs" / "WINLOG_H.HED");
        fs::copy_file(fixture / "WINLOG_H.VIV", dir / "Logs" / "WINLOG_H.VIV");
        std::string lf;
        for (char c : readAll(fixture / "WINLOG_H.HED"))
            if (c != '\r') lf += c;
        std::ofstream(dir / "unix" / "winlog_h.hed", std::ios::binary) << lf;
        fs::copy_file(fixture / "WINLOG_H.VIV", dir / "unix" / "winlog_h.viv");
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Read {
        LogHeader header;
        std::vector<std::vector<std::uint8_t>> lines;
        std::vector<ParsedLine> parsed;
        std::vector<LiveValues> replayed;
    };
    Read open(const std::string& headerPath) {
        Read r;
        OpenedLog log;
        EXPECT_EQ(openLog(headerPath, *context.headerIo, op, log), OpenLogResult::Ok) << headerPath;
        EXPECT_FALSE(log.repaired);
        r.header = context.header;
        ReplayDecoder replay(context.settings, context.header, log.layout, 0.0);
        std::vector<std::uint8_t> line;
        for (std::uint64_t pos = 0; log.reader.readLine(pos, line); pos += line.size()) {
            ParsedLine p;
            parseDataLine(line, log.layout, p);
            replay.apply(p, log.layout);
            r.lines.push_back(line);
            r.parsed.push_back(p);
            r.replayed.push_back(replay.live.snapshot());
        }
        return r;
    }
};

}  // namespace

TEST_F(WindowsLogTest, CrlfLinesAndBackslashPathsReadAsTheSameLog) {
    // Named the Windows way: backslashes, another case; the data file is found beside it in upper case.
    const Read win = open(dir.string() + "\\logs\\Winlog_H.hed");
    const Read here = open((dir / "unix" / "winlog_h.hed").string());
    EXPECT_TRUE(op.messages().empty());

    const LogHeader& h = win.header;
    EXPECT_EQ(h, here.header);
    EXPECT_FALSE(h.corrupt);
    EXPECT_FALSE(h.readError);
    EXPECT_TRUE(h.descending);
    EXPECT_EQ(h.screenMode, 2);  // HorizontalMode 1
    EXPECT_DOUBLE_EQ(h.imageOffset, 12.5);
    EXPECT_DOUBLE_EQ(h.magneticDeclination, 1.5);
    EXPECT_DOUBLE_EQ(h.real("DrillFloor"), 1.25);
    EXPECT_EQ(h.text("Location"), "C:\\Logs\\Site 3");  // a text, kept as typed
    EXPECT_EQ(h.text("LogName"), "D:\\VEXA\\Data\\WINLOG_H.HED");
    EXPECT_EQ(h.text("Wellname"), "BH-7 Nord");  // no carriage return left on any value
    EXPECT_EQ(h.fileName, "WINLOG_H.VIV");
    EXPECT_EQ(h.channelCount, 13);
    EXPECT_EQ(h.channels[11].mnemonic, "SCAN");
    EXPECT_EQ(h.channels[12].unit, "");
    EXPECT_EQ(h.recLineSize, 386);
    EXPECT_EQ(h.endDepth, 50050);
    EXPECT_EQ(h.playbackWindow, 500);

    ASSERT_EQ(win.lines.size(), 6u);
    ASSERT_EQ(here.lines.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(win.lines[i], here.lines[i]);
        const ParsedLine& p = win.parsed[i];
        const auto n = static_cast<std::int64_t>(i);
        EXPECT_EQ(p.values[0], 50000 + 10 * n);
        EXPECT_EQ(p.values[1], 1000 * n);
        EXPECT_EQ(p.values[2], 45 * n);
        EXPECT_EQ(p.values[3], i == 3 ? 128 : 10);
        EXPECT_EQ(p.values[5], -3199 + 7 * n);
        EXPECT_EQ(p.values[12], 400 + n);
        ASSERT_EQ(p.sampleCount, 90);
        EXPECT_EQ(p.amplitudes16, i == 3);
        for (int s : {0, 1, 89}) {
            EXPECT_EQ(p.travelTimes[static_cast<size_t>(s)], 1200 + (5 * s + static_cast<int>(i)) % 500);
            EXPECT_EQ(p.amplitudes[static_cast<size_t>(s)], i == 3 ? 1000 + s : s + static_cast<int>(i));
        }
        EXPECT_EQ(win.replayed[i].depth, here.replayed[i].depth);
        EXPECT_DOUBLE_EQ(win.replayed[i].depth, 50.0 + 0.01 * static_cast<double>(i));
        EXPECT_EQ(win.replayed[i].tilt, here.replayed[i].tilt);
        EXPECT_EQ(win.replayed[i].highSide, here.replayed[i].highSide);
    }
}
