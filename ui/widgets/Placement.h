#pragma once
// Window placements of Zorak.dat as Qt geometry. The stored normal-position rectangle is the window's
// frame (title bar and borders included), as the platform that wrote the file keeps it.

#include <QList>
#include <QRect>
#include <QWidget>

#include "config/Settings.h"

namespace quelt::ui {

// The placement of `w` as the platform stores it (length 44, shown normally, the frame rectangle).
WindowPlacement placementOf(const QWidget* w);
// Moves and sizes `w` so that its frame takes a valid placement; with keepSize only the frame's left and
// top are used. A placement whose title bar would be on no screen is moved onto the nearest screen.
void applyPlacement(QWidget* w, const WindowPlacement& p, bool keepSize = false);
// `w` centred horizontally over `over` and `below` pixels under its top.
void placeUnder(QWidget* w, const QWidget* over, int below);

// The frame rectangle `frame` kept where the operator can grab its title bar: unchanged when its top
// edge lies on one of the screen areas `screens` with a grip's width of it inside; otherwise moved
// (and shrunk when larger) into the nearest area.
QRect keepTitleBarOnScreen(const QRect& frame, const QList<QRect>& screens);

}  // namespace quelt::ui
