#pragma once
// The pace of a replay: one line after a delay set by the speed variator (1..50, 25 at start). With
// a = 51 - position the delay is a² x 150 µs, so 25 gives about 101 ms a line and 50 no wait at all.

#include "platform/Clock.h"

namespace quelt {

class ReplayPacer {
  public:
    static constexpr int kSliderMax = 50;
    static constexpr int kSliderStart = 25;

    void setPosition(int position) {
        position_ = position < 1 ? 1 : position > kSliderMax ? kSliderMax : position;
    }
    int position() const { return position_; }

    // Microseconds between two lines at the current position.
    long long delayMicros() const {
        long long a = kSliderMax + 1 - position_;
        return a > 1 ? a * a * 150 : 0;
    }

    // Starts the wait for the next line.
    void restart(Millis now) { nextMicros_ = now * 1000 + delayMicros(); }
    // True when the next line is due; then the wait for the one after it starts.
    bool due(Millis now) {
        if (now * 1000 < nextMicros_) return false;
        nextMicros_ = now * 1000 + delayMicros();
        return true;
    }
    // Milliseconds until the next line is due (0 when it is).
    Millis wait(Millis now) const {
        long long left = nextMicros_ - now * 1000;
        return left > 0 ? (left + 999) / 1000 : 0;
    }

  private:
    int position_ = kSliderStart;
    long long nextMicros_ = 0;
};

}  // namespace quelt
