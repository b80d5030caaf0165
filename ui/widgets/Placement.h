#pragma once
// Window placements of Zorak.dat as Qt geometry: the normal-position rectangle of a window.

#include <QWidget>

#include "config/Settings.h"

namespace quelt::ui {

// The placement of `w` as the platform stores it (length 44, shown normally, the frame rectangle).
WindowPlacement placementOf(const QWidget* w);
// Moves and sizes `w` to a valid placement; with keepSize only its left and top are used.
void applyPlacement(QWidget* w, const WindowPlacement& p, bool keepSize = false);
// `w` centred horizontally over `over` and `below` pixels under its top.
void placeUnder(QWidget* w, const QWidget* over, int below);

}  // namespace quelt::ui
