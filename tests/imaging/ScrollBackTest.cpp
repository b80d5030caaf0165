#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/PictureController.h"

namespace quelt {
namespace {

constexpr int kScreen = 64;  // rows of the picture window

// Rows that change from one to the next in every input the row builder reads: samples, rotation,
// gamma, and a depth that crosses metres (labels) every 100 rows.
struct RowMaker {
    bool down = true;
    ImageLine line;
    RowInputs in;

    double depth(int i) const { return down ? 10.0 + i * 0.01 : 20.0 - i * 0.01; }
    void make(int i) {
        for (int s = 0; s < kPictureWidth; ++s) {
            line.sampleLine[static_cast<size_t>(s)] = static_cast<std::uint8_t>(i * 3 + s);
            line.sampleLine[ImageLine::kAmplitudeOffset + static_cast<size_t>(s)] =
                static_cast<std::uint8_t>(i * 5 + 2 * s);
        }
        in.rotation = (i * 13) % 360;
        in.gammaScale = 1000;
        in.gammaCount = static_cast<std::uint16_t>(50 + (i * 7) % 100);
        in.gammaTime = 200;
    }
};

// Every row as the live picture leaves it once all rows are drawn: a picture tall enough to keep them all.
class Reference {
  public:
    Reference(bool down, int first, int count, bool gamma) : down_(down), count_(count) {
        ScriptedOperator op;
        EXPECT_TRUE(bmp_.InitImageBuffer(count + 64, op));
        bmp_.ClearImageBuffer();
        RowMaker m;
        m.down = down;
        for (int i = first; i < first + count; ++i) {
            m.make(i);
            bmp_.DrawLineOfPixel(m.line, m.in, down, 2, true, gamma, m.depth(i));
        }
    }
    // Row `i` counted from the first row given.
    const std::uint32_t* row(int i) const {
        const ImageBuffer& b = bmp_.buffer();
        const int newest = down_ ? b.cursor + bmp_.screenHeight() - 1 : b.cursor;
        return b.row(down_ ? newest - (count_ - 1 - i) : newest + (count_ - 1 - i));
    }

  private:
    bool down_;
    int count_;
    CToolsBmp bmp_;
};

class ScrollBack : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bmp_.InitImageBuffer(kScreen, op_));
        bmp_.ClearImageBuffer();
        settings_.ShownGamma = 1;
        controller_ = std::make_unique<PictureController>(bmp_, surface_, settings_, clock_);
        controller_->setHistoryBudget(kScrollBackBudget);
        maker_.down = GetParam();
    }
    void add(int from, int to) {
        for (int i = from; i < to; ++i) {
            maker_.make(i);
            controller_->addImageLine(maker_.down, 2, maker_.line, maker_.in, maker_.depth(i));
        }
    }
    // The window shows the rows newest - 63 .. newest of `ref` (the newest at the bottom logging
    // down, at the top logging up); the first differing pixel, else "".
    std::string showsRows(const Reference& ref, int newest) const {
        for (int y = 0; y < kScreen; ++y) {
            const int i = maker_.down ? newest - (kScreen - 1) + y : newest - y;
            for (int x = 0; x < kRowWidth; ++x) {
                if (surface_.at(x, y) != ref.row(i)[x])
                    return "window row " + std::to_string(y) + " (row " + std::to_string(i) + ") column " +
                           std::to_string(x);
            }
        }
        return "";
    }

    ScriptedOperator op_;
    CToolsBmp bmp_;
    RasterSurface surface_{kRowWidth, kScreen};
    Settings settings_;
    FakeClock clock_{10'000};
    RowMaker maker_;
    std::unique_ptr<PictureController> controller_;
};

TEST_P(ScrollBack, ShowsTheRowsAsDrawnStaysOnThemAndReturnsToTheLiveEdge) {
    const Reference ref(GetParam(), 0, 320, true);
    add(0, 300);
    EXPECT_EQ(controller_->historyRows(), 300u);
    EXPECT_EQ(controller_->rowsBack(), 0);

    // The wheel scrolls the picture: up shows older rows logging down, newer ones logging up.
    EXPECT_TRUE(controller_->scrollUp(GetParam() ? 100 : -100));
    EXPECT_EQ(controller_->rowsBack(), 100);
    EXPECT_EQ(showsRows(ref, 199), "");

    // Live rows go on underneath; the window stays on its rows.
    const int paints = surface_.paints;
    add(300, 320);
    clock_.advance(1000);
    controller_->tick(clock_.now());
    EXPECT_EQ(controller_->rowsBack(), 120);
    EXPECT_EQ(showsRows(ref, 199), "");
    EXPECT_EQ(surface_.paints, paints) << "the anchored window was copied again";

    // Clamped at the oldest row: the window holds rows 0..63.
    EXPECT_TRUE(controller_->scrollBack(1'000'000));
    EXPECT_EQ(controller_->rowsBack(), 320 - kScreen);
    EXPECT_EQ(showsRows(ref, kScreen - 1), "");
    EXPECT_FALSE(controller_->scrollBack(1));

    // Back to the live edge: the live picture, newest row at its edge.
    controller_->toLiveEdge();
    EXPECT_EQ(controller_->rowsBack(), 0);
    EXPECT_EQ(showsRows(ref, 319), "");
    EXPECT_FALSE(controller_->scrollBack(-5)) << "nothing lies past the live edge";
}

