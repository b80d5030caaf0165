// quelt acquire: a headless logging run, exactly as an operator makes it.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cli/Headless.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "link/DeviceFactory.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "stream/LogFile.h"
#include "stream/LogPaths.h"

namespace quelt::cli {
namespace {

namespace fs = std::filesystem;

// The pipeline runs in steps of this length between the checks of the limits and the faults.
constexpr Millis kRunStepMs = 100;
// The progress line is written again at this pace.
constexpr Millis kProgressPeriodMs = 1000;

bool applyWell(LogHeader& header, const std::string& assignment) {
    auto eq = assignment.find('=');
    if (eq == std::string::npos) return false;
    std::string key = assignment.substr(0, eq), value = assignment.substr(eq + 1);
    for (const WellKey& k : wellInfoKeys()) {
        if (!equalsNoCase(k.name, key)) continue;
        if (k.type == WellKeyType::Text)
            header.texts[k.name] = value;
        else if (k.type == WellKeyType::Real)
            header.reals[k.name] = parseDecimalCommaOrPoint(value);
        else
            header.runNumbers[k.name] = parseLeadingInt(value);
        return true;
    }
    return false;
}

// What the command line asks of the run.
struct AcquireArgs {
    HeadlessOptions headless;
    std::string out;
    double seconds = 0, toDepth = 0;
    long long maxLines = 0;
    bool haveToDepth = false, down = true, json = false, replace = false, plain = false;
    bool resumeAfterReset = false;
    double maxGap = -1;    // metres; below 0: no limit
    int orientation = -1;  // PicOriented to use; below 0: the settings' own
    std::vector<std::string> well;
};

// Reads the arguments; false after a message on standard error.
bool parseAcquireArgs(const GlobalOptions& options, std::vector<std::string> args, AcquireArgs& a) {
    if (!takeHeadlessOptions(args, a.headless, "acquire")) return false;
    a.replace = options.replace;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const char* { return i + 1 < args.size() ? args[++i].c_str() : nullptr; };
        const char* v = nullptr;
        if (arg == "--out" && (v = value()))
            a.out = v;
        else if (arg == "--seconds" && (v = value()))
            a.seconds = std::atof(v);
        else if (arg == "--lines" && (v = value()))
            a.maxLines = std::atoll(v);
        else if (arg == "--to-depth" && (v = value()))
            a.toDepth = std::atof(v), a.haveToDepth = true;
        else if (arg == "--max-gap" && (v = value())) {
            char* end = nullptr;
            a.maxGap = std::strtod(v, &end);
            if (*end || !std::isfinite(a.maxGap) || a.maxGap < 0) {
                std::fprintf(stderr, "quelt acquire: --max-gap takes a distance in metres, 0 or more\n");
                return false;
            }
        } else if (arg == "--resume-after-reset")
            a.resumeAfterReset = true;
        else if (arg == "--well" && (v = value()))
            a.well.push_back(v);
        else if (arg == "--orientation" && (v = value())) {
            std::string o = v;
            a.orientation = o == "none" ? 0 : o == "north" ? 1 : o == "highside" ? 2 : -2;
            if (a.orientation == -2) {
                std::fprintf(stderr, "quelt acquire: --orientation is none, north or highside\n");
                return false;
            }
        } else if (arg == "--down")
            a.down = true;
        else if (arg == "--up")
            a.down = false;
        else if (arg == "--replace")
            a.replace = true;
        else if (arg == "--plain-name")
            a.plain = true;
        else if (arg == "--json")
            a.json = true;
        else {
            std::fprintf(stderr, "quelt acquire: unknown or incomplete argument %s\n", arg.c_str());
            return false;
        }
    }
    if (a.out.empty() || (a.seconds <= 0 && a.maxLines <= 0 && !a.haveToDepth)) {
        std::fprintf(stderr,
                     "quelt acquire: give --out PATH and a limit (--seconds, --lines or --to-depth)\n");
        return false;
    }
    return true;
}

// The new log's header path, its data file locked for this run, an older log of the same name replaced
// when the operator agrees, and the header defaults with the well information. kExitOk, else the exit
// code (the lock then released).
int prepareLog(Headless& h, const AcquireArgs& a, std::string& header) {
    Settings& settings = h.context.settings;
    if (a.orientation >= 0) settings.PicOriented = a.orientation;
    header = newLogHeaderPath(a.out, settings.PicOriented, a.plain);
    std::error_code ec;
    fs::create_directories(fs::path(header).parent_path(), ec);
    // One writer per log: locked before anything of it is replaced and before the power-up, so a log
    // that another run records is neither replaced nor recorded twice, whatever --replace says.
    LogWriterLock& lock = h.acq->transport.writerLock();
    if (!lock.acquire(dataPathForHeader(header))) {
        std::fprintf(stderr, "quelt acquire: %s Refused: nothing was replaced.\n", lock.error().c_str());
        return kExitUsage;
    }
    auto giveUp = [&lock](int rc) {
        lock.release(true);
        return rc;
    };
    if (fs::exists(header, ec) || lock.hadData()) {
        if (!h.op.askYesNo("Same file name exist, do you want replace this ?")) return giveUp(kExitFailure);
        fs::remove(header, ec);
        lock.truncate();
    }
    // The new log's names and folder are remembered (the header names its data file from them).
    rememberLog(h.context.paths, header);
    h.context.preferences->SavePaths();
    h.context.headerIo->SetHeaderDefaults();
    for (const auto& w : a.well) {
        if (!applyWell(h.context.header, w)) {
            std::fprintf(stderr, "quelt acquire: --well %s: not a well information key\n", w.c_str());
            return giveUp(kExitUsage);
        }
    }
    return kExitOk;
}

// How a recording went, for the closing lines.
struct RecordingOutcome {
    std::uint64_t lines = 0;
    RecordingQuality quality;
    std::string failure;    // the recorder's reason for failing
    std::string stopped;    // the full data frames stopped and had not come back
    bool lost = false;      // the logger was lost
    bool cutShort = false;  // the sonde could not be powered up again
};

// The once-a-second progress line of the recording.
void printProgress(Headless& h, const LiveValues& v, long long lines) {
    const RecordingQuality q = h.acq->recordingQuality();
    std::fprintf(stderr,
                 "\rquelt acquire: depth %9.3f m  speed %6.2f m/min  lines %lld  replaced %llu  missed %llu  "
                 "gaps %d  %s   ",
                 v.depth, v.speed, lines, static_cast<unsigned long long>(q.replacedLines),
                 static_cast<unsigned long long>(q.missedFrames), q.depthGaps,
                 h.acq->panel.view().statusText.c_str());
}

// Records until a limit, an interruption or a fault; the recording stopped (header completed) at the end.
RecordingOutcome record(Headless& h, const AcquireArgs& a) {
    RecordingOutcome r;
    h.acq->onRecordingFailed = [&r](const std::string& why) { r.failure = why; };
    // Full data frames that stop while recording (the logger lost power): the sonde is powered up again
    // when asked to, else the recording ends there, incomplete.
    h.acq->onDataStopped = [&](const std::string& text) {
        std::fprintf(stderr, "\nquelt acquire: %s\n", text.c_str());
        r.stopped = text;
        if (!a.resumeAfterReset) return;
        std::fprintf(stderr, "quelt acquire: powering the sonde up again to resume the recording\n");
        h.acq->resumeAfterReset(h.now());
    };
    h.acq->onDataResumed = [&r] {
        std::fprintf(stderr, "\nquelt acquire: full data frames are back: the recording goes on\n");
        r.stopped.clear();
    };
    const Millis start = h.now();
    Millis nextProgress = start + kProgressPeriodMs;
    for (;;) {
        if (interrupted() || !r.failure.empty()) break;
        if (!r.stopped.empty() && !a.resumeAfterReset) break;
        if (!h.run(kRunStepMs)) {
            r.lost = true;
            break;
        }
        // The sonde could not be powered up again: the panel switched it off and the recording stopped.
        if (!h.acq->modes.recording) {
            r.cutShort = true;
            break;
        }
        const LiveValues v = h.acq->live.snapshot();
        const auto lines = static_cast<long long>(h.acq->transport.recorder().linesWritten());
        if (h.now() >= nextProgress) {
            printProgress(h, v, lines);
            nextProgress += kProgressPeriodMs;
        }
        if (a.seconds > 0 && h.now() - start >= static_cast<Millis>(a.seconds * 1000)) break;
        if (a.maxLines > 0 && lines >= a.maxLines) break;
        if (a.haveToDepth && (a.down ? v.depth >= a.toDepth : v.depth <= a.toDepth)) break;
    }
    std::fprintf(stderr, "\n");
    r.lines = h.acq->transport.recorder().linesWritten();
    h.acq->stopRecording(h.op);
    r.quality = h.acq->recordingQuality();
    return r;
}

// The closing lines on standard error, the JSON object, and the exit code, for the log as a replay
// would find it.
int report(Headless& h, const AcquireArgs& a, const std::string& header, const RecordingOutcome& r) {
    OpenedLog log;
    const bool opened = openLog(header, *h.context.headerIo, h.op, log, false) == OpenLogResult::Ok;
    const RecordingQuality& quality = r.quality;
    bool complete = opened && !h.context.header.corrupt && r.failure.empty() && !r.lost && !interrupted() &&
                    r.lines > 0 && r.stopped.empty() && !r.cutShort;
    if (!r.failure.empty()) std::fprintf(stderr, "quelt acquire: %s\n", r.failure.c_str());
    if (opened && h.context.header.corrupt)
        std::fprintf(stderr,
                     "quelt acquire: the header could not be completed; opening the log repairs it from the "
                     "whole lines of its data file\n");
    if (r.lost) std::fprintf(stderr, "quelt acquire: the logger was lost; the log holds the lines written\n");
    if (!r.stopped.empty())
        std::fprintf(stderr, "quelt acquire: the recording ended where the full data frames stopped%s\n",
                     a.resumeAfterReset ? " (they had not come back)"
                                        : "; --resume-after-reset powers the sonde up again");
    if (r.cutShort)
        std::fprintf(stderr, "quelt acquire: the sonde could not be powered up again%s%s\n",
                     h.acq->panel.refusal().empty() ? "" : ": ", h.acq->panel.refusal().c_str());
    std::fprintf(
        stderr,
        "quelt acquire: %s: %llu lines%s; %llu replaced, %llu frames missed, %d depth gaps larger than "
        "twice the step (largest distance between lines %.3f m)\n",
        header.c_str(), static_cast<unsigned long long>(r.lines), complete ? "" : " (incomplete)",
        static_cast<unsigned long long>(quality.replacedLines),
        static_cast<unsigned long long>(quality.missedFrames), quality.depthGaps, quality.largestGapMetres);
    const bool gapTooLarge = a.maxGap >= 0 && quality.largestGapMetres > a.maxGap;
    if (gapTooLarge)
        std::fprintf(stderr, "quelt acquire: a gap of %.3f m between two lines is larger than --max-gap %g\n",
                     quality.largestGapMetres, a.maxGap);
    if (a.json) {
        JsonObject o;
        o.addString("header", header).addString("dataFile", log.dataPath);
        o.addInt("lines", static_cast<long long>(r.lines));
        o.addInt("startDepth", h.context.header.startDepth).addInt("endDepth", h.context.header.endDepth);
        o.addInt("endTime", h.context.header.endTime).addBool("complete", complete);
        o.addInt("replacedLines", static_cast<long long>(quality.replacedLines));
        o.addInt("missedFrames", static_cast<long long>(quality.missedFrames));
        o.addInt("depthGaps", quality.depthGaps);
        o.add("largestGap", jsonNumber(std::round(quality.largestGapMetres * 1000.0) / 1000.0));
        o.addInt("dataStops", quality.loggerResets);
        if (h.simulated()) o.addString("device", kSimDevice);
        std::printf("%s\n", o.str().c_str());
    }
    if (interrupted()) return kExitInterrupted;
    return complete && !gapTooLarge ? kExitOk : kExitFailure;
}

int runAcquire(const GlobalOptions& options, const std::vector<std::string>& args) {
    AcquireArgs a;
    if (!parseAcquireArgs(options, args, a)) return kExitUsage;
    GlobalOptions global = options;
    global.yes = options.yes || a.replace;
    Headless h(global, a.headless);
    if (!h.start("acquire")) return h.startFailure;
    std::string header;
    if (int rc = prepareLog(h, a, header); rc != kExitOk) return rc;

    catchInterrupts();
    int rc = powerUp(h, "acquire", false);
    if (rc != kExitOk) {
        h.acq->transport.writerLock().release(true);
        return rc;
    }
    // Recording mode: the direction chosen, the last accepted depth the current depth.
    if (!h.acq->startRecording(header, a.down, h.op)) {
        std::fprintf(stderr, "quelt acquire: the recording did not start\n");
        powerDown(h, "acquire");
        return kExitFailure;
    }
    const RecordingOutcome outcome = record(h, a);
    if (!outcome.lost) powerDown(h, "acquire");
    return report(h, a, header, outcome);
}

CommandRegistration registration{{
    "acquire",
    "a headless logging run: power-up, record a log, stop, power-down",
    "Usage: quelt [--home DIR] [--device sim] acquire --out PATH [--seconds N | --lines N | --to-depth D]\n"
    "             [--down|--up] [--orientation none|north|highside] [--replace] [--well KEY=VALUE ...]\n"
    "             [--plain-name] [--resume-after-reset] [--max-gap D] [--scenario S --seed N] [--fast]\n"
    "             [--capture FILE] [--json]\n\n"
    "Makes a log exactly as an operator would: the link, the power-up sequence, the recording mode (the\n"
    "direction; the last accepted depth is the current depth), a header with the given well information\n"
    "(keys of section WellInfo, e.g. --well Company=ACME --well Wellname=BH-7), the recording until the\n"
    "limit, the stop (header completed), the power-down. PATH gets the orientation suffix (_X, _N, _H)\n"
    "and the extensions .HED and .viv. A progress line goes to standard error, with the lines replaced\n"
    "by a status frame, the frames missed and the depth gaps larger than twice the step so far.\n\n"
    "  --fast         run the simulated logger on simulated time (a 500 m log in seconds; needs --device "
    "sim)\n"
    "  --plain-name   PATH names the header as given, without the orientation suffix\n"
    "  --resume-after-reset\n"
    "                 when the full data frames stop while recording (the logger lost power), power\n"
    "                 the sonde up again and go on recording when it answers; without it the recording\n"
    "                 ends there and the log is incomplete\n"
    "  --max-gap D    exit 1 when two consecutive lines lie more than D metres apart\n"
    "  --json         a last JSON object: header, dataFile, lines, startDepth, endDepth, endTime,\n"
    "                 complete, replacedLines, missedFrames, depthGaps, largestGap (m), dataStops, and\n"
    "                 \"device\":\"sim\" on the simulated logger\n\n"
    "Exit codes: 0 the log is complete, 1 it is not (lost logger, failed write, full data frames that\n"
    "stopped; it holds the lines written) or a gap exceeded --max-gap, 2 bad arguments, a refused\n"
    "power-up or a log that another run is recording (refused before the power-up, with or without\n"
    "--replace), 3 no logger, 130 interrupted.\n",
    runAcquire,
}};

}  // namespace
}  // namespace quelt::cli
