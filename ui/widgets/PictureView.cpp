#include "ui/widgets/PictureView.h"

#include <QMetaObject>
#include <QPainter>
#include <cstring>

namespace quelt::ui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kRowWidth);
    setMinimumHeight(kMinScreenHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
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
