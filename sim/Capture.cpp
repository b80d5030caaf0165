#include "sim/Capture.h"

#include "link/Frames.h"

namespace quelt::sim {
namespace {
std::vector<std::uint8_t> bytesOf(const CommandFrame& f) {
    return {f.data(), f.data() + f.length};
}
}  // namespace

std::vector<std::vector<std::uint8_t>> standardPowerUp() {
    // Winch mode 0x20 (four conductors, pulley direction set); 1500; 80 counts per cm (1000 pulses on a
    // 500 mm pulley); power 90; gain 25, drive 15; blanking 1200, window 500, gain 10; resolution 2, motor
    // period 87, divisor 10, pulse width 15, format 6.
    std::uint8_t mode = winchModeByte(0, true);
    return {bytesOf(buildF0(mode)), bytesOf(buildF1(mode, kLoggerConstant, 0x5000, 90)),
            bytesOf(buildF3(25, 15)), bytesOf(buildF5(1200, 500, 10)), bytesOf(buildF4(2, 87, 10, 15))};
}

CaptureResult capture(const Scenario& scenario, double seconds) {
    CaptureResult r;
    SimLogger sim(scenario, 0);
    const Millis times[] = {500, 1000, 2000, 2300, 2600};
    auto cmds = standardPowerUp();
    // A mono scenario is driven with the mono winch mode.
    if (scenario.cable.kind == CableKind::Mono) {
        std::uint8_t mode = winchModeByte(1, true);
        cmds[0] = bytesOf(buildF0(mode));
        cmds[1] = bytesOf(buildF1(mode, kLoggerConstant, 0x5000, 90));
    }
    auto end = static_cast<Millis>(seconds * 1000.0);
    size_t next = 0;
    std::vector<std::uint8_t> chunk;
    for (Millis now = 0; now <= end; now += 10) {
        while (next < cmds.size() && times[next] <= now) {
            sim.write(cmds[next].data(), cmds[next].size(), now);
            ++next;
            ++r.commandsSent;
        }
        sim.tick(now);
        chunk.resize(sim.available());
        sim.read(chunk.data(), chunk.size());
        r.bytes.insert(r.bytes.end(), chunk.begin(), chunk.end());
    }
    r.counters = sim.counters();
    return r;
}

}  // namespace quelt::sim
