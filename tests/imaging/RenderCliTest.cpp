// quelt render: the rows of a replayed log written as a picture file.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/Picture.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
};

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
        std::string cmd = "HOME='" + dir.string() + "' XDG_CONFIG_HOME='" + (dir / "config").string() +
                          "' '" + QUELT_BIN + "' --home '" + (dir / "home").string() + "' " + args + " 2>&1";
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

    static void SetUpTestSuite() {
        dir = fs::temp_directory_path() / ("quelt-render-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        RunResult r =
            run("acquire --out '" + (dir / "logs" / "sim").string() + "' --fast --seconds 90 --orientation north --json");
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
        {"render --help", 0},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.out;
    }
}
