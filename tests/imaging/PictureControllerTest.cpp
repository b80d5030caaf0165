#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/PictureController.h"

namespace quelt {
namespace {

class Picture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bmp_.InitImageBuffer(64, op_));
        bmp_.ClearImageBuffer();
        settings_.RefreshTime = 50;  // raised to 100
        settings_.ShownGamma = 0;
        hooks_.recording = [this] { return recording_; };
        hooks_.decimating = [this] { return decimating_; };
        hooks_.zeroLinkCounters = [this] { ++counterResets_; };
        controller_ = std::make_unique<PictureController>(bmp_, surface_, settings_, clock_, hooks_);
    }
    void add(bool down, std::uint8_t value = 7) {
        line_.sampleLine.fill(value);
        controller_->addImageLine(down, 1, line_, in_, 2.0);
    }
    std::uint8_t newest() {
        const ImageBuffer& b = bmp_.buffer();
        int row = controller_->lastDirectionDown() ? b.cursor + 63 : b.cursor;
        return static_cast<std::uint8_t>(b.row(row)[10] & 0xFF);
    }

    ScriptedOperator op_;
    CToolsBmp bmp_;
    RasterSurface surface_{kRowWidth, 64};
    Settings settings_;
    FakeClock clock_{10'000};
    PictureHooks hooks_;
    bool recording_ = false, decimating_ = false;
    int counterResets_ = 0;
    RowInputs in_;
    ImageLine line_;
    std::unique_ptr<PictureController> controller_;
};

TEST_F(Picture, ADirectionChangeClearsUnlessRecording) {
    in_.blackAndWhite = true;
    add(true, 1);
    add(true, 2);
    EXPECT_EQ(counterResets_, 0);
    int cursor = bmp_.buffer().cursor;
    add(false, 3);  // turned round: a fresh picture, the first row at the top of the window
    EXPECT_EQ(counterResets_, 1);
    EXPECT_EQ(bmp_.buffer().cursor, 2 * 64 - kMarginRows - 1);  // moved from row 32 before the first row
    EXPECT_NE(bmp_.buffer().cursor, cursor);
    EXPECT_EQ(newest(), 3);

    recording_ = true;
    add(true, 4);  // while recording the picture goes on
    EXPECT_EQ(counterResets_, 1);
    EXPECT_EQ(newest(), 4);
}

TEST_F(Picture, DecimatingOnlyClears) {
    add(true);
    int cursor = bmp_.buffer().cursor;
    decimating_ = true;
    add(true);
    EXPECT_TRUE(controller_->cleared());
    EXPECT_EQ(counterResets_, 1);
    EXPECT_EQ(bmp_.buffer().cursor, kMarginRows);
    EXPECT_NE(cursor, kMarginRows);
}

TEST_F(Picture, ReplayDrawsWithoutRotation) {
    line_.sampleLine.fill(0);
    line_.sampleLine[0] = line_.sampleLine[1] = line_.sampleLine[359] = 200;
    in_.blackAndWhite = true;
    in_.rotation = 90.5;
    controller_->drawReplayLine(true, 1, line_, in_, 3.0);
    EXPECT_EQ(bmp_.buffer().row(bmp_.buffer().cursor + 63)[0] & 0xFF, 200u);
    controller_->addImageLine(true, 1, line_, in_, 3.0);  // live: rotated by 90
    EXPECT_EQ(bmp_.buffer().row(bmp_.buffer().cursor + 63)[90] & 0xFF, 200u);
}

TEST_F(Picture, TimersPaintWhenLinesStopAndAfterAWindowPaint) {
    add(true);
    ASSERT_TRUE(controller_->refreshTimerRunning());
    EXPECT_EQ(controller_->refreshTimerDue(), 10'100);
    EXPECT_EQ(surface_.paints, 0);  // throttled
    clock_.advance(60);
    add(true);  // rows pending: the timer starts over
    EXPECT_EQ(controller_->refreshTimerDue(), 10'160);
    controller_->tick(10'150);
    EXPECT_EQ(surface_.paints, 0);
    controller_->tick(10'160);
    EXPECT_EQ(surface_.paints, 1);
    EXPECT_FALSE(controller_->refreshTimerRunning());

    clock_.set(10'160);
    controller_->onWindowPaint();
    controller_->onWindowPaint();  // already armed
    controller_->tick(10'160 + 99);
    EXPECT_EQ(surface_.paints, 1);
    clock_.set(10'260);
    controller_->tick(10'260);
    EXPECT_EQ(surface_.paints, 2);
    EXPECT_FALSE(controller_->windowPaintArmed());

    controller_->setMinimised(true);
    controller_->onWindowPaint();
    add(true);
    controller_->tick(20'000);
    EXPECT_EQ(surface_.paints, 2);
}

TEST_F(Picture, LastPaintTimeFollowsScreenRefreshTime) {
    settings_.ScreenRefreshTime = 2000;
    clock_.advance(2999);  // two whole seconds: not more than 2000 ms
    controller_->schedulePaint(false);
    EXPECT_EQ(controller_->lastPaintTime(), 10'000);
    clock_.advance(1);
    controller_->schedulePaint(false);
    EXPECT_EQ(controller_->lastPaintTime(), 13'000);
}

TEST_F(Picture, RowsBuiltWhileAnotherThreadPaints) {
    std::atomic<bool> done{false};
    std::thread painter([&] {
        while (!done) {
            controller_->tick(clock_.now() + 1000);
            controller_->schedulePaint(true);
        }
    });
    for (int n = 0; n < 2000; ++n)
        add(n % 500 < 250, static_cast<std::uint8_t>(n));
    done = true;
    painter.join();
    EXPECT_GT(surface_.paints, 0);
}

}  // namespace
}  // namespace quelt
