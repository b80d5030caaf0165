#include "ui/widgets/PictureView.h"

#include <QMetaObject>
#include <QPainter>
#include <QWheelEvent>
#include <cstring>

namespace quelt::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kRowWidth);
    setMinimumHeight(kMinScreenHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    liveEdge_ = new QToolButton(this);
    liveEdge_->setObjectName("liveEdge");
    liveEdge_->setText("Live edge (End)");
    liveEdge_->setToolTip("Back to the newest rows of the picture");
    liveEdge_->hide();
    connect(liveEdge_, &QToolButton::clicked, this, &PictureView::liveEdgeRequested);
}

void PictureView::showRowsBack(int rows) {
    liveEdge_->setVisible(rows > 0);
    if (rows == rowsBack_) return;
    rowsBack_ = rows;
    emit rowsBackChanged(rows);
}

// One notch (120 eighths of a degree) scrolls kWheelRows rows; finer wheels add up to whole rows.
void PictureView::wheelEvent(QWheelEvent* event) {
    constexpr int kNotch = 120;
    wheelEighths_ += event->angleDelta().y();
    const int rows = wheelEighths_ * kWheelRows / kNotch;
    wheelEighths_ -= rows * kNotch / kWheelRows;
    if (rows != 0) emit wheelRows(rows);
    event->accept();
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeLiveEdgeButton();
}

// In the picture's bottom right-hand corner.
void PictureView::placeLiveEdgeButton() {
    constexpr int kInset = 8;
    liveEdge_->adjustSize();
    liveEdge_->move(width() - liveEdge_->width() - kInset, height() - liveEdge_->height() - kInset);
}

int PictureView::clientWidth() const {
    return width();
}

int PictureView::clientHeight() const {
    return height();
}

// The picture keeps its width; only the height follows the main window.
void PictureView::resizeClient(int width, int height) {
    if (width != kRowWidth) return;
    QMetaObject::invokeMethod(
        this, [this, height] { resize(kRowWidth, height); }, Qt::QueuedConnection);
}

void PictureView::copyRows(const std::uint32_t* pixels, int width, int rows, int stride) {
    {
        std::lock_guard lock(mutex_);
        if (image_.width() != width || image_.height() != rows)
            image_ = QImage(width, rows, QImage::Format_ARGB32);
        for (int r = 0; r < rows; ++r)
            std::memcpy(image_.scanLine(r), pixels + static_cast<size_t>(r) * stride,
                        static_cast<size_t>(width) * sizeof(std::uint32_t));
        ++paints_;
    }
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

QImage PictureView::shownImage() const {
    std::lock_guard lock(mutex_);
    return image_.copy();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    std::lock_guard lock(mutex_);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

}  // namespace quelt::ui
