// The quality tracks panel in the main window: its Options entry and the key that remembers it, and its
// rows against the picture's during a live log fed as the decoders feed the picture.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "WindowFixture.h"
#include "config/Ini.h"
#include "imaging/QualityTracksPicture.h"
#include "ui/widgets/PictureView.h"
#include "ui/widgets/QualityTracksPanel.h"

using windowtest::WindowTest;

namespace {

// One line as the decoders leave it (depth, speed, orientation, field totals, samples), then handed to
// the picture as an accepted line.
void liveLine(quelt::app::MainWindow& w, int i, double depth, std::uint8_t direction) {
    quelt::Acquisition& acq = w.acquisition();
    acq.live.update([&](quelt::LiveValues& v) {
        v.depth = v.imageDepth = depth;
        v.elapsed = i * 0.05;
        v.speed = 1.0;
        v.tilt = 5.0;
        v.azimuth = 100.0;
        v.gravityTotal = 1.0;
        v.magneticTotal = 0.5;
        v.gamma = 20;
        v.gclk = 100;
    });
    acq.image.samplesPerTurn = 180;
    acq.image.sampleLine.fill(180);
    acq.onImageLine(direction, 2);
}

std::string savedKey(const quelt::ProgramContext& context) {
    return quelt::readProfileString(context.paths.settingsFile, "QueltLogger", "QualityTracks", "<missing>");
}

}  // namespace

TEST_F(WindowTest, TheOptionsEntryShowsTheTracksAndTheChoiceIsKept) {
    QAction* entry = window->action("qualityTracks");
    ASSERT_NE(entry, nullptr);
    bool inOptions = false;
    for (QObject* o : entry->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o)) inOptions |= menu->title() == "&Options";
    EXPECT_TRUE(inOptions);
    quelt::ui::QualityTracksPanel* panel = window->qualityTracksPanel();
    // Hidden by default: the window keeps its layout.
    EXPECT_TRUE(entry->isCheckable());
    EXPECT_FALSE(entry->isChecked());
    EXPECT_TRUE(panel->isHidden());
    const int narrow = window->width();

    struct Step {
        bool shown;
        const char* key;
    };
    for (const Step& s : {Step{true, "1"}, Step{false, "0"}, Step{true, "1"}}) {
        entry->trigger();
        EXPECT_EQ(entry->isChecked(), s.shown);
        EXPECT_EQ(panel->isHidden(), !s.shown);
        EXPECT_EQ(savedKey(context), s.key);
        EXPECT_EQ(context.settings.QualityTracks, s.shown);
        EXPECT_GE(window->width(), narrow);
        if (!s.shown) {
            EXPECT_EQ(window->width(), narrow) << "hidden, the window is as it was";
        }
    }

    // The next start reads it back.
    window.reset();
    quelt::ProgramContext again;
    std::string error;
    ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, again, error)) << error;
    again.settings.SplashScreenOff = true;
    EXPECT_TRUE(again.settings.QualityTracks);
    quelt::app::MainWindow second(again, op, source, clock);
    EXPECT_TRUE(second.action("qualityTracks")->isChecked());
    EXPECT_FALSE(second.qualityTracksPanel()->isHidden());
}

TEST_F(WindowTest, TheTracksGetOneRowPerPictureRowDuringALiveLog) {
    window->showQualityTracks(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    quelt::QualityTracks& tracks = window->qualityTracks();

    // Rows follow the picture through its clears: a change of direction while not recording clears it,
    // and so does a clear of the window.
    for (int i = 0; i < 12; ++i)
        liveLine(*window, i, 10.0 + i * 0.005, 1);
    EXPECT_EQ(tracks.rows(), 12u);
    for (int i = 0; i < 7; ++i)
        liveLine(*window, 12 + i, 10.05 - i * 0.005, 0);
    EXPECT_EQ(tracks.rows(), 7u);
    window->clearPicture();
    EXPECT_EQ(tracks.rows(), 0u);

    // Down again: the panel, following the picture's paint, shows a row beside each row of the picture.
    constexpr int kRows = 25;
    for (int i = 0; i < kRows; ++i)
        liveLine(*window, i, 20.0 + i * 0.005, 1);
    window->pictureController().schedulePaint(true);
    quelt::ui::QualityTracksPanel* panel = window->qualityTracksPanel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->shownWindow().rows.size() == kRows; }, 3000))
        << panel->shownWindow().rows.size();
    EXPECT_FLOAT_EQ(panel->shownWindow().rows.back().depth, 20.0f + (kRows - 1) * 0.005f);
    QApplication::processEvents();

    const QImage picture = window->pictureView()->shownImage();
    const QImage shown = panel->shownImage();
    const int top = panel->rowsTop();
    EXPECT_EQ(top, window->pictureView()->mapTo(window.get(), QPoint(0, 0)).y() -
                       panel->mapTo(window.get(), QPoint(0, 0)).y());
    ASSERT_GE(shown.height(), top + picture.height());
    int pictureRows = 0, trackRows = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const bool drawn = picture.pixel(10, y) != 0xFF000000u;
        const bool tracked = shown.pixel(quelt::trackLeft(1) + 1, top + y) != quelt::kTracksEmpty;
        EXPECT_EQ(tracked, drawn) << "row " << y;
        pictureRows += drawn;
        trackRows += tracked;
    }
    EXPECT_EQ(pictureRows, kRows);
    EXPECT_EQ(trackRows, kRows);

    // Rows the picture has not painted yet are not shown either: the newest shown is the picture's.
    for (int i = kRows; i < kRows + 5; ++i)
        liveLine(*window, i, 20.0 + i * 0.005, 1);
    // Scrolled back by ten rows, the window ends ten rows before the newest row drawn, as the picture's
    // scroll-back counts them; back at the live edge again, the newest painted row.
    panel->setRowsBack(10);
    EXPECT_EQ(panel->shownWindow().rows.size(), static_cast<size_t>(kRows + 5 - 10));
    EXPECT_FLOAT_EQ(panel->shownWindow().rows.back().depth, 20.0f + (kRows + 4 - 10) * 0.005f);
    panel->setRowsBack(0);
    EXPECT_EQ(panel->shownWindow().rows.size(), static_cast<size_t>(kRows));
    EXPECT_FLOAT_EQ(panel->shownWindow().rows.back().depth, 20.0f + (kRows - 1) * 0.005f);
}
