// quelt qc: the quality figures of a log, read through the same decoder as a replay.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "config/ProgramContext.h"
#include "platform/Units.h"
#include "stream/LogFile.h"
#include "stream/LogQuality.h"
#include "stream/ReplayLine.h"

namespace quelt::cli {
namespace {

const char* const kUsage =
    "Usage: quelt [--home DIR] qc PATH.HED [--step D] [--field B] [--json]\n\n"
    "Reads every line of a log as a replay decodes it and prints what decides whether the log is good:\n"
    "its depth range and lines, the depth gaps (two successive lines more than twice the step apart)\n"
    "with their depths, the highest logging speed against the limit that leaves no gap (the step times\n"
    "the revolutions per second, taken from the lines' recorded times), and the total gravity |g| and\n"
    "total magnetic field |B| with the depth ranges outside their bands (|g| within 1% of 1 g, |B|\n"
    "within 2% of the field measured over the first 5 m of the log, or of the one given). Depths and\n"
    "speeds are in the log's unit. A log holds no replaced line: a frame the logger replaced is drawn,\n"
    "never written, so it shows here as a gap. The header is never written.\n\n"
    "  --step D    the vertical step wanted between two lines, millimetres (default: QualityStepMm\n"
    "              of Zorak.cfg, 5 when it is not set)\n"
    "  --field B   the |B| reference, in the sonde's unit (gauss), instead of QualityFieldGauss of\n"
    "              Zorak.cfg or, when that is 0, the field measured over the first 5 m\n"
    "  --json      one JSON object: header, unit, lines, replaced, firstDepth, lastDepth, minDepth,\n"
    "              maxDepth, stepMm, revolutionMs, speedLimit, highestSpeed, highestSpeedDepth,\n"
    "              linesOverSpeed, overSpeed [[from,to]...], gaps, largestGap, gapList [[from,to]...],\n"
    "              gravity and magnetic {lines, mean, min, max, low, high, outside, ranges [[from,to]...]}\n"
    "              (magnetic also reference, referenceMeasured)\n\n"
    "Exit codes: 0 printed, 1 the log cannot be opened or read, 2 bad arguments.\n";

bool parsePositive(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value) && value > 0;
}

std::string rangesJson(const std::vector<DepthRange>& ranges, int unit) {
    std::string out = "[";
    for (size_t i = 0; i < ranges.size(); ++i)
        out += (i ? ",[" : "[") + jsonNumber(units::toDisplay(ranges[i].from, unit)) + "," +
               jsonNumber(units::toDisplay(ranges[i].to, unit)) + "]";
    return out + "]";
}

std::string bandJson(const BandStats& b, int unit, double scale) {
    JsonObject o;
    o.addInt("lines", static_cast<long long>(b.lines)).addReal("mean", b.mean() * scale);
    o.addReal("min", b.min * scale).addReal("max", b.max * scale);
    o.addReal("low", b.low * scale).addReal("high", b.high * scale);
    o.addInt("outside", static_cast<long long>(b.outside)).add("ranges", rangesJson(b.ranges, unit));
    return o.str();
}

void printRanges(const std::vector<DepthRange>& ranges, std::uint64_t count, int unit, const char* u) {
    for (const DepthRange& r : ranges)
        std::printf("    %.3f .. %.3f %s\n", units::toDisplay(r.from, unit), units::toDisplay(r.to, unit), u);
    if (count > ranges.size())
        std::printf("    ... and %llu more\n", static_cast<unsigned long long>(count - ranges.size()));
}

void printBand(const char* name, const BandStats& b, const char* valueUnit, int unit, const char* u) {
    if (b.lines == 0) {
        std::printf("%-9s no value\n", name);
        return;
    }
    std::printf("%-9s mean %.4f, %.4f .. %.4f %s; band %.4f .. %.4f: %llu lines outside in %llu ranges\n",
                name, b.mean(), b.min, b.max, valueUnit, b.low, b.high,
                static_cast<unsigned long long>(b.outside), static_cast<unsigned long long>(b.rangeCount));
    printRanges(b.ranges, b.rangeCount, unit, u);
}

int runQc(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::string headerPath, stepText, fieldText;
    bool json = false;
    if (!parseOptions(args,
                      {{{"--step", &stepText}, {"--field", &fieldText}}, {{"--json", &json}}, &headerPath},
                      "qc", kUsage))
        return kExitUsage;
    if (headerPath.empty()) {
        std::fprintf(stderr, "quelt qc: no header file\n%s", kUsage);
        return kExitUsage;
    }
    QualityLimits limits;
    if (!stepText.empty() && !parsePositive(stepText, limits.stepMm)) {
        std::fprintf(stderr, "quelt qc: --step takes a step in millimetres above 0\n");
        return kExitUsage;
    }
    if (!fieldText.empty() && !parsePositive(fieldText, limits.magneticReference)) {
        std::fprintf(stderr, "quelt qc: --field takes a field above 0\n");
        return kExitUsage;
    }

    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("qc", options.home, op, context)) return kExitFailure;
    if (stepText.empty()) limits.stepMm = context.settings.QualityStepMm;
    if (fieldText.empty()) limits.magneticReference = context.settings.QualityFieldGauss;
    OpenedLog log;
    if (openLog(headerPath, *context.headerIo, op, log, /*repair=*/false) != OpenLogResult::Ok)
        return kExitFailure;
    const LogHeader& h = context.header;
    const int unit = h.referenceUnit == 1 ? units::kFeet : units::kMetres;
    const char* u = unit == units::kFeet ? "ft" : "m";

    const double interval = medianLineInterval(log);
    limits.revolutionMs = interval > 0 ? interval : revolutionMsOf(context.settings.MotorPeriod);
    LogQuality quality(limits);

