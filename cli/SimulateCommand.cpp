// quelt simulate: the built-in simulated logger, as a capture, on a pseudo-terminal, or listed.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "platform/Clock.h"
#include "sim/Capture.h"
#include "sim/Scenario.h"
#include "sim/SimLogger.h"

namespace quelt::cli {
namespace {

int listScenarios() {
    for (const auto& s : sim::builtinScenarios())
        std::printf("%-10s %s\n", s.name.c_str(), s.description.c_str());
    return kExitOk;
}

int runCapture(const sim::Scenario& scenario, const std::string& file, double seconds) {
    std::fprintf(stderr, "quelt simulate: scenario %s, seed %llu, %.1f s\n", scenario.name.c_str(),
                 static_cast<unsigned long long>(scenario.seed), seconds);
    sim::CaptureResult r = sim::capture(scenario, seconds);
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "quelt simulate: cannot write %s\n", file.c_str());
        return kExitFailure;
    }
    bool ok = std::fwrite(r.bytes.data(), 1, r.bytes.size(), f) == r.bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "quelt simulate: cannot write %s\n", file.c_str());
        return kExitFailure;
    }
    const sim::SimCounters& c = r.counters;
    std::fprintf(stderr,
                 "quelt simulate: %zu bytes; frames: %d logger, %d status, %d full data, %d lost; "
                 "bytes corrupted %d, dropped %d, inserted %d; commands %d taken, %d rejected\n",
                 r.bytes.size(), c.loggerFrames, c.statusFrames, c.dataFrames, c.lostFrames, c.bytesCorrupted,
                 c.bytesDropped, c.bytesInserted, c.commandsTaken, c.commandsRejected);
    return kExitOk;
}

int runPty(const sim::Scenario& scenario) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "quelt simulate: cannot open a pseudo-terminal\n");
        if (master >= 0) ::close(master);
        return kExitFailure;
    }
    const char* name = ptsname(master);
    // Keep the slave side open ourselves so the master never sees a hang-up between clients; put it in
    // raw mode so no byte is translated.
    int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::printf("%s\n", name);
    std::fflush(stdout);
    std::fprintf(stderr, "quelt simulate: scenario %s, seed %llu, serving on %s (Ctrl-C stops)\n",
                 scenario.name.c_str(), static_cast<unsigned long long>(scenario.seed), name);
    catchInterrupts();
    SteadyClock clock;
    sim::SimLogger logger(scenario, clock.now());
    std::vector<std::uint8_t> out;
    std::uint8_t in[256];
    while (!interrupted()) {
        pollfd p{master, POLLIN, 0};
        ::poll(&p, 1, 2);
        Millis now = clock.now();
        ssize_t n = ::read(master, in, sizeof in);
        if (n > 0) logger.write(in, static_cast<size_t>(n), now);
        logger.tick(now);
        out.resize(logger.available());
        logger.read(out.data(), out.size());
        size_t off = 0;
        while (off < out.size()) {
            ssize_t w = ::write(master, out.data() + off, out.size() - off);
            if (w <= 0) break;  // nobody reads: the bytes are lost, as on a real line
            off += static_cast<size_t>(w);
        }
    }
    if (slave >= 0) ::close(slave);
    ::close(master);
    std::fprintf(stderr, "quelt simulate: stopped\n");
    return kExitInterrupted;
}

int runSimulate(const GlobalOptions&, const std::vector<std::string>& args) {
    std::string scenarioName = "clean", captureFile;
    std::uint64_t seed = 1;
    bool seedGiven = false, list = false, pty = false;
    double seconds = 60;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "quelt simulate: %s needs a value\n", a.c_str());
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--list") {
            list = true;
        } else if (a == "--pty") {
            pty = true;
        } else if (a == "--scenario") {
            if (!value(scenarioName)) return kExitUsage;
        } else if (a == "--seed") {
            if (!value(v)) return kExitUsage;
            char* end = nullptr;
            seed = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0') {
                std::fprintf(stderr, "quelt simulate: bad seed %s\n", v.c_str());
                return kExitUsage;
            }
            seedGiven = true;
        } else if (a == "--capture") {
            if (!value(captureFile)) return kExitUsage;
        } else if (a == "--seconds") {
            if (!value(v)) return kExitUsage;
            char* end = nullptr;
            seconds = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400) {
                std::fprintf(stderr, "quelt simulate: bad duration %s\n", v.c_str());
                return kExitUsage;
            }
        } else {
            std::fprintf(stderr, "quelt simulate: unknown argument %s\n", a.c_str());
            return kExitUsage;
        }
    }
    if (list) return listScenarios();
    if (pty == !captureFile.empty()) {
        std::fprintf(stderr, "quelt simulate: give one of --list, --capture FILE or --pty\n");
        return kExitUsage;
    }
    sim::Scenario scenario;
    std::string error;
    if (!sim::resolveScenario(scenarioName, seed, seedGiven, scenario, error)) {
        std::fprintf(stderr, "quelt simulate: %s\n", error.c_str());
        return kExitUsage;
    }
    return pty ? runPty(scenario) : runCapture(scenario, captureFile, seconds);
}

CommandRegistration registration{{
    "simulate",
    "run the built-in simulated logger and sonde",
    "Usage: quelt simulate --list\n"
    "       quelt simulate [--scenario NAME|FILE] [--seed N] --capture FILE [--seconds N]\n"
    "       quelt simulate [--scenario NAME|FILE] [--seed N] --pty\n\n"
    "The simulated surface logger and sonde, byte for byte as on the wire.\n\n"
    "  --list            list the built-in scenarios\n"
    "  --scenario NAME   a built-in scenario (default clean) or a scenario INI file\n"
    "  --seed N          the seed of the run (default 1; a file's own Seed otherwise); the same seed gives\n"
    "                    the same bytes\n"
    "  --capture FILE    drive a standard power-up on simulated time and write the raw uplink bytes to FILE\n"
    "  --seconds N       length of the capture in simulated seconds (default 60)\n"
    "  --pty             serve the logger on a pseudo-terminal, print its path and run until interrupted\n"
    "                    (use it with --device serial:PATH)\n\n"
    "Scenario files: sections [Scenario] (Base, Seed, Description), [Winch] (StartDepth, StartPause,\n"
    "Acceleration, Legs = depth@speed/pause, ...), [Borehole], [Cable] (Type = 4cond|mono, Length, Noise),\n"
    "[Sonde] and [Faults]; a missing key keeps the base scenario's value.\n\n"
    "Exit codes: 0 done, 1 a file or the terminal could not be used, 2 bad arguments, 130 interrupted.\n",
    runSimulate,
}};

}  // namespace
}  // namespace quelt::cli
