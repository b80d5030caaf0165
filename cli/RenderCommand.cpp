// quelt render: the picture of a log at full resolution, row for row as the desktop program's replay
// builds it, written as a BMP or a JPEG file.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Headless.h"
#include "config/ProgramContext.h"
#include "export/ExportAdapters.h"
#include "imaging/ExportBmp.h"
#include "imaging/PictureController.h"
#include "imaging/RowCapture.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "usage: quelt render PATH.HED -o OUT.bmp|OUT.jpg [--from D] [--to D] [--screen-height H]\n"
    "                    [--palette N] [--bw]\n"
    "       quelt [--device sim] render --live --seconds N -o OUT.bmp|OUT.jpg [--orientation\n"
    "                    none|north|highside] [--scenario S --seed N] [--fast] [--screen-height H]\n"
    "                    [--palette N] [--bw]\n"
    "\n"
    "Replays the log into the picture as the desktop program does (travel time on the left, the depth\n"
    "track, amplitude on the right, 764 pixels wide) and writes every row it builds, in the order it\n"
    "builds them, one row per line: a lossless 24-bit BMP for .bmp, a JPEG of quality 90 for .jpg or\n"
    ".jpeg (at most 65535 rows: choose a range with --from and --to for a longer log). The rows of a log\n"
    "recorded upwards are written from the last built to the first, as the window shows them (the\n"
    "shallowest at the top), so that the depth labels read upright.\n"
    "\n"
    "  --from D, --to D    depths in the display depth unit (SetDepthUnit); default the whole log\n"
    "  --screen-height H   the height of the picture window the rows are built for (default 600, at\n"
    "                      least 64): it sets where the depth labels may be drawn\n"
    "  --palette N         palette N (0..9) of Palette.ini instead of PaletteInUse\n"
    "  --bw                grey levels (BlackAndWhite)\n"
    "\n"
    "With --live the rows come from the live stream instead: the sonde is powered up, every line the\n"
    "decoders hand to the picture for N seconds is drawn as the window draws it (rotation on, oriented\n"
    "by --orientation, else PicOriented), then the sonde is powered down. The rows are written in the\n"
    "order they were built; a change of direction clears the picture as on screen, and the rows built\n"
    "before it stay in the file. --scenario, --seed and --fast choose and run the simulated logger.\n"
    "Exit codes of the live run: 3 no logger, 2 a refused power-up, 1 a lost logger or file.\n"
    "\n"
    "Progress goes to standard error; the output path is printed. Exits 0 when the file is written,\n"
    "1 when the log cannot be read or the file cannot be written, 2 for a bad command line.\n";

constexpr int kJpegMaxRows = 65535;

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value);
}

// The picture side of the window without the window, and the rows it builds.
struct RenderedPicture {
    CToolsBmp picture;
    RasterSurface surface;
    FakeClock clock;
    PictureController controller;
    std::unique_ptr<RowCapture> capture;

    RenderedPicture(const Settings& settings, int height)
        : surface(kRowWidth, height), controller(picture, surface, settings, clock) {}
    bool start(int height, const ColourTable& table, Operator& op) {
        if (!picture.InitImageBuffer(height, op)) return false;
        picture.setColourTable(table);
        controller.clearPicture();
        capture = std::make_unique<RowCapture>(picture);
        return true;
    }
    // Writes the rows (last built first with `reversed`); the exit code.
    int save(const std::string& output, bool reversed) {
        capture->finish();
        if (capture->rows() == 0) {
            std::fprintf(stderr, "quelt render: no row was built\n");
            return kExitFailure;
        }
        const bool jpeg = toUpper(std::filesystem::path(output).extension().string()) != ".BMP";
        if (jpeg && capture->rows() > kJpegMaxRows) {
            std::fprintf(
                stderr,
                "quelt render: %d rows do not fit a JPEG (at most %d): write a .bmp or choose a range\n",
                capture->rows(), kJpegMaxRows);
            return kExitFailure;
        }
        const std::vector<std::uint8_t> pixels = capture->bgr();
        if (!SavePictureFile(pixels.data(), kRowWidth, capture->rows(), kRowWidth * 3, output, reversed)) {
            std::fprintf(stderr, "quelt render: %s could not be written\n", output.c_str());
            return kExitFailure;
        }
        std::fprintf(stderr, "quelt render: %d rows\n", capture->rows());
        std::printf("%s\n", output.c_str());
        return kExitOk;
    }
};