    ReplayDecoder replay(context.settings, h, log.layout, context.sondes->current().rotationOffset);
    std::vector<std::uint8_t> line;
    ParsedLine parsed;
    const std::uint64_t total = log.reader.wholeLines();
    for (std::uint64_t i = 0; i < total; ++i) {
        if (!log.reader.readLine(i * log.layout.lineSize, line)) {
            std::fprintf(stderr, "quelt qc: line %llu cannot be read\n", static_cast<unsigned long long>(i));
            return kExitFailure;
        }
        parseDataLine(line, log.layout, parsed);
        replay.apply(parsed, log.layout);
        const LiveValues v = replay.live.snapshot();
        QualityLine q;
        q.depth = v.fileDepth;
        q.time = v.elapsed;
        q.tilt = v.tilt;
        q.azimuth = v.azimuth;
        q.gamma = v.gamma;
        q.gravity = v.gravityTotal;
        q.magnetic = v.magneticTotal;
        quality.add(q);
    }
    std::fprintf(stderr, "quelt qc: %llu whole lines%s\n", static_cast<unsigned long long>(total),
                 log.reader.trailingBytes() ? ", then a partial line" : "");

    auto depth = [unit](double metres) { return units::toDisplay(metres, unit); };
    const BandStats& g = quality.gravity();
    const BandStats& b = quality.magnetic();
    const bool measured = limits.magneticReference <= 0;
    if (json) {
        JsonObject o;
        o.addString("header", log.headerPath).addString("unit", u);
        o.addInt("lines", static_cast<long long>(quality.lines()))
            .addInt("replaced", static_cast<long long>(quality.replaced()));
        o.addReal("firstDepth", depth(quality.firstDepth())).addReal("lastDepth", depth(quality.lastDepth()));
        o.addReal("minDepth", depth(quality.minDepth())).addReal("maxDepth", depth(quality.maxDepth()));
        o.addReal("stepMm", limits.stepMm).addReal("revolutionMs", limits.revolutionMs);
        o.addReal("speedLimit", depth(quality.speedLimit()))
            .addReal("highestSpeed", depth(quality.highestSpeed()))
            .addReal("highestSpeedDepth", depth(quality.highestSpeedDepth()));
        o.addInt("linesOverSpeed", static_cast<long long>(quality.linesOverSpeed()))
            .add("overSpeed", rangesJson(quality.speedRanges().ranges, unit));
        std::string gaps = "[";
        for (size_t i = 0; i < quality.gapList().size(); ++i) {
            const DepthGap& gap = quality.gapList()[i];
            gaps += (i ? ",[" : "[") + jsonNumber(depth(gap.from)) + "," + jsonNumber(depth(gap.to)) + "]";
        }
        o.addInt("gaps", static_cast<long long>(quality.gaps().count))
            .addReal("largestGap", depth(quality.gaps().largest))
            .add("gapList", gaps + "]");
        o.add("gravity", bandJson(g, unit, 1.0));
        std::string magnetic = bandJson(b, unit, 1.0);
        magnetic.pop_back();
        magnetic += ", \"reference\": " + jsonNumber(quality.magneticReference()) +
                    ", \"referenceMeasured\": " + (measured ? "true" : "false") + "}";
        o.add("magnetic", magnetic);
        std::printf("%s\n", o.str().c_str());
        return kExitOk;
    }

    std::printf("Log       %s\n", log.headerPath.c_str());
    std::printf("Depth     %.3f .. %.3f %s (first line %.3f, last %.3f)\n", depth(quality.minDepth()),
                depth(quality.maxDepth()), u, depth(quality.firstDepth()), depth(quality.lastDepth()));
    std::printf("Lines     %llu, replaced %llu\n", static_cast<unsigned long long>(quality.lines()),
                static_cast<unsigned long long>(quality.replaced()));
    std::printf("Step      %.1f mm, %.1f ms a revolution%s: speed limit %.3f %s/min\n", limits.stepMm,
                limits.revolutionMs, interval > 0 ? " (from the line times)" : " (from MotorPeriod)",
                depth(quality.speedLimit()), u);
    std::printf("Speed     highest %.3f %s/min at %.3f %s%s; %llu lines above the limit in %llu ranges\n",
                depth(quality.highestSpeed()), u, depth(quality.highestSpeedDepth()), u,
                quality.highestSpeed() > quality.speedLimit() ? ", above the limit" : "",
                static_cast<unsigned long long>(quality.linesOverSpeed()),
                static_cast<unsigned long long>(quality.speedRanges().rangeCount));
    printRanges(quality.speedRanges().ranges, quality.speedRanges().rangeCount, unit, u);
    std::printf("Gaps      %llu", static_cast<unsigned long long>(quality.gaps().count));
    if (quality.gaps().count) std::printf(", largest %.3f %s", depth(quality.gaps().largest), u);
    std::printf("\n");
    for (const DepthGap& gap : quality.gapList())
        std::printf("    %.3f > %.3f %s\n", depth(gap.from), depth(gap.to), u);
    if (quality.gaps().count > quality.gapList().size())
        std::printf("    ... and %llu more\n",
                    static_cast<unsigned long long>(quality.gaps().count - quality.gapList().size()));
    printBand("|g|", g, "g", unit, u);
    if (b.lines)
        std::printf("|B| ref   %.4f%s\n", quality.magneticReference(), measured ? " (measured)" : "");
    printBand("|B|", b, "", unit, u);
    return kExitOk;
}

CommandRegistration registration{
    {"qc", "the quality figures of a log: gaps, logging speed, |g| and |B|", kUsage, runQc}};

}  // namespace
}  // namespace quelt::cli
