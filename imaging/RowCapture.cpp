#include "imaging/RowCapture.h"

#include <algorithm>

namespace quelt {

RowCapture::RowCapture(const CToolsBmp& picture, int delay)
    : picture_(picture), delay_(std::clamp(delay, 0, std::max(picture.screenHeight() - 1, 0))) {}

void RowCapture::take(int bufferRow) {
    const ImageBuffer& b = picture_.buffer();
    const std::uint32_t* row = b.row(bufferRow);
    pixels_.insert(pixels_.end(), row, row + kRowWidth);
}

// The newest row lies at cursor + H - 1 going down (the window's last row) and at the cursor going up
// (its first row); a row built k rows earlier lies k rows further in.
void RowCapture::afterRow(bool down) {
    if (waiting_ > 0 && down != down_) finish();
    down_ = down;
    ++waiting_;
    if (waiting_ <= delay_) return;
    const ImageBuffer& b = picture_.buffer();
    std::lock_guard lock(b.mutex);
    const int H = picture_.screenHeight();
    take(down ? b.cursor + H - 1 - delay_ : b.cursor + delay_);
    --waiting_;
}

void RowCapture::finish() {
    const ImageBuffer& b = picture_.buffer();
    std::lock_guard lock(b.mutex);
    const int H = picture_.screenHeight();
    for (int k = waiting_ - 1; k >= 0; --k)
        take(down_ ? b.cursor + H - 1 - k : b.cursor + k);
    waiting_ = 0;
}

std::vector<std::uint8_t> RowCapture::bgr() const {
    std::vector<std::uint8_t> out;
    out.reserve(pixels_.size() * 3);
    for (std::uint32_t p : pixels_) {
        out.push_back(static_cast<std::uint8_t>(p));
        out.push_back(static_cast<std::uint8_t>(p >> 8));
        out.push_back(static_cast<std::uint8_t>(p >> 16));
    }
    return out;
}

}  // namespace quelt
