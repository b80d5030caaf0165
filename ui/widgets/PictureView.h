#pragma once
// The picture window: the visible rows of the ImageBuffer (travel-time picture, depth track and
// amplitude picture, 764 pixels wide) painted through a QImage. The rows may be copied on any thread;
// the repaint is always asked of the window's own thread. The wheel asks for older or newer rows and a
// button, shown only while the picture looks back, asks for the live edge; the picture controller
// decides what is shown.

#include <QImage>
#include <QToolButton>
#include <QWidget>
#include <mutex>

#include "imaging/ToolsBmp.h"

namespace quelt::ui {

class PictureView : public QWidget, public PictureSurface {
    Q_OBJECT
  public:
    explicit PictureView(QWidget* parent = nullptr);

    int clientWidth() const override;
    int clientHeight() const override;
    void resizeClient(int width, int height) override;
    void copyRows(const std::uint32_t* pixels, int width, int rows, int stride) override;

    // A copy of what the window shows (tests, screenshots).
    QImage shownImage() const;
    int paintsReceived() const { return paints_; }

    // Rows the wheel scrolls a notch.
    static constexpr int kWheelRows = 60;
    // How far the window looks back (0: the live edge); shows the live-edge button while it looks back.
    void showRowsBack(int rows);
    int rowsBack() const { return rowsBack_; }
    QToolButton* liveEdgeButton() const { return liveEdge_; }

  signals:
    // The wheel: `rows` rows further up the picture wanted in view (negative: further down).
    void wheelRows(int rows);
    void liveEdgeRequested();
    // The window now ends `rows` rows before the newest row; 0 is the live edge.
    void rowsBackChanged(int rows);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeLiveEdgeButton();

    mutable std::mutex mutex_;
    QImage image_;
    int paints_ = 0;
    QToolButton* liveEdge_ = nullptr;
    int rowsBack_ = 0;
    int wheelEighths_ = 0;  // wheel turn not yet worth a row
};

}  // namespace quelt::ui
