#include "ui/widgets/QualityTracksPanel.h"

#include <QEvent>
#include <QPainter>

#include "imaging/QualityTracksPicture.h"

namespace quelt::ui {

QualityTracksPanel::QualityTracksPanel(const QualityTracks& tracks, QWidget* picture, const PictureEdge* edge,
                                       QWidget* parent)
    : QWidget(parent), tracks_(tracks), picture_(picture), edge_(edge) {
    setObjectName("qualityTracks");
    setFixedWidth(kQualityTracksWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
    picture_->installEventFilter(this);
}

void QualityTracksPanel::setRowsBack(int rows) {
    rowsBack_ = std::max(rows, 0);
    follow();
}

int QualityTracksPanel::rowsTop() const {
    return picture_->mapTo(window(), QPoint(0, 0)).y() - mapTo(window(), QPoint(0, 0)).y();
}

// Each paint of the picture: the rows it was given.
bool QualityTracksPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::Paint && isVisible()) follow();
    return QWidget::eventFilter(watched, event);
}

void QualityTracksPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    follow();
}

void QualityTracksPanel::follow() {
    if (!isVisible()) return;
    // At the live edge the picture shows the rows of its last copy; scrolled back, its window is counted
    // from the newest row drawn, whether or not that row has been copied.
    const std::uint64_t edge = edge_ && rowsBack_ == 0 ? edge_->edge() : UINT64_MAX;
    shown_ = tracks_.window(static_cast<std::size_t>(std::max(picture_->height(), 0)),
                            static_cast<std::size_t>(rowsBack_), edge);
    render();
    update();
}

void QualityTracksPanel::render() {
    const int top = std::max(rowsTop(), 0);
    if (raster_.width != kQualityTracksWidth || raster_.height != height())
        raster_ = Raster32(kQualityTracksWidth, std::max(height(), 1), kTracksEmpty);
    const TrackScales scales = trackScalesFor(shown_, depthUnit ? depthUnit() : 0);
    // The header ends where the rows begin, as the labels end above the pictures.
    for (int y = 0; y < std::min(top, raster_.height); ++y)
        std::fill_n(&raster_.pixels[static_cast<std::size_t>(y) * raster_.width], raster_.width,
                    kTracksEmpty);
    drawQualityTracksHeader(raster_, top - kQualityTracksHeaderRows, shown_, scales);
    drawQualityTrackRows(raster_, top, picture_->height(), shown_, scales);
    for (int y = top + picture_->height(); y < raster_.height; ++y)
        std::fill_n(&raster_.pixels[static_cast<std::size_t>(y) * raster_.width], raster_.width,
                    kTracksEmpty);
}

QImage QualityTracksPanel::shownImage() const {
    return QImage(reinterpret_cast<const uchar*>(raster_.pixels.data()), raster_.width, raster_.height,
                  raster_.width * 4, QImage::Format_ARGB32)
        .copy();
}

void QualityTracksPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (raster_.height != height()) render();
    const QImage image(reinterpret_cast<const uchar*>(raster_.pixels.data()), raster_.width, raster_.height,
                       raster_.width * 4, QImage::Format_ARGB32);
    p.drawImage(0, 0, image);
}

}  // namespace quelt::ui
