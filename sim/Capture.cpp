#include "sim/Capture.h"

namespace quelt::sim {
namespace {
std::vector<std::uint8_t> withSum(std::vector<std::uint8_t> c) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : c)
        sum = static_cast<std::uint8_t>(sum + b);
    c.push_back(sum);
    return c;
}
}  // namespace

std::vector<std::vector<std::uint8_t>> standardPowerUp() {
    // Winch mode 0x20 (four conductors, pulley direction set); 1500; 80 counts per cm (1000 pulses on a
    // 500 mm pulley); power 90; gain 25, drive 15; blanking 1200, window 500, gain 10; resolution 2, motor
    // period 87, divisor 10, pulse width 15, format 6.
    return {withSum({0x00, 0x20}), withSum({0x01, 0x20, 0xDC, 0x05, 0x00, 0x50, 90}), withSum({0x03, 25, 15}),
            withSum({0x05, 0xB0, 0x04, 0xF4, 0x01, 10}), withSum({0x04, 2, 87, 10, 15, 6})};
}

CaptureResult capture(const Scenario& scenario, double seconds) {
    CaptureResult r;
    SimLogger sim(scenario, 0);
    const Millis times[] = {500, 1000, 2000, 2300, 2600};
    auto cmds = standardPowerUp();
    // A mono scenario is driven with the mono winch mode.
    if (scenario.cable.kind == CableKind::Mono) {
        for (auto& c : cmds) {
            if (c[0] <= 1) {
                c[1] |= 0x10;
                c.pop_back();
                std::uint8_t sum = 0;
                for (std::uint8_t b : c)
                    sum = static_cast<std::uint8_t>(sum + b);
                c.push_back(sum);
            }
        }
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
