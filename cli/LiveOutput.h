#pragma once
// The once-a-second line of live values that `quelt monitor` and `quelt replay` print.

#include <string>

#include "stream/LiveState.h"

namespace quelt::cli {

struct LiveLine {
    double t = 0;  // seconds since the start of the run
    LiveValues values;
    int gammaRate = 0;
    std::string status;
    long long valid = 0, error = 0;
    int linkStatus = 0;
    std::string device;  // "sim" while the simulated logger runs, else empty (a real logger or a replay)
};

// {"t":1.0,"depth":12.345,"speed":3.2,"tilt":4.1,...}; null where a value is not known; "device":"sim"
// on the simulated logger.
std::string liveLineJson(const LiveLine& line);
// The same as one readable line.
std::string liveLineText(const LiveLine& line);
// A real of the live record as JSON: null for the no-value sentinel.
std::string liveNumber(double value);

}  // namespace quelt::cli
