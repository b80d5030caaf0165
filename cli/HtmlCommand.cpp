// quelt html: the HTML picture report of a log, as "Open in &HTML" makes it.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/ExportRun.h"
#include "config/ProgramContext.h"
#include "export/ExportAdapters.h"
#include "export/HtmlReport.h"
#include "export/ReportTracks.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/DepthSetting.h"
#include "stream/LogFile.h"

namespace quelt::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: quelt html PATH.HED [--from D] [--to D] [--tracks]\n"
    "\n"
    "Writes the HTML picture report of the log: JPEG pictures of 400 lines each (travel time, depth\n"
    "track, amplitude) and a page that shows them from shallow to deep, in the folder NAME-HTML beside\n"
    "the log. From and To are depths in the display depth unit (SetDepthUnit) inside the recorded\n"
    "interval; without them the whole log is shown. Progress and status go to standard error; the\n"
    "page's path is printed. Exits 0 only when every picture and the page were written, 1 when the log\n"
    "cannot be read or a file cannot be written, 2 for a bad command line or a depth outside the log,\n"
    "130 when interrupted (nothing of the report is left).\n"
    "\n"
    "  --tracks   adds the quality tracks as a narrow picture beside each picture, the same lines on\n"
    "             the same rows (NAME+FROM-TO-tracks.jpg), with their names and scales over them\n"
    "             (NAME-tracks.jpg): tilt, azimuth, logging speed against the limit that leaves no gap\n"
    "             (5 mm a revolution), gamma rate, and |g| and |B| with their bands (1% of 1 g, 2% of\n"
    "             the field of the first 5 m); red where a value lies beyond its limit or band.\n";

// The lines of the report stop at the first one beyond `to` (metres) in the logging direction.
class RangeSource final : public ReportLineSource {
  public:
    RangeSource(ReportLineSource& inner, bool down, bool limited, double to)
        : inner_(inner), down_(down), limited_(limited), to_(to) {}
    bool readLine(ReportLine& line) override {
        if (!inner_.readLine(line)) return false;
        if (!limited_) return true;
        return down_ ? line.depthMetres <= to_ + 1e-9 : line.depthMetres >= to_ - 1e-9;
    }
    std::uint64_t position() const override { return inner_.position(); }
    void setPosition(std::uint64_t position) override { inner_.setPosition(position); }

  private:
    ReportLineSource& inner_;
    bool down_, limited_;
    double to_;
};

bool parseDepth(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value);
}

