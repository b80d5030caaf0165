// quelt monitor: the field check before going down the hole.

#include <cstdio>
#include <cstdlib>

#include "cli/Headless.h"
#include "cli/Interrupt.h"
#include "cli/LiveOutput.h"

namespace quelt::cli {
namespace {

int runMonitor(const GlobalOptions& options, const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    HeadlessOptions ho;
    if (!takeHeadlessOptions(args, ho, "monitor")) return kExitUsage;
    bool json = false;
    double seconds = 10;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--seconds" && i + 1 < args.size()) {
            seconds = std::atof(args[++i].c_str());
        } else {
            std::fprintf(stderr, "quelt monitor: unknown argument %s\n", args[i].c_str());
            return kExitUsage;
        }
    }
    Headless h(options, ho);
    if (!h.start("monitor")) return h.startFailure;
    catchInterrupts();
    int rc = powerUp(h, "monitor", json);
    if (rc != kExitOk) return rc;
    const Millis start = h.now();
    for (int s = 0; s < static_cast<int>(seconds) && !interrupted(); ++s) {
        if (!h.run(1000)) {
            std::fprintf(stderr, "quelt monitor: the logger was lost: its USB link failed (cable pulled?)\n");
            return kExitFailure;
        }
        LiveLine l = liveLine(h, start);
        std::printf("%s\n", (json ? liveLineJson(l) : liveLineText(l)).c_str());
        std::fflush(stdout);
    }
    powerDown(h, "monitor");
    return interrupted() ? kExitInterrupted : kExitOk;
}

CommandRegistration registration{{
    "monitor",
    "power the sonde up, print the live values once a second, power it down",
    "Usage: quelt [--home DIR] [--device sim|ftdi|serial:PATH] monitor [--seconds N] [--json]\n"
    "                                 [--scenario S --seed N] [--fast] [--capture FILE]\n\n"
    "Starts the link, waits for the logger, selects the sonde of SondeUsed, presses Power and prints each\n"
    "step of the power-up sequence, then the live values once a second for N seconds (10 by default), then\n"
    "powers the sonde down.\n\n"
    "  --json          one JSON object a second: {\"t\":1.0,\"depth\":12.345,\"speed\":3.2,\"tilt\":4.1,\n"
    "                  "
    "\"azimuth\":211.0,\"highSide\":87.5,\"rotation\":273,\"gammaRate\":54,\"voltage\":91,\n"
    "                  \"current\":120,\"status\":\"Status "
    "OK\",\"valid\":52,\"error\":0,\"linkStatus\":255}, with \"device\":\"sim\" on\n"
    "                  the simulated logger (the text line ends with [device sim])\n"
    "  --scenario S    the simulated logger's scenario (quelt simulate --list), --seed N its seed\n"
    "  --fast          run the simulated logger (--device sim) on simulated time, as fast as the machine\n"
    "                  goes (without it every device runs in real time through the link's threads)\n"
    "  --capture FILE  tee the raw uplink bytes into FILE (for quelt frames)\n\n"
    "Exit codes: 0 done, 1 the logger was lost, 2 the power-up was refused (the panel's text on standard\n"
    "error) or a bad command line, 3 no logger (\"Not hardware detected.\", with the reason when the link\n"
    "knows it, such as a missing udev rule), 130 interrupted.\n",
    runMonitor,
}};

}  // namespace
}  // namespace quelt::cli
