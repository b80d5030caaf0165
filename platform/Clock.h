#pragma once
// The clock seam. Every timed behaviour is a state machine with tick(now); the program drives it from
// the steady clock, tests from a FakeClock.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quelt {

using Millis = std::int64_t;  // milliseconds on a monotonic scale

class Clock {
  public:
    virtual ~Clock() = default;
    virtual Millis now() const = 0;
};

class SteadyClock final : public Clock {
  public:
    Millis now() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

class FakeClock final : public Clock {
  public:
    explicit FakeClock(Millis start = 0) : now_(start) {}
    Millis now() const override { return now_.load(); }
    void advance(Millis ms) { now_ += ms; }
    void set(Millis ms) { now_ = ms; }

  private:
    std::atomic<Millis> now_;
};

}  // namespace quelt
