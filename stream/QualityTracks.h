#pragma once
// The quality tracks beside the picture: one compact sample for every row the picture draws, live and in
// replay, in the picture's own order, cleared when the picture is cleared, so that row N of the tracks
// is row N of the picture. The speed limit and the |g| and |B| bands are LogQuality's; this model only
// keeps, for each row, what the line gave and whether LogQuality found it outside.
//
// Threads: add() runs on the thread that draws the picture's rows (the link's reader, or the window
// during a replay), clear() on whichever thread clears the picture, window() on the window's thread.
// One small lock guards the rows; window() copies the rows it gives.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "stream/LiveState.h"
#include "stream/LogQuality.h"

namespace quelt {

// One picture row. Values are floats (a few MB per 100 000 rows); NaN marks what is not known.
struct TrackSample {
    static constexpr std::uint8_t kOverSpeed = 1;        // above the speed limit
    static constexpr std::uint8_t kGravityOutside = 2;   // |g| outside its band
    static constexpr std::uint8_t kMagneticOutside = 4;  // |B| outside its band
    static constexpr std::uint8_t kGapBefore = 8;        // a depth gap between the previous row and this one

    float depth = 0.0f;  // metres
    float tilt = NAN, azimuth = NAN;
    float speed = NAN;        // m/min, unsigned
    float speedLimit = 0.0f;  // m/min; 0 when the revolution time is unknown
    float gamma = NAN;        // counts per second
    float gravity = NAN;      // |g|, in g
    float magnetic = NAN;     // |B|, in the sonde's unit
    std::uint8_t flags = 0;

    bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
};

// The line of a picture row as LogQuality takes it: `depth` is the depth the row was drawn at, and
// `gammaRate` the rate the row builder computed for it. `liveSpeed`: the decoders measured the speed
// (live); otherwise LogQuality derives it from the recorded times (a replay).
QualityLine trackLineOf(const LiveValues& v, double depth, double gammaRate, bool liveSpeed);

// The rows a window shows, oldest first, with what the tracks are drawn against.
struct TrackWindow {
    std::vector<TrackSample> rows;
    bool down = true;  // the newest row is at the bottom (logging down), else at the top
    double gravityLow = 0.0, gravityHigh = 0.0;
    double magneticLow = 0.0, magneticHigh = 0.0;  // 0, 0 while the |B| reference is not known
    double magneticReference = 0.0;                // the reference so far, 0 when nothing is known
    double speedLimit = 0.0;                       // of the newest row
    double largestTilt = 0.0, largestGamma = 0.0;  // over every row since the clear, for the scales
};

class QualityTracks {
  public:
    // A live log since the program started fits many times over; beyond it the oldest rows go.
    static constexpr std::size_t kMaxRows = 1'000'000;

    explicit QualityTracks(const QualityLimits& limits = {});

    // The step, revolution time and reference the lines are judged by. Limits that differ from the
    // current ones restart the judgement (the rows already kept stay as they were judged).
    void setLimits(const QualityLimits& limits);
    QualityLimits limits() const;

    // One row, drawn in direction `down`.
    void add(const QualityLine& line, bool down);
    void clear();

    std::size_t rows() const;
    // Rows added since the model was made, clears included: tells a reader how far the rows moved on.
    std::uint64_t added() const;
    // At most `count` rows ending `rowsBack` rows before the newest, oldest first. With `edge` (a value
    // added() gave), "the newest" is the newest row as it was then: the rows added since do not count.
    TrackWindow window(std::size_t count, std::size_t rowsBack = 0, std::uint64_t edge = UINT64_MAX) const;

  private:
    mutable std::mutex mutex_;
    LogQuality quality_;
    std::deque<TrackSample> rows_;
    bool down_ = true;
    std::uint64_t added_ = 0;
    double largestTilt_ = 0.0, largestGamma_ = 0.0;
};

}  // namespace quelt
