// quelt html --tracks on a log of the simulated logger: a tracks picture beside each report picture, of
// its rows, and the report without the option exactly as before.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "LogFixture.h"
#include "imaging/Picture.h"
#include "imaging/QualityTracksPicture.h"
#include "tests/support/QueltRun.h"

using namespace quelt::testing;

namespace {

quelt::test::QueltRun runQuelt(const fs::path& dir, const std::string& args) {
    return quelt::test::runQuelt(dir, args, quelt::test::Stderr::Merged, dir / "home");
}

// Width and height of a JPEG file; 0, 0 when it does not decode.
std::pair<int, int> jpegSize(const fs::path& file) {
    const std::string bytes = readText(file);
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    if (!quelt::decodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pixels, w, h))
        return {0, 0};
    return {w, h};
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(HtmlTracks, BesideEachPictureAndTheDefaultReportUnchanged) {
    const fs::path dir = freshDir("html-tracks");
    // 900 lines: pictures of 400, 400 and 100 rows.
    auto r = runQuelt(dir, "--device sim acquire --out '" + (dir / "dev").string() +
                               "' --lines 900 --scenario deviated --seed 3 --fast --plain-name");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string hed = (dir / "dev.HED").string();
    const fs::path folder = dir / "dev-HTML";

    r = runQuelt(dir, "html '" + hed + "'");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string plainPage = readText(folder / "dev.html");
    const std::vector<std::string> plainFiles = filesIn(folder);
    ASSERT_EQ(plainFiles.size(), 4u);

    r = runQuelt(dir, "html '" + hed + "' --tracks");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string page = readText(folder / "dev.html");
    EXPECT_EQ(jpegSize(folder / "dev-tracks.jpg"),
              std::make_pair(quelt::kQualityTracksWidth, quelt::kQualityTracksHeaderRows));
    EXPECT_NE(page.find("width:568px'></span><img height='18' width='271' src='dev-tracks.jpg'"),
              std::string::npos)
        << page;
    // Each picture line carries its tracks, of the picture's rows, shown at the picture's height.
    const std::regex line(
        "<img height='(\\d+)' width='568' src='([^']+)\\.jpg' border='0'  nosave>"
        "<img height='(\\d+)' width='271' src='([^']+)' border='0'  nosave><br>");
    int lines = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), line); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        ++lines;
        EXPECT_EQ(m[3].str(), m[1].str());
        EXPECT_EQ(m[4].str(), m[2].str() + "-tracks.jpg");
        const auto picture = jpegSize(folder / (m[2].str() + ".jpg"));
        EXPECT_EQ(jpegSize(folder / m[4].str()), std::make_pair(quelt::kQualityTracksWidth, picture.second))
            << m[4].str();
    }
    EXPECT_EQ(lines, 3) << page;
    // Without the tracks, the page is the plain one.
    std::string stripped = std::regex_replace(page, std::regex("<span [^\n]*\n"), "");
    stripped = std::regex_replace(stripped, std::regex("<img [^>]*-tracks\\.jpg' border='0'  nosave>"), "");
    EXPECT_EQ(stripped, plainPage);

    // Again without the option: the same page and pictures as the first time, no tracks left.
    r = runQuelt(dir, "html '" + hed + "'");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readText(folder / "dev.html"), plainPage);
    EXPECT_EQ(filesIn(folder), plainFiles);

    r = runQuelt(dir, "html --help");
    EXPECT_NE(r.out.find("[--tracks]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  --tracks   "), std::string::npos) << r.out;
    fs::remove_all(dir);
}