TEST_P(ScrollBack, AClearKeepsTheRowsBeforeItAndStartsTheDepthTrackAfresh) {
    settings_.ShownGamma = 0;  // the gamma window carries over a clear; the rows compared here do not show it
    add(0, 100);
    controller_->scrollBack(10);
    controller_->clearPicture();
    add(100, 200);
    EXPECT_EQ(controller_->historyRows(), 200u);
    EXPECT_EQ(controller_->rowsBack(), 110) << "a clear does not move the window";

    const Reference before(GetParam(), 0, 100, false);
    controller_->scrollBack(1'000'000);
    EXPECT_EQ(showsRows(before, kScreen - 1), "");

    // Rows after the clear as a picture started at the clear shows them (its first rows, where a
    // label of the rows before may reach, left out).
    const Reference after(GetParam(), 100, 100, false);
    controller_->toLiveEdge();
    controller_->scrollBack(16);
    const std::string differs = showsRows(after, 99 - 16);
    EXPECT_EQ(differs, "");
}

// The window thread looks back and returns while the reader thread adds rows (run under TSan).
TEST_P(ScrollBack, LooksBackWhileAnotherThreadAddsRows) {
    add(0, 200);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 200; i < 1200; ++i)
            add(i, i + 1);
        done = true;
    });
    while (!done) {
        controller_->scrollBack(37);
        controller_->tick(clock_.now() + 1000);
        if (controller_->rowsBack() > 400) controller_->toLiveEdge();
    }
    reader.join();
    EXPECT_LE(controller_->rowsBack(), 1200 - kScreen);
    EXPECT_EQ(controller_->historyRows(), 1200u);
}

INSTANTIATE_TEST_SUITE_P(Directions, ScrollBack, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Down" : "Up"; });

TEST(ScrollViewport, StepsClampAndAnchor) {
    struct Step {
        const char* what;
        int scroll;  // rows further back; 0: a row added
        std::size_t available;
        int expected;
    };
    const int visible = 10;
    const Step steps[] = {
        {"fewer rows than the window: nothing to scroll", 5, 8, 0},
        {"back 5", 5, 30, 5},
        {"a row added keeps the window on its rows", 0, 31, 6},
        {"clamped at the oldest row", 100, 31, 21},
        {"forward 4", -4, 31, 17},
        {"not past the live edge", -100, 31, 0},
        {"at the live edge a new row moves the window", 0, 32, 0},
    };
    ScrollViewport v;
    for (const Step& s : steps) {
        if (s.scroll == 0)
            v.rowAdded(s.available, visible);
        else
            v.scrollBack(s.scroll, s.available, visible);
        EXPECT_EQ(v.rowsBack(), s.expected) << s.what;
    }
}

TEST(LineHistory, LetsTheOldestRowsGoPastItsBudgetAndKeepsTheRest) {
    LineHistory history(std::size_t{3} << 20);
    RowMaker m;
    const int rows = 10'000;  // about 7 MB at 360 samples a picture
    for (int i = 0; i < rows; ++i) {
        m.make(i);
        history.add(m.line, 1, m.in, true, false, i);
    }
    EXPECT_LE(history.bytes(), std::size_t{3} << 20);
    ASSERT_GT(history.rows(), 1000u);
    ASSERT_LT(history.rows(), static_cast<std::size_t>(rows));

    // Row 0 is now the oldest kept, and every row reads back as it was given.
    const int oldest = rows - static_cast<int>(history.rows());
    for (std::size_t k : {std::size_t{0}, history.rows() / 2, history.rows() - 1}) {
        HistoryLine out;
        ASSERT_TRUE(history.read(k, out));
        const int i = oldest + static_cast<int>(k);
        m.make(i);
        EXPECT_EQ(out.depth, i);
        EXPECT_EQ(out.in.gammaCount, m.in.gammaCount);
        EXPECT_EQ(out.in.rotation, m.in.rotation);
        EXPECT_EQ(out.line.sampleLine[359], m.line.sampleLine[359]);
        EXPECT_EQ(out.line.sampleLine[ImageLine::kAmplitudeOffset + 359],
                  m.line.sampleLine[ImageLine::kAmplitudeOffset + 359]);
    }
    HistoryLine out;
    EXPECT_FALSE(history.read(history.rows(), out));
}

}  // namespace
}  // namespace quelt
