#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/ExportBmp.h"
#include "imaging/Picture.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

class Export : public ::testing::Test {
  protected:
    void SetUp() override { BuildColourTable(defaultPalette(), 0, table_); }
    // The grey value of a raster pixel (blue, green and red equal in grey mode).
    int grey(int row, int column) const { return raster_.pixel(row, column)[0]; }
    std::uint32_t rgb(int row, int column) const {
        const std::uint8_t* p = raster_.pixel(row, column);
        return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
    ColourTable table_;
    ExportRaster raster_;
};

TEST_F(Export, ComposeRowInterpolatesForwardAndWraps) {
    CExportBmp bmp(table_, kGreyMode);
    struct Case {
        int code, offset;
        std::vector<int> columns, values;
    } cases[] = {
        {2, 0, {0, 1, 2, 3, 358, 359}, {100, 110, 120, 120, 40, 70}},  // last sample toward the first
        {3, 0, {0, 1, 2, 3}, {100, 106, 113, 120}},
        {4, 0, {0, 1, 2, 3, 4}, {100, 106, 110, 113, 120}},
        {1, 0, {0, 1, 359}, {100, 120, 40}},
        {2, 10, {10, 11, 12, 8, 9}, {100, 110, 120, 40, 70}},  // shifted right by 10, wrapped
        {2, -350, {10, 11}, {100, 110}},                       // an offset out of range is taken modulo 360
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 764> line{};
        int ns = 360 / c.code;
        line[0] = 100;
        line[1] = 120;
        line[2] = 120;
        line[ns - 1] = 40;
        for (int i = 0; i < ns; ++i)
            line[404 + i] = line[i];
        bmp.ComposeRow(raster_, line.data(), c.offset, kExportBytesPerRow, 5, 0, 360, c.code);
        bmp.ComposeRow(raster_, line.data(), c.offset, kExportBytesPerRow, 5, 404, 764, c.code);
        for (size_t i = 0; i < c.columns.size(); ++i) {
            EXPECT_EQ(grey(5, c.columns[i]), c.values[i]) << "code " << c.code << " column " << c.columns[i];
            EXPECT_EQ(grey(5, 404 + c.columns[i]), c.values[i]) << "amplitude code " << c.code;
        }
    }
    // Colour mode: the palette colours in blue, green, red order.
    CExportBmp colour(table_, kColourMode);
    std::array<std::uint8_t, 764> line{};
    line.fill(200);
    colour.ComposeRow(raster_, line.data(), 0, kExportBytesPerRow, 0, 0, 360, 1);
    EXPECT_EQ(rgb(0, 17), 0xC89000u);
}

TEST_F(Export, TrackTicksAndLabels) {
    CExportBmp bmp(table_, kColourMode);
    bmp.ClearRaster(raster_);
    EXPECT_EQ(rgb(0, 0), 0u);
    EXPECT_EQ(rgb(399, 360), kExportLightGrey);
    EXPECT_EQ(rgb(399, 403), kExportLightGrey);
    EXPECT_EQ(rgb(399, 404), 0u);

    bmp.DrawTick(raster_, 10, 5);
    for (int x = 360; x < 404; ++x) {
        bool tick = (x >= 364 && x <= 368) || (x >= 395 && x <= 399);
        EXPECT_EQ(rgb(10, x), tick ? 0u : kExportLightGrey) << x;
    }

    // Every glyph row of "-12": ending at column 400 + (15 - 30) / 2 = 393.
    const char* glyph1[8] = {"..#..", ".##..", "#.#..", "..#..", "..#..", "..#..", "..#..", "..#.."};
    const char* glyph2[8] = {".###.", "#...#", "....#", "....#", "...#.", "..#..", ".#...", "#####"};
    for (int r = 0; r < 8; ++r) {
        bmp.DrawLabel(raster_, -12, r, false, 20 + r, kExportBlack);
        bmp.DrawLabel(raster_, -12, r, true, 40 + 7 - r, kExportBlack);  // an upward log: glyph rows reversed
    }
    for (int r = 0; r < 8; ++r) {
        for (int row : {20 + r, 40 + r}) {
            for (int x = 364; x < 400; ++x) {
                bool on = false;
                if (x >= 389 && x <= 393) on = glyph2[r][x - 389] == '#';
                if (x >= 383 && x <= 387) on = glyph1[r][x - 383] == '#';
                if (x >= 379 && x <= 381) on = r == 3;  // minus
                EXPECT_EQ(rgb(row, x), on ? kExportRed : kExportLightGrey) << "row " << row << " x " << x;
            }
        }
    }
    // Too long a text leaves the span blank.
    bmp.DrawLabel(raster_, 123456, 0, false, 60, kExportBlack);
    for (int x = 364; x < 400; ++x)
        EXPECT_EQ(rgb(60, x), kExportLightGrey);
    bmp.DrawLabel(raster_, 12345, 0, false, 61, kExportBlack);
    EXPECT_EQ(rgb(61, 398), kExportBlack);  // "5" row 0 is .####, from 394 to 398
    EXPECT_EQ(rgb(61, 394), kExportLightGrey);
}

TEST(DigitFont, ExpandsFromItsBitTable) {
    // Digit 8, every row, and the bit layout of digit 4.
    const char* eight[8] = {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", "#...#", ".###."};
    const char* four[8] = {"...#.", "..##.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."};
    const auto& font = digitFont();
    EXPECT_EQ(font, expandDigitFont(digitFontBits()));
    for (int r = 0; r < 8; ++r) {
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(font[r * 55 + 40 + k], eight[r][k] == '#' ? 255 : 0) << r << k;
            EXPECT_EQ(font[r * 55 + 20 + k], four[r][k] == '#' ? 255 : 0) << r << k;
        }
    }
}

TEST(Encoders, ByExactExtension) {
    std::string type;
    EXPECT_EQ(GetEncoderByExtension("jpg", &type), 1);
    EXPECT_EQ(type, "image/jpeg");
    EXPECT_EQ(GetEncoderByExtension("jpeg"), 1);
    EXPECT_EQ(GetEncoderByExtension("bmp"), 0);
    for (const char* none : {"TIF", "JPG", "tif", "png", "gif", "", "jpg "}) {
        EXPECT_EQ(GetEncoderByExtension(none), -1) << none;
    }
}

class Jpeg : public Export {
  protected:
    void SetUp() override {
        Export::SetUp();
        path_ = fs::temp_directory_path() /
                ("quelt_jpeg_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".jpg");
    }
    void TearDown() override { fs::remove(path_); }
    std::vector<std::uint8_t> readFile() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path path_;
};

TEST_F(Jpeg, PartialPictureFlippedForUpwardLogs) {
    CExportBmp bmp(table_, kGreyMode);
    bmp.ClearRaster(raster_);
    std::array<std::uint8_t, 764> line{};
    line.fill(255);
    for (int r = 0; r < 10; ++r)
        bmp.ComposeRow(raster_, line.data(), 0, kExportBytesPerRow, r, 0, 360, 1);
    for (bool flip : {false, true}) {
        ASSERT_TRUE(SaveJpeg(raster_, path_.string(), 120, flip));
        auto bytes = readFile();
        std::vector<std::uint32_t> pixels;
        int w = 0, h = 0;
        ASSERT_TRUE(decodeJpeg(bytes.data(), bytes.size(), pixels, w, h));
        EXPECT_EQ(w, 764);
        EXPECT_EQ(h, 120);
        int top = pixels[100 + 2 * 764] & 0xFF, bottom = pixels[100 + 117 * 764] & 0xFF;
        EXPECT_GT(flip ? bottom : top, 200) << flip;
        EXPECT_LT(flip ? top : bottom, 50) << flip;
    }
    EXPECT_FALSE(SaveJpeg(raster_, path_.string(), 0, false));
    EXPECT_FALSE(SaveJpeg(raster_, path_.string(), 401, false));
    EXPECT_FALSE(
        SaveJpeg(raster_, (fs::temp_directory_path() / "no_such_dir" / "x.jpg").string(), 10, false));
}

TEST_F(Jpeg, LosslessBmpBottomRowFirst) {
    path_.replace_extension(".bmp");
    // 3 x 2 pixels: rows padded to 12 bytes, the bottom row first.
    std::uint8_t bgr[2][9] = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}};
    ASSERT_TRUE(SaveBmp24(&bgr[0][0], 3, 2, 9, path_.string()));
    auto b = readFile();
    ASSERT_EQ(b.size(), 54u + 24u);
    auto le32 = [&](size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; };
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(le32(2), 78);
    EXPECT_EQ(le32(10), 54);
    EXPECT_EQ(le32(18), 3);
    EXPECT_EQ(le32(22), 2);
    EXPECT_EQ(b[28], 24);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.end()),
              (std::vector<std::uint8_t>{10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
                                         1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0}));
}

