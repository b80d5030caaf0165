#pragma once
// Holes in a recorded depth track. One line is recorded per revolution of the acoustic head, so two
// consecutive lines lie about one step apart (the distance the sonde moves in one revolution); lines
// further apart than twice the step mean that at least one revolution is missing between them (lost or
// replaced frames, a stall of the link). Kept by the recorder while it records; also usable line by line
// on a log that is read back.

namespace quelt {

class DepthGaps {
  public:
    // The next line at `depthMetres`, `stepMm` the step at that moment (negative: not known, the line
    // only counts for the largest distance).
    void add(double depthMetres, double stepMm);
    void reset() { *this = DepthGaps{}; }

    // Distances larger than twice the step.
    int count() const { return count_; }
    // The largest distance between two consecutive lines, metres.
    double largestMetres() const { return largest_; }

  private:
    bool have_ = false;
    double last_ = 0;
    int count_ = 0;
    double largest_ = 0;
};

}  // namespace quelt
