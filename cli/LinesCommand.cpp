// quelt lines: every data line of a log, channel by channel.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

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

std::optional<double> parseDepth(const std::string& text) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end) return std::nullopt;
    return v;
}

int runLines(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false, samples = false;
    std::optional<double> from, to;
    std::string headerPath;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--samples") {
            samples = true;
        } else if (a == "--from" || a == "--to") {
            std::optional<double> v = i + 1 < args.size() ? parseDepth(args[i + 1]) : std::nullopt;
            if (!v) {
                std::fprintf(stderr, "quelt lines: %s needs a depth\n", a.c_str());
                return kExitUsage;
            }
            (a == "--from" ? from : to) = v;
            ++i;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "quelt lines: unknown option %s\n", a.c_str());
            return kExitUsage;
        } else if (headerPath.empty()) {
            headerPath = a;
        } else {
            std::fprintf(stderr, "quelt lines: one log at a time\n");
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
    std::vector<std::string> names;
    for (size_t c = 0; c < layout.channels.size(); ++c) {
        const HeaderChannel& hc = h.channels[c];
        names.push_back(hc.mnemonic.empty() ? format("CH%zu", c) : hc.mnemonic);
    }
    // The orientation of each line as a replay computes it.
    ReplayDecoder replay(context.settings, h, layout, context.sondes->current().rotationOffset);
    // Depths are stored in the log's own unit (ReferenceUnit of the data file's section).
    const bool logInFeet = h.referenceUnit == 1;
    const char* logUnit = logInFeet ? "ft" : "m";
    const double metresPerLogUnit = logInFeet ? units::kMetresPerFoot : 1.0;

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
        if (json) {
            JsonObject o;
            o.addInt("i", static_cast<long long>(i)).addInt("pos", static_cast<long long>(pos));
            o.addReal("depth", std::round(depth * metresPerLogUnit * 1e6) / 1e6)
                .addString("depthUnit", logUnit);
            o.addReal("depthLog", depth).addReal("time", time);
            for (size_t c = 0; c < layout.channels.size(); ++c) {
                int type = layout.channels[c].sampleType;
                if (type >= 8) continue;  // samples and skipped fields
                o.addInt(names[c], parsed.values[c]);
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
        } else {
            std::printf("%6llu %10.3f %9.3f", static_cast<unsigned long long>(i), depth, time);
            for (size_t c = 2; c < layout.channels.size(); ++c) {
                if (layout.channels[c].sampleType >= 8) continue;
                std::printf(" %s=%lld", names[c].c_str(), static_cast<long long>(parsed.values[c]));
            }
            std::printf("\n");
        }
    }
    std::fprintf(stderr, "quelt lines: %llu of %llu whole lines%s\n", static_cast<unsigned long long>(shown),
                 static_cast<unsigned long long>(total),
                 log.reader.trailingBytes() ? ", then a partial line" : "");
    return kExitOk;
}

CommandRegistration registration{{
    "lines",
    "print every data line of a log, channel by channel",
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
    "Exit codes: 0 printed, 1 the log cannot be opened, 2 bad arguments.\n",
    runLines,
}};

}  // namespace
}  // namespace quelt::cli
