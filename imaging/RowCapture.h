#pragma once
// Every row the row builder makes, in the order it makes them, taken from the picture buffer once the
// depth labels that reach a row have been drawn (a label covers rows on both sides of its depth). The
// command line's picture of a whole log is made of these rows.

#include <cstdint>
#include <vector>

#include "imaging/ToolsBmp.h"

namespace quelt {

class RowCapture {
  public:
    // Rows are taken `delay` rows after they were built (at most the screen height less one).
    explicit RowCapture(const CToolsBmp& picture, int delay = 32);

    // After each DrawLineOfPixel (all in one direction, as in a replay).
    void afterRow(bool down);
    // Takes the rows still waiting; call once at the end.
    void finish();

    int rows() const { return static_cast<int>(pixels_.size() / kRowWidth); }
    // rows() x 764 pixels, 0xAARRGGBB, in building order.
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }
    // The same as blue-green-red bytes, 2292 a row.
    std::vector<std::uint8_t> bgr() const;

  private:
    void take(int bufferRow);

    const CToolsBmp& picture_;
    int delay_;
    int waiting_ = 0;
    bool down_ = true;
    std::vector<std::uint32_t> pixels_;
};

}  // namespace quelt
