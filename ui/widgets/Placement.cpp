#include "ui/widgets/Placement.h"

namespace quelt::ui {

WindowPlacement placementOf(const QWidget* w) {
    WindowPlacement p;
    p.length = 44;
    p.showCmd = w->isMinimized() ? 2 : 1;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    // The normal-position rectangle: the geometry itself unless the window is maximised or minimised.
    const bool special = w->isMaximized() || w->isMinimized() || w->isFullScreen();
    const QRect r = special && w->normalGeometry().isValid() ? w->normalGeometry() : w->geometry();
    p.left = r.left();
    p.top = r.top();
    p.right = r.left() + r.width();
    p.bottom = r.top() + r.height();
    return p;
}

void applyPlacement(QWidget* w, const WindowPlacement& p, bool keepSize) {
    if (!p.valid()) return;
    const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
    const int width = p.right - p.left, height = p.bottom - p.top;
    if (keepSize || width < least.width() || height < least.height()) {
        // The stored rectangle is the client area's: keep the window's own size at its corner.
        w->setGeometry(p.left, p.top, w->width(), w->height());
        return;
    }
    w->setGeometry(p.left, p.top, width, height);
}

void placeUnder(QWidget* w, const QWidget* over, int below) {
    if (!over) return;
    const QRect area = over->frameGeometry();
    w->move(area.left() + (area.width() - w->frameGeometry().width()) / 2, area.top() + below);
}

}  // namespace quelt::ui