int runLive(const GlobalOptions& options, const HeadlessOptions& ho, double seconds, int orientation,
            int height, int palette, bool bw, const std::string& output) {
    Headless h(options, ho);
    if (!h.start("render")) return h.startFailure;
    Settings& settings = h.context.settings;
    if (palette >= 0) settings.PaletteInUse = palette;
    if (bw) settings.BlackAndWhite = true;
    if (orientation >= 0) settings.PicOriented = orientation;
    const ColourTable table = loadColourTable(h.context.home, settings);
    RenderedPicture out(settings, height);
    if (!out.start(height, table, h.op)) return kExitFailure;
    bool drawn = false, lastDown = true;
    const double gammaCoef = h.context.sondes->current().gammaCoef;
    h.acq->onImageLine = [&](std::uint8_t direction, int code) {
        const bool down = direction == 1;
        if (drawn && down != lastDown) out.capture->finish();  // the clear that follows keeps nothing
        const LiveValues v = h.acq->live.snapshot();
        out.controller.addImageLine(down, code, h.acq->image, rowInputsFor(v, settings, gammaCoef), v.depth);
        out.capture->afterRow(down);
        drawn = true;
        lastDown = down;
    };
    int rc = powerUp(h, "render", true);
    if (rc != kExitOk) return rc;
    for (int s = 0; s < static_cast<int>(std::ceil(seconds)); ++s) {
        if (!h.run(1000)) {
            std::fprintf(stderr, "quelt render: the logger was lost\n");
            return kExitFailure;
        }
        std::fprintf(stderr, "\rquelt render: %d s, %d rows", s + 1, out.capture->rows());
    }
    std::fprintf(stderr, "\n");
    h.acq->onImageLine = nullptr;
    powerDown(h, "render");
    return out.save(output, false);
}

// What the command line asks for, read and checked.
struct RenderRequest {
    HeadlessOptions ho;
    std::string headerPath, output, fromText, toText;
    bool bw = false, live = false;
    double from = 0, to = 0, height = 600, palette = -1, seconds = 0;
    int orientation = -1;  // --live: PicOriented, -1 as set
};

// The options of a live picture; kExitOk, or kExitUsage after the reason.
int takeLiveOptions(const std::string& secondsText, const std::string& orientationText, RenderRequest& r) {
    if (!parseNumber(secondsText, r.seconds) || r.seconds <= 0 || r.seconds > 86400) {
        std::fprintf(stderr, "quelt render: --live needs --seconds N\n");
        return kExitUsage;
    }
    if (orientationText == "none")
        r.orientation = 0;
    else if (orientationText == "north")
        r.orientation = 1;
    else if (orientationText == "highside")
        r.orientation = 2;
    else if (!orientationText.empty()) {
        std::fprintf(stderr, "quelt render: unknown orientation %s\n", orientationText.c_str());
        return kExitUsage;
    }
    return kExitOk;
}

// The command line read into `r`; kExitOk, or kExitUsage after the reason.
int takeRenderOptions(std::vector<std::string>& args, RenderRequest& r) {
    if (!takeHeadlessOptions(args, r.ho, "render")) return kExitUsage;
    std::string heightText, paletteText, secondsText, orientationText;
    const OptionTable optionTable{{{"-o", &r.output},
                                   {"--from", &r.fromText},
                                   {"--to", &r.toText},
                                   {"--screen-height", &heightText},
                                   {"--palette", &paletteText},
                                   {"--seconds", &secondsText},
                                   {"--orientation", &orientationText}},
                                  {{"--bw", &r.bw}, {"--live", &r.live}},
                                  &r.headerPath};
    if (!parseOptions(args, optionTable, "render", kUsage)) return kExitUsage;
    if (r.live != r.headerPath.empty() || r.output.empty()) {
        std::fprintf(stderr, "quelt render: a log (or --live) and -o OUT are needed\n%s", kUsage);
        return kExitUsage;
    }
    if (!PictureFileSupported(r.output)) {
        std::fprintf(stderr, "quelt render: the picture is written as .bmp, .jpg or .jpeg, not %s\n",
                     r.output.c_str());
        return kExitUsage;
    }
    if ((!r.fromText.empty() && !parseNumber(r.fromText, r.from)) ||
        (!r.toText.empty() && !parseNumber(r.toText, r.to))) {
        std::fprintf(stderr, "quelt render: --from and --to take a depth\n");
        return kExitUsage;
    }
    if (!heightText.empty() && (!parseNumber(heightText, r.height) || r.height < kMinScreenHeight ||
                                r.height > 4096 || r.height != std::trunc(r.height))) {
        std::fprintf(stderr, "quelt render: --screen-height takes %d to 4096 rows\n", kMinScreenHeight);
        return kExitUsage;
    }
    if (!paletteText.empty() && (!parseNumber(paletteText, r.palette) || r.palette < 0 ||
                                 r.palette >= kPaletteCount || r.palette != std::trunc(r.palette))) {
        std::fprintf(stderr, "quelt render: --palette takes 0 to %d\n", kPaletteCount - 1);
        return kExitUsage;
    }
    if (r.live) return takeLiveOptions(secondsText, orientationText, r);
    if (!secondsText.empty() || !orientationText.empty() || r.ho.fast || r.ho.seedGiven) {
        std::fprintf(stderr, "quelt render: --seconds, --orientation, --fast and --seed go with --live\n");
        return kExitUsage;
    }
    return kExitOk;
}

