// data/logo.jpg is the program's own logo art. QUELT_UPDATE_LOGO=1 test_imaging --gtest_filter='Logo*'
// writes it again from the art.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/ExportBmp.h"
#include "imaging/LogoArt.h"
#include "imaging/Picture.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

TEST(Logo, TheShippedFileIsTheLogoArtAndLoadsAsThePicture) {
    const fs::path file = fs::path(QUELT_TEST_DIR) / ".." / ".." / "data" / kLogoFileName;
    const std::vector<std::uint8_t> art = drawLogo();
    ASSERT_EQ(art.size(), static_cast<size_t>(kLogoWidth) * kLogoHeight * 3);
    if (std::getenv("QUELT_UPDATE_LOGO")) {
        ASSERT_TRUE(SavePictureFile(art.data(), kLogoWidth, kLogoHeight, kLogoWidth * 3, file.string()));
    }

    ScriptedOperator op;
    CPicture picture(op);
    ASSERT_TRUE(picture.Load(file.string())) << ::testing::PrintToString(op.messages());
    EXPECT_TRUE(op.messages().empty());
    ASSERT_EQ(picture.pixelWidth(), kLogoWidth);
    ASSERT_EQ(picture.pixelHeight(), kLogoHeight);
    // JPEG at quality 90: every channel close to the art, on average within a few levels.
    double error = 0;
    for (size_t i = 0; i < picture.pixels().size(); ++i) {
        const std::uint32_t p = picture.pixels()[i];
        error += std::abs(static_cast<int>(p & 0xFF) - art[3 * i]);
        error += std::abs(static_cast<int>(p >> 8 & 0xFF) - art[3 * i + 1]);
        error += std::abs(static_cast<int>(p >> 16 & 0xFF) - art[3 * i + 2]);
    }
    EXPECT_LT(error / (3.0 * picture.pixels().size()), 3.0);
}

}  // namespace
}  // namespace quelt
