#pragma once
// The picture window: the visible rows of the ImageBuffer (travel-time picture, depth track and
// amplitude picture, 764 pixels wide) painted through a QImage. The rows may be copied on any thread;
// the repaint is always asked of the window's own thread.

#include <QImage>
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

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    mutable std::mutex mutex_;
    QImage image_;
    int paints_ = 0;
};

}  // namespace quelt::ui