TEST_F(Jpeg, PictureLoadsAndRendersScaled) {
    // A 4 x 2 picture: left half red, right half blue.
    std::vector<std::uint8_t> bgr(4 * 2 * 3, 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            bgr[(y * 4 + x) * 3 + (x < 2 ? 2 : 0)] = 255;
    }
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(encodeJpegBgr(bgr.data(), 4, 2, 12, false, 90, jpeg));
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());

    ScriptedOperator op;
    CPicture picture(op);
    ASSERT_TRUE(picture.Load(path_.string()));
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.fileSize, jpeg.size());
    std::vector<std::uint32_t> target(16 * 8, 0);
    ASSERT_TRUE(picture.Render(target.data(), 16, 8, 16, 4, 2, 8, 4));
    EXPECT_EQ(target[0], 0u);
    EXPECT_GT(target[2 * 16 + 4] >> 16 & 0xFF, 200u);  // red at the left
    EXPECT_GT(target[5 * 16 + 11] & 0xFF, 200u);       // blue at the right
    picture.UpdateSize(192, 48);
    EXPECT_EQ(picture.width, 8);
    EXPECT_EQ(picture.height, 1);

    std::uint8_t junk[] = {1, 2, 3};
    EXPECT_FALSE(picture.LoadFromMemory(junk, sizeof junk));
    EXPECT_FALSE(picture.Load((fs::temp_directory_path() / "quelt_missing_logo.jpg").string()));
    auto messages = op.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "IPicture interface is not supported\t");
    EXPECT_EQ(messages[1], "No such file or directory");
    EXPECT_TRUE(picture.empty());
    EXPECT_FALSE(picture.Render(target.data(), 16, 8, 16, 0, 0, 4, 4));
}

}  // namespace
}  // namespace quelt