// The lines of the log from `position` (up to --to) drawn as the replay draws them; how many.
std::uint64_t drawReplayLines(const RenderRequest& r, OpenedLog& log, ReplayDecoder& replay, double gammaCoef,
                              bool down, std::uint64_t position, RenderedPicture& out,
                              const std::function<double(double)>& metres) {
    const std::uint64_t total = log.reader.wholeLines();
    const std::uint64_t size = log.reader.lineSize();
    std::vector<std::uint8_t> bytes;
    ParsedLine parsed;
    std::uint64_t lines = 0;
    for (; log.reader.readLine(position, bytes); position += size) {
        parseDataLine(bytes, log.layout, parsed);
        replay.apply(parsed, log.layout);
        const LiveValues v = replay.live.snapshot();
        if (!r.toText.empty() &&
            (down ? v.fileDepth > metres(r.to) + 1e-9 : v.fileDepth < metres(r.to) - 1e-9))
            break;
        out.controller.drawReplayLine(down, v.resolutionCode, replay.image,
                                      rowInputsFor(v, replay.settings, gammaCoef), v.fileDepth);
        out.capture->afterRow(down);
        if (++lines % 1000 == 0)
            std::fprintf(stderr, "\rquelt render: %llu / %llu lines",
                         static_cast<unsigned long long>(position / size + 1),
                         static_cast<unsigned long long>(total));
    }
    if (lines >= 1000) std::fprintf(stderr, "\n");
    return lines;
}

// The picture of a recorded log.
int runReplay(const GlobalOptions& options, const RenderRequest& r) {
    CliOperator op(options.yes);
    ProgramContext context;
    if (!startCommand("render", options.home, op, context)) return kExitFailure;
    Settings& settings = context.settings;
    const int palette = static_cast<int>(r.palette);
    if (palette >= 0) settings.PaletteInUse = palette;
    if (r.bw) settings.BlackAndWhite = true;
    const ColourTable table = loadColourTable(context.home, settings);
    if (palette >= 0 && settings.PaletteInUse != palette)
        std::fprintf(stderr, "quelt render: palette %d is not defined in Palette.ini, palette %d is used\n",
                     palette, settings.PaletteInUse);

    OpenedLog log;
    if (openLog(r.headerPath, *context.headerIo, op, log, false) != OpenLogResult::Ok) return kExitFailure;
    if (std::string clash = outputMeetsSource({r.output}, {log.headerPath, log.dataPath}); !clash.empty()) {
        std::fprintf(stderr, "quelt render: %s\n", clash.c_str());
        return kExitUsage;
    }
    const LogHeader& header = context.header;
    const SondeEntry& sonde = context.sondes->current();
    ReplayDecoder replay(settings, header, log.layout, sonde.rotationOffset);

    // Depths of the command line are in the display unit; the lines give metres.
    auto metres = [&](double d) { return settings.SetDepthUnit == 1 ? d * units::kMetresPerFoot : d; };
    const bool down = header.descending;
    std::uint64_t position = 0;
    if (!r.fromText.empty()) {
        const double unit = header.referenceUnit == 1 ? units::kMetresPerFoot : 1.0;
        const auto target = static_cast<std::int32_t>(std::lround(metres(r.from) / unit * 1000.0));
        position = log.reader.seekDepthField(0, target, down);
    }

    const int height = static_cast<int>(r.height);
    RenderedPicture out(replay.settings, height);
    if (!out.start(height, table, op)) return kExitFailure;
    if (drawReplayLines(r, log, replay, sonde.gammaCoef, down, position, out, metres) == 0) {
        std::fprintf(stderr, "quelt render: no line of the log lies in the range\n");
        return kExitFailure;
    }
    return out.save(r.output, !down);
}

int runRender(const GlobalOptions& options, const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    RenderRequest r;
    if (int rc = takeRenderOptions(args, r); rc != kExitOk) return rc;
    if (r.live)
        return runLive(options, r.ho, r.seconds, r.orientation, static_cast<int>(r.height),
                       static_cast<int>(r.palette), r.bw, r.output);
    return runReplay(options, r);
}

CommandRegistration registration({"render", "write the picture of a log as a BMP or JPEG file", kUsage,
                                  runRender});

}  // namespace
}  // namespace quelt::cli
