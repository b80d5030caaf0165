// quelt lines: every data line of a log, channel by channel.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/LiveOutput.h"
#include "config/ProgramContext.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quelt [--home DIR] lines PATH.HED [--from D] [--to D] [--samples] [--json]\n\n"
    "Opens the log as the program does for replay (a header whose recording never ended is repaired\n"
    "from its whole lines), then prints one line per data line: index, file position, depth, time and\n"
    "every scalar channel by its mnemonic, as stored.\n\n"
    "  --from D, --to D   only lines between these depths (the log's unit)\n"
    "  --samples          also the travel times and amplitudes of each line\n"
    "  --json             one JSON object per line: "
    "{\"i\":0,\"pos\":0,\"depth\":12.345,\"depthUnit\":\"ft\",\n"
    "                     \"depthLog\":40.502,\"time\":1.234,\"DPTH\":40502,\"TIME\":1234,...}: depth in\n"
    "                     metres, depthLog in the log's own unit depthUnit (m or ft), as stored\n\n"
    "Exit codes: 0 printed, 1 the log cannot be opened, 2 bad arguments.\n";

// What one data line shows: its place, its depth in the log's unit, its time in seconds, its decoded
// channels and the orientation a replay computes for it.
struct ShownLine {
    std::uint64_t i = 0, pos = 0;
    double depth = 0, time = 0;
    const ParsedLine* parsed = nullptr;
    const LiveValues* live = nullptr;
};

// The log's channel names and depth unit, the same for every line.
struct LineColumns {
    const LineLayout* layout = nullptr;
    std::vector<std::string> names;
    const char* logUnit = "m";
    double metresPerLogUnit = 1.0;
};

void printLineJson(const ShownLine& l, const LineColumns& cols, bool samples) {
    const LineLayout& layout = *cols.layout;
    const ParsedLine& parsed = *l.parsed;
    const LiveValues& v = *l.live;
    JsonObject o;
    o.addInt("i", static_cast<long long>(l.i)).addInt("pos", static_cast<long long>(l.pos));
    o.addReal("depth", std::round(l.depth * cols.metresPerLogUnit * 1e6) / 1e6)
        .addString("depthUnit", cols.logUnit);
    o.addReal("depthLog", l.depth).addReal("time", l.time);
    for (size_t c = 0; c < layout.channels.size(); ++c) {
        int type = layout.channels[c].sampleType;
        if (type >= 8) continue;  // samples and skipped fields
        o.addInt(cols.names[c], parsed.values[c]);
    }
    o.add("tilt", liveNumber(v.tilt)).add("azimuth", liveNumber(v.azimuth));
    o.add("highSide", liveNumber(v.highSide)).add("rotation", liveNumber(v.rotation));
    if (samples) {
        std::string tt = "[", am = "[";
        for (int s = 0; s < parsed.sampleCount; ++s) {
            tt += (s ? "," : "") + std::to_string(parsed.travelTimes[static_cast<size_t>(s)]);
            am += (s ? "," : "") + std::to_string(parsed.amplitudes[static_cast<size_t>(s)]);
        }
        o.add("travelTimes", tt + "]").add("amplitudes", am + "]");
    }
    std::printf("%s\n", o.str().c_str());
}

void printLineText(const ShownLine& l, const LineColumns& cols) {
    const LineLayout& layout = *cols.layout;
    const ParsedLine& parsed = *l.parsed;
    std::printf("%6llu %10.3f %9.3f", static_cast<unsigned long long>(l.i), l.depth, l.time);
    for (size_t c = 2; c < layout.channels.size(); ++c) {
        if (layout.channels[c].sampleType >= 8) continue;
        std::printf(" %s=%lld", cols.names[c].c_str(), static_cast<long long>(parsed.values[c]));
    }
    std::printf("\n");
}

int runLines(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false, samples = false;
    std::string fromText, toText, headerPath;
    if (!parseOptions(args,
                      {{{"--from", &fromText}, {"--to", &toText}},
                       {{"--json", &json}, {"--samples", &samples}},
                       &headerPath},
                      "lines", kUsage))
        return kExitUsage;
    std::optional<double> from, to;
    for (auto [name, text, into] :
         {std::tuple{"--from", &fromText, &from}, std::tuple{"--to", &toText, &to}}) {
        if (text->empty()) continue;
        *into = numberArgument(*text);
        if (!std::isfinite(**into)) {
            std::fprintf(stderr, "quelt lines: %s needs a depth\n", name);
            return kExitUsage;
        }
    }
    if (headerPath.empty()) {
        std::fprintf(stderr, "quelt lines: which log? (quelt lines PATH.HED)\n");
        return kExitUsage;
    }
    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("lines", options.home, op, context)) return kExitFailure;
    OpenedLog log;
    if (openLog(headerPath, *context.headerIo, op, log) != OpenLogResult::Ok) return kExitFailure;
    if (log.repaired)
        std::fprintf(stderr, "quelt lines: the header of a recording that never ended was repaired\n");

    const LogHeader& h = context.header;
    const LineLayout& layout = log.layout;
    LineColumns cols;
    cols.layout = &layout;
    for (size_t c = 0; c < layout.channels.size(); ++c) {
        const HeaderChannel& hc = h.channels[c];
        cols.names.push_back(hc.mnemonic.empty() ? format("CH%zu", c) : hc.mnemonic);
    }
    // The orientation of each line as a replay computes it.
    ReplayDecoder replay(context.settings, h, layout, context.sondes->current().rotationOffset);
    // Depths are stored in the log's own unit (ReferenceUnit of the data file's section).
    const bool logInFeet = h.referenceUnit == 1;
    cols.logUnit = logInFeet ? "ft" : "m";
    cols.metresPerLogUnit = logInFeet ? units::kMetresPerFoot : 1.0;

    std::vector<std::uint8_t> line;
    ParsedLine parsed;
    const std::uint64_t total = log.reader.wholeLines();
    std::uint64_t shown = 0;
    for (std::uint64_t i = 0; i < total; ++i) {
        const std::uint64_t pos = i * layout.lineSize;
        if (!log.reader.readLine(pos, line)) break;
        parseDataLine(line, layout, parsed);
        replay.apply(parsed, layout);
        const LiveValues v = replay.live.snapshot();
        double depth = lineDepthField(line) / 1000.0;
        if ((from && depth < *from) || (to && depth > *to)) continue;
        double time = 0;
        for (size_t c = 0; c < layout.channels.size(); ++c)
            if (layout.channels[c].kind == channel::TIME)
                time = static_cast<double>(parsed.values[c]) / 1000.0;
        ++shown;
        const ShownLine shownLine{i, pos, depth, time, &parsed, &v};
        if (json)
            printLineJson(shownLine, cols, samples);
        else
            printLineText(shownLine, cols);
    }
    std::fprintf(stderr, "quelt lines: %llu of %llu whole lines%s\n", static_cast<unsigned long long>(shown),
                 static_cast<unsigned long long>(total),
                 log.reader.trailingBytes() ? ", then a partial line" : "");
    return kExitOk;
}

CommandRegistration registration{{
    "lines",
    "print every data line of a log, channel by channel",
    kUsage,
    runLines,
}};

}  // namespace
}  // namespace quelt::cli
