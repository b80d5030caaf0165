// quelt render: the rows of a replayed log written as a picture file.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <cmath>

#include "config/Header.h"
#include "export/ExportAdapters.h"
#include "imaging/Picture.h"
#include "sim/Borehole.h"
#include "sim/Scenario.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"
#include "tests/support/QueltRun.h"

namespace {

namespace fs = std::filesystem;

using RunResult = quelt::test::QueltRun;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class RenderCli : public ::testing::Test {
  protected:
    static fs::path dir;
    static std::string log;  // a simulated log of the clean scenario
    static int lines;

    static RunResult run(const std::string& args) {
        return quelt::test::runQuelt(dir, args, quelt::test::Stderr::Merged, dir / "home");
    }

    static void SetUpTestSuite() {
        dir = fs::temp_directory_path() / ("quelt-render-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        RunResult r = run("--device sim acquire --out '" + (dir / "logs" / "sim").string() +
                          "' --fast --seconds 90 --orientation north --json");
        ASSERT_EQ(r.exitCode, 0) << r.out;
        log = (dir / "logs" / "sim_N.HED").string();
        auto at = r.out.find("\"lines\":");
        ASSERT_NE(at, std::string::npos) << r.out;
        lines = std::stoi(r.out.substr(at + 8));
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
};

fs::path RenderCli::dir;
std::string RenderCli::log;
int RenderCli::lines = 0;

// Width and height of a 24-bit BMP file, and the blue-green-red pixel of (row from the top, column).
struct Bmp {
    int width = 0, height = 0;
    std::string bytes;
    explicit Bmp(std::string b) : bytes(std::move(b)) {
        auto le = [&](size_t at) {
            return static_cast<int>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8 |
                                    static_cast<unsigned char>(bytes[at + 2]) << 16 |
                                    static_cast<unsigned char>(bytes[at + 3]) << 24);
        };
        if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return;
        width = le(18);
        height = le(22);
    }
    std::array<int, 3> bgr(int row, int column) const {
        size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        size_t at = 54 + static_cast<size_t>(height - 1 - row) * stride + static_cast<size_t>(column) * 3;
        return {static_cast<unsigned char>(bytes[at]), static_cast<unsigned char>(bytes[at + 1]),
                static_cast<unsigned char>(bytes[at + 2])};
    }
};

}  // namespace

TEST_F(RenderCli, EveryLineOfTheLogBecomesOneRowOfTheFile) {
    ASSERT_GT(lines, 100);
    fs::path bmp = dir / "all.bmp";
    RunResult r = run("render '" + log + "' -o '" + bmp.string() + "' --screen-height 100");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find(bmp.string()), std::string::npos);
    Bmp b(readFile(bmp));
    EXPECT_EQ(b.width, 764);
    EXPECT_EQ(b.height, lines);
    // The depth track's background between the two pictures.
    auto track = b.bgr(lines / 2, 402);
    EXPECT_EQ(track, (std::array<int, 3>{0xF0, 0xF0, 0xF0}));

    // Grey levels; and a JPEG of a range of 40 lines.
    r = run("render '" + log + "' -o '" + (dir / "grey.bmp").string() + "' --bw");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    Bmp g(readFile(dir / "grey.bmp"));
    for (int c = 0; c < 360; c += 17) {
        auto p = g.bgr(lines / 2, c);
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "column " << c;
    }
    r = run("render '" + log + "' -o '" + (dir / "part.JPG").string() + "' --from 10.5 --to 10.7");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string jpeg = readFile(dir / "part.JPG");
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(
        quelt::decodeJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), pixels, w, h));
    EXPECT_EQ(w, 764);
    EXPECT_NEAR(h, 20, 1);  // about one line a centimetre
}

TEST_F(RenderCli, RefusesWhatItCannotDo) {
    struct Case {
        std::string args;
        int exitCode;
    } cases[] = {
        {"render '" + log + "' -o x.png", 2},
        {"render '" + log + "'", 2},
        {"render '" + log + "' -o x.bmp --palette 10", 2},
        {"render '" + log + "' -o x.bmp --screen-height 20", 2},
        {"render '" + (dir / "nothing.HED").string() + "' -o '" + (dir / "x.bmp").string() + "'", 1},
        {"render '" + log + "' -o '" + (dir / "none" / "x.bmp").string() + "'", 1},
        {"render --live -o x.bmp", 2},  // how long?
        {"render --live --seconds 5 -o x.bmp --orientation up", 2},
        {"render '" + log + "' -o x.bmp --seconds 5", 2},  // a live option on a log
        {"render --help", 0},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.out;
    }
}

