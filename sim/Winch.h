#pragma once
// The winch: a cable that accelerates, logs at a steady speed, pauses and reverses. The profile is a list
// of legs, turned once into pieces of constant acceleration, so depth and speed are exact functions of
// time, whatever the rate at which the simulator looks at them.

#include <vector>

namespace quelt::sim {

struct WinchLeg {
    double toDepth = 0;       // m, along the hole
    double speed = 3.0;       // m/min, magnitude
    double pauseAfter = 0.0;  // s at rest once there
};

struct WinchProfile {
    double startDepth = 5.0;     // m
    double startPause = 2.0;     // s at rest before the first leg
    double acceleration = 0.02;  // m/s^2
    std::vector<WinchLeg> legs;
};

struct WinchState {
    double depth = 0;  // m
    double speed = 0;  // m/min, positive downwards
};

class Winch {
  public:
    explicit Winch(const WinchProfile& profile);
    // State at a time (seconds since the start of the run); after the last leg the cable rests.
    WinchState at(double seconds) const;
    double duration() const;

  private:
    struct Piece {
        double t0, depth0, velocity0, accel;  // s, m, m/s, m/s^2
    };
    std::vector<Piece> pieces_;
};

}  // namespace quelt::sim
