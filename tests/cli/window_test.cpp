// quelt window: the acoustic window shown and set in diameters, refused values with the tools' texts,
// command 0x05 read back by the simulated sonde, and the cross-section of live revolutions checked on
// its pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/CrossSection.h"
#include "imaging/PngFile.h"
#include "tests/support/QueltRun.h"

namespace fs = std::filesystem;

namespace {

class WindowCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox =
            fs::temp_directory_path() / ("quelt-window-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        fs::create_directories(sandbox);
        home = sandbox / "home";
    }
    void TearDown() override { fs::remove_all(sandbox); }
    quelt::test::QueltRun run(const std::string& args) {
        return quelt::test::runQuelt(sandbox, args, quelt::test::Stderr::Merged, home);
    }

    // A scenario in a 150 mm open hole without fractures or washouts, tilted by `tilt` degrees.
    std::string hole150(double tilt) {
        fs::path p = sandbox / ("hole" + std::to_string(static_cast<int>(tilt)) + ".ini");
        std::ofstream(p) << "[Scenario]\nBase=clean\n[Borehole]\nBitDiameter=150\nCasingBottom=1\nTilt="
                         << tilt << "\nTiltPer100m=0\nFracturesPer10m=0\nWashoutsPer100m=0\n";
        return p.string();
    }

    fs::path sandbox, home;
};