// The simulator's fractures in the rendered amplitude picture: for each fracture of the simulated
// hole and each of a dozen beam directions, the darkest row of that column near the fracture is the
// row where the simulator's plane meets the wall in that direction (the beam direction taken from the
// orientation the line's own axes give).
TEST_F(RenderCli, FracturesOfTheSimulatedHoleShowWhereTheSimulatorPutThem) {
    const std::uint64_t seed = 3;
    RunResult r = run("--device sim acquire --out '" + (dir / "logs" / "frac").string() +
                      "' --fast --seconds 200 --orientation none --scenario deviated --seed 3");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string hed = (dir / "logs" / "frac_X.HED").string();
    fs::path bmp = dir / "frac.bmp";
    r = run("render '" + hed + "' -o '" + bmp.string() + "' --bw");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    Bmp picture(readFile(bmp));

    // The log's lines as the replay reads them: depth, resolution and orientation of each row.
    quelt::Settings settings;
    quelt::ProgramPaths paths;
    quelt::PlacementRecord placements;
    quelt::ScriptedOperator op;
    quelt::SondeDatabase sondes(settings, op);
    quelt::LogHeader header;
    quelt::CHeader io(settings, paths, placements, op, header, sondes);
    quelt::OpenedLog log;
    ASSERT_EQ(quelt::openLog(hed, io, op, log, false), quelt::OpenLogResult::Ok);
    quelt::ReplayDecoder replay(settings, header, log.layout, 0.0);
    quelt::DecoderOrientation orientation(settings);
    struct Row {
        double depth;
        int samples;
        quelt::sim::Orientation o;
    };
    std::vector<Row> rows;
    std::vector<std::uint8_t> bytes;
    quelt::ParsedLine parsed;
    for (std::uint64_t p = 0; log.reader.readLine(p, bytes); p += log.reader.lineSize()) {
        quelt::parseDataLine(bytes, log.layout, parsed);
        replay.apply(parsed, log.layout);
        const quelt::LiveValues v = replay.live.snapshot();
        auto o = orientation.values(v.gx, v.gy, v.gz, v.hx, v.hy, v.hz, 0.0);
        ASSERT_TRUE(o.has_value());
        rows.push_back(
            {v.fileDepth, quelt::samplesForResolution(v.resolutionCode), {o->tilt, o->azimuth, o->highSide}});
    }
    ASSERT_EQ(static_cast<int>(rows.size()), picture.height);

    quelt::sim::Scenario scenario;
    ASSERT_TRUE(quelt::sim::builtinScenario("deviated", seed, scenario));
    const quelt::sim::Borehole hole(quelt::sim::boreholeOf(scenario));
    const auto& drawn = hole.description();
    int checked = 0, matched = 0;
    for (const auto& f : drawn.fractures) {
        if (f.depth < rows.front().depth + 0.4 || f.depth > rows.back().depth - 0.4 ||
            f.depth < drawn.casingBottom)
            continue;
        const double d = f.dip * M_PI / 180, a = f.dipAzimuth * M_PI / 180;
        const quelt::sim::Vec3 n{-std::sin(d) * std::cos(a), -std::sin(d) * std::sin(a), std::cos(d)};
        const quelt::sim::Vec3 q = hole.position(f.depth);
        for (int k = 0; k < 12; ++k) {
            int predicted = -1, darkest = -1;
            double best = 1e9;
            int darkValue = 256;
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
                if (std::fabs(rows[i].depth - f.depth) > 0.35) continue;
                const int ns = rows[i].samples, sample = k * ns / 12, code = 360 / ns;
                const quelt::sim::Vec3 b = quelt::sim::toolFrame(rows[i].o).beam(360.0 * sample / ns);
                const double radius = hole.diameter(rows[i].depth) / 2000.0;
                const double s = std::fabs(quelt::sim::dot(n, hole.position(rows[i].depth) + radius * b - q));
                if (s < best) best = s, predicted = i;
                const int grey = picture.bgr(i, 404 + sample * code)[0];
                if (grey < darkValue) darkValue = grey, darkest = i;
            }
            ++checked;
            if (std::abs(darkest - predicted) <= 2) ++matched;
        }
    }
    ASSERT_GE(checked, 24) << "fractures in the log";
    EXPECT_GE(matched, checked * 8 / 10) << matched << " of " << checked;
}

// The live picture of a turning tool in a deviated hole, rotated to magnetic north, holds still: the
// direction in which the travel-time picture is brightest (the far wall of a tool lying on the low
// side) stays in one column, while without orientation it turns with the tool.
TEST_F(RenderCli, ALiveNorthOrientedPictureOfATurningToolHoldsStill) {
    auto spread = [&](const std::string& orientation) {
        fs::path bmp = dir / ("live-" + orientation + ".bmp");
        RunResult r = run(
            "--device sim render --live --seconds 120 --fast --scenario deviated --seed 3 --orientation " +
            orientation + " -o '" + bmp.string() + "'");
        EXPECT_EQ(r.exitCode, 0) << r.out;
        Bmp b(readFile(bmp));
        EXPECT_GT(b.height, 300);
        std::vector<double> directions;
        for (int row = 0; row < b.height; row += 10) {
            double sx = 0, sy = 0;
            for (int c = 0; c < 360; ++c) {
                auto p = b.bgr(row, c);
                double v = p[0] + p[1] + p[2];
                sx += v * std::cos(c * M_PI / 180);
                sy += v * std::sin(c * M_PI / 180);
            }
            directions.push_back(std::atan2(sy, sx) * 180 / M_PI);
        }
        double widest = 0;
        for (double a : directions)
            for (double b2 : directions)
                widest = std::max(widest, std::fabs(std::remainder(a - b2, 360.0)));
        return widest;
    };
    EXPECT_LT(spread("north"), 8.0);
    EXPECT_GT(spread("none"), 60.0);
}
