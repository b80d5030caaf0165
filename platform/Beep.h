#pragma once
// The beep seam: the link makes the loss and return of the logger audible while the sonde is powered.

#include <mutex>
#include <utility>
#include <vector>

namespace quelt {

class Beeper {
  public:
    virtual ~Beeper() = default;
    virtual void beep(int hz, int ms) = 0;
};

// No sound at all (the command line, and hosts without a speaker).
class SilentBeeper final : public Beeper {
  public:
    void beep(int, int) override {}
};

// Remembers every beep (tests).
class RecordingBeeper final : public Beeper {
  public:
    void beep(int hz, int ms) override {
        std::lock_guard<std::mutex> lock(mutex_);
        beeps_.emplace_back(hz, ms);
    }
    std::vector<std::pair<int, int>> beeps() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return beeps_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<int, int>> beeps_;
};

}  // namespace quelt
