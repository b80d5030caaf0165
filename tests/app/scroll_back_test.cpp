// The picture scrolled back with the wheel while rows keep arriving, and brought back to the live edge
// with End or the picture's button; a replay scrolled back over rows read again from its log.

#include <QWheelEvent>
#include <QtTest/QtTest>

#include "tests/app/WindowFixture.h"
#include "ui/widgets/PictureView.h"
#include "ui/widgets/QualityTracksPanel.h"

namespace windowtest {
namespace {

class ScrollBackWindow : public WindowTest {
  protected:
    // The rows the window shows.
    int visible() { return std::min(window->pictureView()->height(), window->picture().screenHeight()); }
    // A row whose window ends between two whole metres (depths step 1 cm a row): no label of the rows
    // just after it reaches into its window, so the window it showed live is the window looking back.
    int quietRow() { return (visible() / 100 + 1) * 100 + 50; }

    // One live line, as the reader thread hands it over: 1 cm deeper each row.
    void liveLine() {
        quelt::Acquisition& acq = window->acquisition();
        for (size_t s = 0; s < 180; ++s) {
            acq.image.sampleLine[s] = static_cast<std::uint8_t>(rows_ * 3 + s);
            acq.image.sampleLine[quelt::ImageLine::kAmplitudeOffset + s] =
                static_cast<std::uint8_t>(rows_ + s);
        }
        const double depth = 10.0 + rows_ * 0.01;
        window->live().update([depth](quelt::LiveValues& v) { v.imageDepth = depth; });
        acq.onImageLine(1, 2);
        ++rows_;
    }
    void wheel(int eighths) {
        QWidget* view = window->pictureView();
        const QPointF at(view->width() / 2.0, view->height() / 2.0);
        QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
    }
    QImage shown() {
        window->modelTick(clock.now());
        return window->pictureView()->shownImage();
    }
    QImage paintedNow() {
        window->pictureController().schedulePaint(true);
        return shown();
    }

    int rows_ = 0;
};

TEST_F(ScrollBackWindow, TheWheelLooksBackWhileRowsArriveAndEndReturnsToTheLiveEdge) {
    quelt::ui::PictureView* view = window->pictureView();
    std::vector<int> published;
    QObject::connect(view, &quelt::ui::PictureView::rowsBackChanged,
                     [&](int rows) { published.push_back(rows); });

    const int k = quietRow();
    while (rows_ <= k)
        liveLine();
    const QImage atK = paintedNow();  // what the window showed with row k the newest
    while (rows_ < k + 300)
        liveLine();
    ASSERT_NE(paintedNow(), atK);
    EXPECT_FALSE(view->liveEdgeButton()->isVisible());

    // Up the picture: 299 rows back (two eighths of a degree a row), the window ending on row k, its
    // depth track showing the depths of those rows.
    wheel(2 * 299);
    EXPECT_EQ(window->pictureController().rowsBack(), 299);
    EXPECT_EQ(shown(), atK);
    EXPECT_TRUE(view->liveEdgeButton()->isVisible());

    // The live log goes on underneath; the window stays on its rows.
    for (int i = 0; i < 25; ++i)
        liveLine();
    clock.advance(1000);
    EXPECT_EQ(shown(), atK);
    EXPECT_EQ(view->rowsBack(), 324);
    EXPECT_EQ(published.back(), 324);

    // The End key: the live picture again, its newest row at the bottom.
    QAction* end = window->action("liveEdgeKey");
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end->shortcut(), QKeySequence(Qt::Key_End));
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_End);
    EXPECT_EQ(view->rowsBack(), 0);
    EXPECT_EQ(published.back(), 0);
    EXPECT_FALSE(view->liveEdgeButton()->isVisible());
    const QImage live = shown();
    {
        const quelt::ImageBuffer& b = window->picture().buffer();
        std::lock_guard lock(b.mutex);
        const std::uint32_t* newest = b.row(b.cursor + window->picture().screenHeight() - 1);
        EXPECT_EQ(std::memcmp(live.constScanLine(live.height() - 1), newest, 764 * 4), 0);
    }

    // The wheel down at the live edge does nothing; the button brings the window back as End does.
    wheel(-240);
    EXPECT_EQ(window->pictureController().rowsBack(), 0);
    wheel(240);
    EXPECT_EQ(shown().height(), live.height());
    EXPECT_EQ(view->rowsBack(), 120);
    view->liveEdgeButton()->click();
    EXPECT_EQ(window->pictureController().rowsBack(), 0);
}

TEST_F(ScrollBackWindow, TheQualityTracksLookBackWithThePicture) {
    window->showQualityTracks(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    quelt::ui::QualityTracksPanel* panel = window->qualityTracksPanel();
    const int k = quietRow();
    while (rows_ < k + 300)
        liveLine();
    paintedNow();

    // The panel ends on the row the picture ends on, and stays there while the log goes on.
    wheel(2 * 299);
    auto newestShownDepth = [&] {
        panel->repaint();
        return panel->shownWindow().rows.back().depth;
    };
    EXPECT_EQ(panel->rowsBack(), 299);
    EXPECT_NEAR(newestShownDepth(), 10.0 + k * 0.01, 1e-4);
    for (int i = 0; i < 25; ++i)
        liveLine();
    paintedNow();
    EXPECT_EQ(panel->rowsBack(), 324);
    EXPECT_NEAR(newestShownDepth(), 10.0 + k * 0.01, 1e-4);

    QTest::keyClick(window.get(), Qt::Key_End);
    shown();
    EXPECT_EQ(panel->rowsBack(), 0);
    EXPECT_NEAR(newestShownDepth(), 10.0 + (rows_ - 1) * 0.01, 1e-4);
}

TEST_F(ScrollBackWindow, AReplayLooksBackOverRowsReadAgainFromItsLog) {
    // No live history at all: whatever the replay shows looking back comes from the log's file.
    window->pictureController().setHistoryBudget(0);
    const int k = quietRow();
    const std::string header = makeLog(k + 200, 0.01, 10);
    op.answerPath(header);
    window->OpenAndPlay();
    window->onPlay();
    QImage atK;
    for (int i = 0; i <= k + 199; ++i) {
        ASSERT_TRUE(nextLine()) << "line " << i;
        if (i == k) atK = paintedNow();
    }
    EXPECT_EQ(window->pictureController().historyRows(), static_cast<size_t>(k + 200));
    EXPECT_EQ(window->pictureController().historyBytes(), 0u);

    ASSERT_TRUE(window->pictureController().scrollBack(199));
    EXPECT_EQ(shown(), atK);

    // Stopping the replay gives the live rows back (none here) and the live edge.
    window->onStop();
    EXPECT_EQ(window->pictureController().rowsBack(), 0);
    EXPECT_EQ(window->pictureController().historyRows(), 0u);
}

}  // namespace
}  // namespace windowtest