TEST_F(WindowCommandTest, ShowsTheWindowsWithoutALogger) {
    quelt::test::QueltRun r = run("window --json 2>/dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // The installed sonde: offset 132 us; 1484 m/s; the default window 120.0 + 50.0 us.
    for (const char* member :
         {"\"offset\": 132.0", "\"velocity\": 1484.0",
          "\"acquisition\": {\"blanking\": 120.0, \"window\": 50.0", "\"maxDiameter\": 453.068",
          "\"phantom\": {\"begin\": 242, \"end\": 247, \"inWindow\": false}"})
        EXPECT_NE(r.out.find(member), std::string::npos) << member << " in " << r.out;
}

TEST_F(WindowCommandTest, RefusedValuesShowTheMessageAndStoreNothing) {
    struct Case {
        const char* args;
        const char* message;
    } cases[] = {
        {"--dmin 60 --dmax 600",
         "Maximum diameter : Bad entered value.\n\n MAX : 453 mm for this velocity.\n"},
        {"--velocity 1300", "Water Velocity : Bad entered value.\n\n correct value : 1400 - 2000 "},
        {"--dmin 30 --dmax 100", "Minimum diameter : Bad entered value.\n\n D-MIN: 42 mm\n"},
        {"--dmin 100 --dmax 90", "D-MAX = Min : 101 mm (see D-MIN)\n"},
    };
    for (const auto& c : cases) {
        quelt::test::QueltRun r = run(std::string("--device sim window --fast ") + c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find("corrected values:"), std::string::npos) << c.args;
        quelt::test::QueltRun after = run("window --json 2>/dev/null");
        EXPECT_NE(after.out.find("\"acquisition\": {\"blanking\": 120.0, \"window\": 50.0"),
                  std::string::npos)
            << c.args << ": stored anyway";
    }
    EXPECT_EQ(run("window --gain 81").exitCode, 2);
    EXPECT_EQ(run("window --gain 10 --agc").exitCode, 2);
    EXPECT_EQ(run("window --dmax wide").exitCode, 2);
}

TEST_F(WindowCommandTest, AcceptedValuesAreStoredSentAndReadBack) {
    quelt::test::QueltRun r =
        run("--device sim window --fast --dmin 140 --dmax 300 --gain 20 --json 2>/dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // T(140) = 1320 + 98 x 10000 / 1484 = 1980; T(300) = 3059.
    EXPECT_NE(r.out.find("\"acquisition\": {\"blanking\": 198.0, \"window\": 107.9"), std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("\"readBack\": {\"blanking\": 198.0, \"window\": 107.9, \"gain\": 20, \"matches\": true}"),
        std::string::npos)
        << r.out;
    quelt::test::QueltRun after = run("window --json 2>/dev/null");
    EXPECT_NE(after.out.find("\"blanking\": 198.0"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("\"gain\": 20"), std::string::npos) << after.out;

    // A sonde that reads back another window: exit 4.
    fs::path wrong = sandbox / "wrong.ini";
    std::ofstream(wrong) << "[Scenario]\nBase=clean\n[Faults]\nSondeEchoError=1\n";
    r = run("--device sim window --fast --dmin 140 --dmax 250 --scenario '" + wrong.string() + "'");
    EXPECT_EQ(r.exitCode, 4) << r.out;
    EXPECT_NE(r.out.find("not what was sent"), std::string::npos) << r.out;
}

// A circle through the pixels of the curve's colour, by least squares (x^2 + y^2 + Dx + Ey + F = 0).
struct Fit {
    double cx = 0, cy = 0, radius = 0;
    double spread = 0;  // the range of distances from the centre of 96% of the pixels (the wall is rough)
    int pixels = 0;
};
Fit fitCurve(const quelt::Raster32& img) {
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, sz = 0, sxz = 0, syz = 0;
    std::vector<std::pair<double, double>> pts;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y) == quelt::kSectionCurve) pts.emplace_back(x, y);
    Fit f;
    f.pixels = static_cast<int>(pts.size());
    if (pts.size() < 10) return f;
    for (auto [x, y] : pts) {
        double z = x * x + y * y;
        sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y, sz += z, sxz += x * z, syz += y * z;
    }
    const double n = static_cast<double>(pts.size());
    // Normal equations [sxx sxy sx; sxy syy sy; sx sy n] [D E F] = -[sxz syz sz], by Cramer's rule.
    auto det = [](double a, double b, double c, double d, double e, double g, double h, double i, double j) {
        return a * (e * j - g * i) - b * (d * j - g * h) + c * (d * i - e * h);
    };
    const double m = det(sxx, sxy, sx, sxy, syy, sy, sx, sy, n);
    const double D = det(-sxz, sxy, sx, -syz, syy, sy, -sz, sy, n) / m;
    const double E = det(sxx, -sxz, sx, sxy, -syz, sy, sx, -sz, n) / m;
    const double F = det(sxx, sxy, -sxz, sxy, syy, -syz, sx, sy, -sz) / m;
    f.cx = -D / 2, f.cy = -E / 2;
    f.radius = std::sqrt(f.cx * f.cx + f.cy * f.cy - F);
    std::vector<double> d;
    for (auto [x, y] : pts)
        d.push_back(std::hypot(x - f.cx, y - f.cy));
    std::sort(d.begin(), d.end());
    f.spread = d[d.size() * 98 / 100] - d[d.size() * 2 / 100];
    return f;
}

quelt::Raster32 readPicture(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    quelt::Raster32 img;
    EXPECT_TRUE(quelt::readStoredPng(bytes, img)) << p;
    return img;
}

TEST_F(WindowCommandTest, CrossSectionShowsACentredOrAnEccentredSonde) {
    // Display window 60..200 mm with tracking: the window end (T(200) - r0 = 136.1 us) reaches the edge.
    ASSERT_EQ(run("--device sim window --fast --dmin 60 --dmax 200").exitCode, 0);
    const double pxPerMm = 2000.0 / 1484.0 * (401 / 2.0 - 3) / (238.47 - 132.0 + quelt::kAxisReferenceLead);

    ASSERT_EQ(run("--device sim window --fast --seconds 0.3 --cross-section '" +
                  (sandbox / "c.png").string() + "' --scenario '" + hole150(0) + "'")
                  .exitCode,
              0);
    Fit c = fitCurve(readPicture(sandbox / "c.png"));
    ASSERT_GT(c.pixels, 300);
    const double centre = 200;
    EXPECT_LT(c.spread, 0.03 * c.radius) << "radius " << c.radius;
    EXPECT_LT(std::hypot(c.cx - centre, c.cy - centre), 0.01 * c.radius);
    EXPECT_NEAR(c.radius, 75 * pxPerMm, 0.03 * c.radius);

    // Tilted by 20 degrees the sonde lies on the low side by 0.3 of its clearance (75 - 21 - 1 mm).
    ASSERT_EQ(run("--device sim window --fast --seconds 0.3 --cross-section '" +
                  (sandbox / "e.png").string() + "' --scenario '" + hole150(20) + "'")
                  .exitCode,
              0);
    Fit e = fitCurve(readPicture(sandbox / "e.png"));
    const double offset = std::hypot(e.cx - centre, e.cy - centre);
    const double expected = 0.3 * (75 - 21 - 1) * pxPerMm;
    EXPECT_NEAR(offset, expected, 0.1 * expected);
}

}  // namespace
