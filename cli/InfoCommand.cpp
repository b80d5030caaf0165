// quelt info: what a log holds, read without writing anything.

#include <cstdio>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "config/ProgramContext.h"
#include "stream/LogFile.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quelt [--home DIR] info PATH.HED [--json]\n\n"
    "Reads the header and the data file of a log and prints every header value, the channel layout\n"
    "(title, mnemonic, unit, offset, sample type, count), the line size, the whole lines and trailing\n"
    "bytes of the data file, the corrupt, descending and demonstration flags and the first and last\n"
    "depth. Nothing is written: a log whose recording never ended is shown as it is, not repaired.\n\n"
    "  --json   one JSON object: every value the header reader fills, by section: General, Playback,\n"
    "           WellInfo (with dataFiles, logMode, zero and the readError flag), the data file's section\n"
    "           (files: FileName, StartDepth, EndDepth, StartTime, EndTime; fileName, referenceUnit, mode,\n"
    "           interval, recLineSize), each channel (offset: its DataOffset in the line, file and\n"
    "           fileOffset: its File and Offset keys)\n\n"
    "Exit codes: 0 shown, 1 the log cannot be read (the reason on standard error), 2 bad arguments.\n";

// The first and last depth of a log's data file, as stored (thousandths of the log's unit).
struct DepthEnds {
    bool haveFirst = false, haveLast = false;
    std::int32_t firstDepth = 0, lastDepth = 0;
    const char* unit = "m";
};

DepthEnds depthEnds(const OpenedLog& log, const LogHeader& h, bool readable) {
    DepthEnds e;
    e.haveFirst = readable && log.reader.readDepthField(0, e.firstDepth);
    e.haveLast = readable && log.reader.wholeLines() > 0 &&
                 log.reader.readDepthField((log.reader.wholeLines() - 1) * log.layout.lineSize, e.lastDepth);
    e.unit = h.referenceUnit == 1 ? "ft" : "m";
    return e;
}

void printInfoJson(const OpenedLog& log, const LogHeader& h, bool readable, const DepthEnds& e) {
    JsonObject out;
    out.addString("header", log.headerPath).addString("dataFile", log.dataPath);
    out.addString("version", h.version).addString("viewer", h.viewer).addInt("serialNumber", h.serialNumber);
    out.addInt("blanking", h.blanking).addInt("window", h.windowLength);
    out.addInt("horizontalMode", h.horizontalMode).addInt("screenMode", h.screenMode);
    out.addReal("imageOffset", h.imageOffset).addReal("magneticDeclination", h.magneticDeclination);
    out.addReal("playbackBlanking", h.playbackBlanking).addReal("playbackWindow", h.playbackWindow);
    out.addInt("playbackLevelGain", h.playbackLevelGain);
    out.addInt("depthUnit", h.depthUnit).addInt("startDepth", h.startDepth).addInt("endDepth", h.endDepth);
    out.addInt("startTime", h.startTime).addInt("endTime", h.endTime).addInt("step", h.step);
    JsonObject well;
    for (const auto& [k, v] : h.texts)
        well.addString(k, v);
    for (const auto& [k, v] : h.reals)
        well.addReal(k, v);
    for (const auto& [k, v] : h.runNumbers)
        well.addInt(k, v);
    out.add("well", well.str());
    out.addString("fileName", h.fileName).addInt("referenceUnit", h.referenceUnit).addInt("mode", h.fileMode);
    out.addInt("interval", h.interval);
    out.addInt("dataFiles", h.dataFiles).addInt("logMode", h.logMode).addInt("zero", h.zero);
    out.addBool("readError", h.readError);
    // The data file's section as the reader fills it, under the header's own key names.
    JsonObject file1;
    file1.addString("section", "File1").addString("FileName", h.fileName);
    file1.addInt("StartDepth", h.fileStartDepth).addInt("EndDepth", h.fileEndDepth);
    file1.addInt("StartTime", h.fileStartTime).addInt("EndTime", h.fileEndTime);
    out.add("files", "[" + file1.str() + "]");
    std::string channels = "[";
    for (size_t i = 0; i < h.channels.size(); ++i) {
        const HeaderChannel& c = h.channels[i];
        JsonObject ch;
        ch.addString("title", c.title).addString("mnemonic", c.mnemonic).addString("unit", c.unit);
        ch.addInt("offset", c.dataOffset).addInt("file", c.file).addInt("fileOffset", c.offset);
        ch.addInt("sampleType", c.sampleType).addInt("count", c.sampleCount);
        ch.addInt("kind", c.kind);
        channels += (i ? ", " : "") + ch.str();
    }
    out.add("channels", channels + "]");
    out.addInt("recLineSize", h.recLineSize);
    out.addInt("wholeLines", readable ? static_cast<long long>(log.reader.wholeLines()) : 0);
    out.addInt("trailingBytes", readable ? static_cast<long long>(log.reader.trailingBytes()) : 0);
    out.addBool("corrupt", h.corrupt).addBool("descending", h.descending).addBool("demo", h.demo);
    out.add("firstDepth", e.haveFirst ? jsonNumber(e.firstDepth / 1000.0) : "null");
    out.add("lastDepth", e.haveLast ? jsonNumber(e.lastDepth / 1000.0) : "null");
    out.addString("depthUnitText", e.unit);
    std::printf("%s\n", out.str().c_str());
}

