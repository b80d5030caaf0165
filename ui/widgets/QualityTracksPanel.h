#pragma once
// The quality tracks beside the pictures: a thin view over the QualityTracks model, drawn by the core
// renderer. Its rows line up with the picture window's rows (same top, same height, one row a line), and
// it follows the picture's paints: when the picture window paints, the panel takes the model's rows as
// they are then and paints them, so both show the same newest row. The header (names and scales) sits
// above the rows, beside the labels over the pictures.

#include <QImage>
#include <QWidget>
#include <atomic>
#include <functional>

#include "imaging/PngFile.h"
#include "imaging/ToolsBmp.h"
#include "stream/QualityTracks.h"

namespace quelt::ui {

// The picture window as the picture controller paints into it: each copy of rows goes on to the window
// and notes how far the quality tracks were then, so that the panel shows the rows the picture shows
// even when rows arrive between the copy and the window's paint.
class PictureEdge final : public PictureSurface {
  public:
    PictureEdge(PictureSurface& picture, const QualityTracks& tracks) : picture_(picture), tracks_(tracks) {}
    int clientWidth() const override { return picture_.clientWidth(); }
    int clientHeight() const override { return picture_.clientHeight(); }
    void resizeClient(int width, int height) override { picture_.resizeClient(width, height); }
    void copyRows(const std::uint32_t* pixels, int width, int rows, int stride) override {
        edge_ = tracks_.added();
        picture_.copyRows(pixels, width, rows, stride);
    }
    // QualityTracks::added() at the last copy.
    std::uint64_t edge() const { return edge_.load(); }

  private:
    PictureSurface& picture_;
    const QualityTracks& tracks_;
    std::atomic<std::uint64_t> edge_{0};
};

class QualityTracksPanel : public QWidget {
    Q_OBJECT
  public:
    // `picture` is the picture window whose rows the panel follows, `edge` what it was last given.
    QualityTracksPanel(const QualityTracks& tracks, QWidget* picture, const PictureEdge* edge,
                       QWidget* parent = nullptr);

    // 0: the live edge (the newest row the picture shows); N: the window ends N rows before it.
    void setRowsBack(int rows);
    int rowsBack() const { return rowsBack_; }
    // The depth unit the speed's scale is labelled in (SetDepthUnit).
    std::function<int()> depthUnit;

    // What the panel shows now (tests, screenshots): the rows from rowsTop() on are the picture's rows.
    QImage shownImage() const;
    int rowsTop() const;
    // The rows drawn at the last paint.
    const TrackWindow& shownWindow() const { return shown_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void follow();
    void render();

    const QualityTracks& tracks_;
    QWidget* picture_;
    const PictureEdge* edge_;
    int rowsBack_ = 0;
    TrackWindow shown_;
    Raster32 raster_;
};

}  // namespace quelt::ui
