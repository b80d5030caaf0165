// quelt replay: a log replayed at the pace of the speed variator, the live values once a second.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "cli/LiveOutput.h"
#include "config/ProgramContext.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"
#include "stream/Transport.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quelt [--home DIR] replay PATH.HED [--speed 1..50] [--from D] [--json]\n\n"
    "Replays the log through the same path as the desktop program: each line read into the live values\n"
    "at the pace of the speed variator (25, the default, is about ten lines a second; 50 has no wait),\n"
    "the live values printed once a second as `quelt monitor` prints them.\n\n"
    "  --speed N   the speed variator, 1 (slowest) to 50 (fastest)\n"
    "  --from D    start at the first line at or past this depth (the log's unit)\n"
    "  --json      one JSON object a second\n\n"
    "Exit codes: 0 the end of the log was reached, 1 the log cannot be opened, 2 bad arguments,\n"
    "130 interrupted.\n";

int runReplay(const GlobalOptions& options, const std::vector<std::string>& args) {
    std::string headerPath, speedText, fromText;
    bool json = false;
    if (!parseOptions(args,
                      {{{"--speed", &speedText}, {"--from", &fromText}}, {{"--json", &json}}, &headerPath},
                      "replay", kUsage))
        return kExitUsage;
    int speed = ReplayPacer::kSliderStart;
    if (!speedText.empty()) {
        char* end = nullptr;
        const long s = std::strtol(speedText.c_str(), &end, 10);
        if (*end || s < 1 || s > ReplayPacer::kSliderMax) {
            std::fprintf(stderr, "quelt replay: --speed takes 1 (slowest) to 50 (fastest)\n");
            return kExitUsage;
        }
        speed = static_cast<int>(s);
    }
    const bool haveFrom = !fromText.empty();
    const double from = haveFrom ? numberArgument(fromText) : 0;
    // Depths are whole thousandths in 32 bits.
    if (!std::isfinite(from) || std::fabs(from) * 1000.0 > INT32_MAX) {
        std::fprintf(stderr, "quelt replay: --from needs a depth\n");
        return kExitUsage;
    }
    if (headerPath.empty()) {
        std::fprintf(stderr, "quelt replay: which log? (quelt replay PATH.HED)\n");
        return kExitUsage;
    }
    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("replay", options.home, op, context)) return kExitFailure;
    OpenedLog log;
    if (openLog(headerPath, *context.headerIo, op, log) != OpenLogResult::Ok) return kExitFailure;
    const LogHeader& h = context.header;
    ReplayDecoder replay(context.settings, h, log.layout, context.sondes->current().rotationOffset);

    ModeFlags flags;
    Transport transport(flags);
    transport.replayDescending = h.descending;
    const LineLayout layout = log.layout;
    const std::uint64_t total = log.reader.wholeLines();
    transport.LoadReplay(std::move(log));
    transport.pacer().setPosition(speed);
    std::uint64_t played = 0;
    auto sink = [&](const std::vector<std::uint8_t>&, const ParsedLine& parsed, std::uint64_t) {
        replay.apply(parsed, layout);
        ++played;
    };
    if (haveFrom) transport.seekDepth(static_cast<std::int32_t>(from * 1000.0), sink);

    catchInterrupts();
    SteadyClock clock;
    const Millis start = clock.now();
    Millis nextPrint = start + 1000;
    transport.Play(start);
    std::fprintf(stderr, "quelt replay: %s, %llu lines, speed %d\n", h.fileName.c_str(),
                 static_cast<unsigned long long>(total), speed);
    auto print = [&](Millis now) {
        LiveLine l;
        l.t = (now - start) / 1000.0;
        l.values = replay.live.snapshot();
        l.values.depth = l.values.fileDepth;
        l.status = "Data file : " + h.fileName;
        l.valid = static_cast<long long>(played);
        std::printf("%s\n", (json ? liveLineJson(l) : liveLineText(l)).c_str());
        std::fflush(stdout);
    };
    while (flags.playing && !interrupted()) {
        Millis now = clock.now();
        transport.tick(now, sink);
        if (now >= nextPrint) {
            print(now);
            nextPrint += 1000;
        }
        Millis wait = std::min<Millis>(transport.pacer().wait(clock.now()), nextPrint - clock.now());
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        else
            std::this_thread::yield();
    }
    print(clock.now());
    std::fprintf(stderr, "quelt replay: %llu lines played%s\n", static_cast<unsigned long long>(played),
                 interrupted() ? " (interrupted)" : "");
    return interrupted() ? kExitInterrupted : kExitOk;
}

CommandRegistration registration{{
    "replay",
    "replay a log at the chosen pace, printing the live values once a second",
    kUsage,
    runReplay,
}};

}  // namespace
}  // namespace quelt::cli