void printInfoText(const OpenedLog& log, const LogHeader& h, bool readable, const DepthEnds& e) {
    std::printf("Header       %s\nData file    %s\n", log.headerPath.c_str(), log.dataPath.c_str());
    std::printf("Written by   %s version %s, sonde S/N %d\n", h.viewer.c_str(), h.version.c_str(),
                h.serialNumber);
    std::printf("Orientation  %s\n", h.screenMode == 2   ? "high side"
                                     : h.screenMode == 1 ? "magnetic north"
                                                         : "none");
    std::printf("Depths       %d .. %d (x1000 %s), time %d .. %d ms, step %d\n", h.startDepth, h.endDepth,
                e.unit, h.startTime, h.endTime, h.step);
    std::printf("Flags        corrupt=%s descending=%s demo=%s\n", h.corrupt ? "yes" : "no",
                h.descending ? "yes" : "no", h.demo ? "yes" : "no");
    std::printf("Line         %d bytes, %d channels\n", h.recLineSize, static_cast<int>(h.channels.size()));
    std::printf("  %-3s %-24s %-5s %-6s %6s %4s %5s\n", "#", "title", "mnem", "unit", "offset", "type",
                "count");
    for (size_t i = 0; i < h.channels.size(); ++i) {
        const HeaderChannel& c = h.channels[i];
        std::printf("  %-3zu %-24s %-5s %-6s %6d %4d %5d\n", i, c.title.c_str(), c.mnemonic.c_str(),
                    c.unit.c_str(), c.dataOffset, c.sampleType, c.sampleCount);
    }
    if (readable) {
        std::printf("Data         %llu whole lines, %llu trailing bytes\n",
                    static_cast<unsigned long long>(log.reader.wholeLines()),
                    static_cast<unsigned long long>(log.reader.trailingBytes()));
    }
    if (e.haveFirst) std::printf("First depth  %.3f %s\n", e.firstDepth / 1000.0, e.unit);
    if (e.haveLast) std::printf("Last depth   %.3f %s\n", e.lastDepth / 1000.0, e.unit);
}

int runInfo(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false;
    std::string headerPath;
    if (!parseOptions(args, {{}, {{"--json", &json}}, &headerPath}, "info", kUsage)) return kExitUsage;
    if (headerPath.empty()) {
        std::fprintf(stderr, "quelt info: which log? (quelt info PATH.HED)\n");
        return kExitUsage;
    }
    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("info", options.home, op, context)) return kExitFailure;
    OpenedLog log;
    OpenLogResult result = openLog(headerPath, *context.headerIo, op, log, /*repair=*/false);
    if (result != OpenLogResult::Ok && result != OpenLogResult::BadLayout) return kExitFailure;
    const LogHeader& h = context.header;
    const bool readable = result == OpenLogResult::Ok;
    const DepthEnds ends = depthEnds(log, h, readable);
    if (json)
        printInfoJson(log, h, readable, ends);
    else
        printInfoText(log, h, readable, ends);
    return readable ? kExitOk : kExitFailure;
}

CommandRegistration registration{{
    "info",
    "show what a log holds (header, channel layout, lines), without writing",
    kUsage,
    runInfo,
}};

}  // namespace
}  // namespace quelt::cli