int runHtml(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::string headerPath, fromText, toText;
    bool withTracks = false;
    if (!parseOptions(args,
                      {{{"--from", &fromText}, {"--to", &toText}}, {{"--tracks", &withTracks}}, &headerPath},
                      "html", kUsage))
        return kExitUsage;
    if (headerPath.empty()) {
        std::fprintf(stderr, "quelt html: no header file\n%s", kUsage);
        return kExitUsage;
    }
    double from = 0, to = 0;
    if ((!fromText.empty() && !parseDepth(fromText, from)) || (!toText.empty() && !parseDepth(toText, to))) {
        std::fprintf(stderr, "quelt html: --from and --to take a depth\n");
        return kExitUsage;
    }

    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("html", options.home, op, context)) return kExitFailure;
    OpenedLog log;
    if (openLog(headerPath, *context.headerIo, op, log) != OpenLogResult::Ok) return kExitFailure;
    const LogHeader& header = context.header;
    DataFileLineSource lines;
    if (!lines.open(log.dataPath, header)) {
        std::fprintf(stderr, "quelt html: the data file %s cannot be read\n", log.dataPath.c_str());
        return kExitFailure;
    }

    // Depths: the display unit on the command line, metres in the lines, the log's unit in the file.
    const int displayUnit = context.settings.SetDepthUnit;
    const bool logInFeet = header.depthUnit == 1;
    auto toMetres = [&](double display) {
        return displayUnit == 1 ? display * units::kMetresPerFoot : display;
    };
    auto shown = [&](double metres) { return displayUnit == 1 ? metres * units::kFeetPerMetre : metres; };
    std::int32_t firstRaw = 0;
    if (!log.reader.readDepthField(0, firstRaw)) {
        std::fprintf(stderr, "quelt html: the log holds no line\n");
        return kExitFailure;
    }
    const double unit = logInFeet ? units::kMetresPerFoot : 1.0;
    const double first = firstRaw / 1000.0 * unit, last = header.endDepth / 1000.0 * unit;
    const bool down = header.descending;
    const double lo = std::min(first, last), hi = std::max(first, last);
    auto inside = [&](double metres) { return metres >= lo - 1e-9 && metres <= hi + 1e-9; };
    const char* unitText = displayUnit == 1 ? "ft" : "m";
    // --from is the replay start of the report: the same range and check as the replay start dialog.
    const ReplayStartRange range(firstRaw, header, displayUnit);
    std::int32_t fromRaw = 0;
    if (!fromText.empty()) {
        const ReplayStartRange::Check c = range.check(from);
        if (!c.accepted) {
            std::fprintf(stderr, "quelt html: %s (%s)\n", c.message.c_str(), range.label().c_str());
            return kExitUsage;
        }
        fromRaw = c.depth;
    }
    if (!toText.empty() && !inside(toMetres(to))) {
        std::fprintf(stderr, "quelt html: the log runs from %.2f %s to %.2f %s\n", shown(first), unitText,
                     shown(last), unitText);
        return kExitUsage;
    }
    if (!fromText.empty() && !toText.empty() &&
        (down ? toMetres(to) < toMetres(from) : toMetres(to) > toMetres(from))) {
        std::fprintf(stderr, "quelt html: --to lies before --from in the logging direction\n");
        return kExitUsage;
    }
    if (!fromText.empty()) lines.setPosition(log.reader.seekDepthField(0, fromRaw, down));
    LogHeader reportHeader = header;
    if (!toText.empty())  // the last picture is named after the end of the range
        reportHeader.endDepth = static_cast<int>(std::lround(toMetres(to) / unit * 1000.0));
    RangeSource source(lines, down, !toText.empty(), toMetres(to));

    ExportReportRaster raster(context.settings, header, log.layout,
                              loadColourTable(context.home, context.settings));
    const std::string logDir = fs::path(fs::absolute(headerPath)).parent_path().string() + "/";
    CHtmlReport report(logDir, displayUnit, raster);
    report.status = [](const std::string& s) { std::fprintf(stderr, "\r%s\n", s.c_str()); };
    report.progress = [](int percent) {
        if (percent > 0) std::fprintf(stderr, "\r%3d %%", percent);
    };
    const std::string name = fs::path(headerPath).stem().string();
    if (std::string clash = outputMeetsSource({report.pagePath(name)}, {log.headerPath, log.dataPath});
        !clash.empty()) {
        std::fprintf(stderr, "quelt html: %s\n", clash.c_str());
        return kExitUsage;
    }
    std::unique_ptr<QualityTracksReport> tracks;
    if (withTracks) {
        QualityLimits limits = qualityLimitsOf(context.settings);
        const double interval = medianLineInterval(log);
        limits.revolutionMs = interval > 0 ? interval : revolutionMsOf(context.settings.MotorPeriod);
        const SondeEntry& sonde = context.sondes->current();
        tracks = std::make_unique<QualityTracksReport>(
            context.settings, header, log.layout, sonde.rotationOffset, sonde.gammaCoef, limits, displayUnit);
        tracks->survey(source);
        report.tracks = tracks.get();
    }
    if (int code = runExport([&] { return report.MakeHtmlReport(source, reportHeader, name); }, report.abort);
        code != kExitOk)
        return code;
    std::fprintf(stderr, "%zu pictures, %d rows in the last\n", report.pictures().size(), report.lastRows());
    std::printf("%s\n", report.pagePath(name).c_str());
    return kExitOk;
}

CommandRegistration registration({"html", "write the HTML picture report of a log", kUsage, runHtml});

}  // namespace
}  // namespace quelt::cli
