#include "ui/widgets/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>

namespace quelt::ui {

namespace {

// How much of a title bar must be on a screen for the operator to grab it.
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 20;

// The borders and the title bar around the client area; zero until the window system has framed it.
QMargins frameMargins(const QWidget* w) {
    const QRect frame = w->frameGeometry(), client = w->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

bool titleBarOn(const QRect& frame, const QRect& area) {
    if (frame.top() < area.top() || frame.top() > area.bottom() - kGripHeight + 1) return false;
    const int overlap = std::min(frame.right(), area.right()) - std::max(frame.left(), area.left()) + 1;
    return overlap >= std::min(frame.width(), kGripWidth);
}

int distance(const QRect& frame, const QRect& area) {
    const QPoint p = frame.topLeft();
    const int dx = p.x() < area.left()    ? area.left() - p.x()
                   : p.x() > area.right() ? p.x() - area.right()
                                          : 0;
    const int dy = p.y() < area.top()      ? area.top() - p.y()
                   : p.y() > area.bottom() ? p.y() - area.bottom()
                                           : 0;
    return dx + dy;
}

QList<QRect> screenAreas() {
    QList<QRect> areas;
    for (const QScreen* s : QGuiApplication::screens())
        areas.push_back(s->availableGeometry());
    return areas;
}

}  // namespace

QRect keepTitleBarOnScreen(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty()) return frame;
    const QRect* nearest = nullptr;
    int best = INT_MAX;
    for (const QRect& area : screens) {
        if (titleBarOn(frame, area)) return frame;
        const int d = distance(frame, area);
        if (d < best) best = d, nearest = &area;
    }
    QRect moved(frame.topLeft(), frame.size().boundedTo(nearest->size()));
    moved.moveLeft(std::clamp(moved.left(), nearest->left(), nearest->right() - moved.width() + 1));
    moved.moveTop(std::clamp(moved.top(), nearest->top(), nearest->bottom() - moved.height() + 1));
    return moved;
}

WindowPlacement placementOf(const QWidget* w) {
    WindowPlacement p;
    p.length = 44;
    p.showCmd = w->isMinimized() ? 2 : 1;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    // The normal-position rectangle: the frame itself unless the window is maximised or minimised.
    const bool special = w->isMaximized() || w->isMinimized() || w->isFullScreen();
    const QRect r = special && w->normalGeometry().isValid()
                        ? w->normalGeometry().marginsAdded(frameMargins(w))
                        : w->frameGeometry();
    p.left = r.left();
    p.top = r.top();
    p.right = r.left() + r.width();
    p.bottom = r.top() + r.height();
    return p;
}

void applyPlacement(QWidget* w, const WindowPlacement& p, bool keepSize) {
    if (!p.valid()) return;
    const QMargins margins = frameMargins(w);
    const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
    QSize client = QSize(p.right - p.left, p.bottom - p.top).shrunkBy(margins);
    if (keepSize || client.width() < least.width() || client.height() < least.height()) client = w->size();
    const QRect frame =
        keepTitleBarOnScreen(QRect(QPoint(p.left, p.top), client.grownBy(margins)), screenAreas());
    w->resize(frame.size().shrunkBy(margins).expandedTo(least));
    w->move(frame.topLeft());  // a window's position is its frame's
}

void placeUnder(QWidget* w, const QWidget* over, int below) {
    if (!over) return;
    const QRect area = over->frameGeometry();
    w->move(area.left() + (area.width() - w->frameGeometry().width()) / 2, area.top() + below);
}

}  // namespace quelt::ui
