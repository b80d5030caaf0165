#pragma once
// The program's own orientation of six sensor axes, computed by the decoders' routine itself (not a copy
// of its formulas), so that the simulator's geometry is checked against what the program really computes:
// true angles in, the program's angles out.

#include <atomic>
#include <cmath>

#include "config/Settings.h"
#include "link/LinkState.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/StreamPorts.h"
#include "stream/ToolsStream.h"

namespace quelt::sim {

struct Decoded {
    double tilt, azimuth, highSide, gravityTotal, magneticTotal;
};

inline Decoded decode(double gx, double gy, double gz, double hx, double hy, double hz) {
    Settings settings;
    LiveState live;
    ReplyEcho echo;
    ImageLine line;
    StreamShared shared;
    LinkCounters counters;
    std::atomic<int> linkStatus{kLinkNothing};
    NullStreamEvents events;
    CToolsStream stream{settings, live, echo, line, shared, counters, linkStatus, events};
    stream.updateOrientation(hx, hy, hz, gx, gy, gz, false);
    const LiveValues v = live.snapshot();
    return {v.tilt, v.azimuth, v.highSide, v.gravityTotal, v.magneticTotal};
}

// The smallest difference of two angles, degrees.
inline double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

}  // namespace quelt::sim
