#pragma once
// The quality tracks beside the pictures: a thin view over the QualityTracks model, drawn by the core
// renderer. Its rows line up with the picture window's rows (same top, same height, one row a line), and
// it follows the picture's paints: when the picture window paints, the panel takes the model's rows as
// they are then and paints them, so both show the same newest row. The header (names and scales) sits
// above the rows, beside the labels over the pictures.

#include <QImage>
#include <QWidget>
#include <functional>

#include "imaging/PngFile.h"
#include "stream/QualityTracks.h"

namespace quelt::ui {

class QualityTracksPanel : public QWidget {
    Q_OBJECT
  public:
    // `picture` is the picture window whose rows the panel follows.
    QualityTracksPanel(const QualityTracks& tracks, QWidget* picture, QWidget* parent = nullptr);

    // 0: the live edge; N: the window ends N rows before the newest row.
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
    int rowsBack_ = 0;
    TrackWindow shown_;
    Raster32 raster_;
};

}  // namespace quelt::ui
