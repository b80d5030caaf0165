// quelt render: the picture of a log at full resolution, row for row as the desktop program's replay
// builds it, written as a BMP or a JPEG file.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "config/ProgramContext.h"
#include "export/ExportAdapters.h"
#include "imaging/ExportBmp.h"
#include "imaging/PictureController.h"
#include "imaging/RowCapture.h"
#include "platform/Text.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "usage: quelt render PATH.HED -o OUT.bmp|OUT.jpg [--from D] [--to D] [--screen-height H]\n"
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
    "Progress goes to standard error; the output path is printed. Exits 0 when the file is written,\n"
    "1 when the log cannot be read or the file cannot be written, 2 for a bad command line.\n";

constexpr int kJpegMaxRows = 65535;

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value);
}

int runRender(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::string headerPath, output, fromText, toText, heightText, paletteText;
    bool bw = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "-o")
            ok = value(output);
        else if (a == "--from")
            ok = value(fromText);
        else if (a == "--to")
            ok = value(toText);
        else if (a == "--screen-height")
            ok = value(heightText);
        else if (a == "--palette")
            ok = value(paletteText);
        else if (a == "--bw")
            bw = true;
        else if (!a.empty() && a[0] != '-' && headerPath.empty())
            headerPath = a;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "quelt render: bad argument %s\n%s", a.c_str(), kUsage);
            return kExitUsage;
        }
    }
    if (headerPath.empty() || output.empty()) {
        std::fprintf(stderr, "quelt render: a log and -o OUT are needed\n%s", kUsage);
        return kExitUsage;
    }
    if (!PictureFileSupported(output)) {
        std::fprintf(stderr, "quelt render: the picture is written as .bmp, .jpg or .jpeg, not %s\n",
                     output.c_str());
        return kExitUsage;
    }
    double from = 0, to = 0, height = 600, palette = -1;
    if ((!fromText.empty() && !parseNumber(fromText, from)) ||
        (!toText.empty() && !parseNumber(toText, to))) {
        std::fprintf(stderr, "quelt render: --from and --to take a depth\n");
        return kExitUsage;
    }
    if (!heightText.empty() && (!parseNumber(heightText, height) || height < kMinScreenHeight ||
                                height > 4096 || height != std::trunc(height))) {
        std::fprintf(stderr, "quelt render: --screen-height takes %d to 4096 rows\n", kMinScreenHeight);
        return kExitUsage;
    }
    if (!paletteText.empty() && (!parseNumber(paletteText, palette) || palette < 0 ||
                                 palette >= kPaletteCount || palette != std::trunc(palette))) {
        std::fprintf(stderr, "quelt render: --palette takes 0 to %d\n", kPaletteCount - 1);
        return kExitUsage;
    }

    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startProgram(options.home, op, context, error)) {
        std::fprintf(stderr, "quelt render: %s\n", error.c_str());
        return kExitFailure;
    }
    Settings& settings = context.settings;
    if (palette >= 0) settings.PaletteInUse = static_cast<int>(palette);
    if (bw) settings.BlackAndWhite = true;
    const ColourTable table = loadColourTable(context.home, settings);
    if (palette >= 0 && settings.PaletteInUse != static_cast<int>(palette))
        std::fprintf(stderr, "quelt render: palette %d is not defined in Palette.ini, palette %d is used\n",
                     static_cast<int>(palette), settings.PaletteInUse);

    OpenedLog log;
    if (openLog(headerPath, *context.headerIo, op, log, false) != OpenLogResult::Ok) return kExitFailure;
    const LogHeader& header = context.header;
    const SondeEntry& sonde = context.sondes->current();
    ReplayDecoder replay(settings, header, log.layout, sonde.rotationOffset);

    // Depths of the command line are in the display unit; the lines give metres.
    auto metres = [&](double d) { return settings.SetDepthUnit == 1 ? d * 0.3048 : d; };
    const bool down = header.descending;
    std::uint64_t position = 0;
    if (!fromText.empty()) {
        const double unit = header.referenceUnit == 1 ? 0.3048 : 1.0;
        const auto target = static_cast<std::int32_t>(std::lround(metres(from) / unit * 1000.0));
        position = log.reader.seekDepthField(0, target, down);
    }

    CToolsBmp picture;
    if (!picture.InitImageBuffer(static_cast<int>(height), op)) return kExitFailure;
    picture.setColourTable(table);
    RasterSurface surface(kRowWidth, static_cast<int>(height));
    FakeClock clock;
    PictureController controller(picture, surface, replay.settings, clock);
    controller.clearPicture();
    RowCapture capture(picture);

    const std::uint64_t total = log.reader.wholeLines();
    const std::uint64_t size = log.reader.lineSize();
    std::vector<std::uint8_t> bytes;
    ParsedLine parsed;
    std::uint64_t lines = 0;
    for (; log.reader.readLine(position, bytes); position += size) {
        parseDataLine(bytes, log.layout, parsed);
        replay.apply(parsed, log.layout);
        const LiveValues v = replay.live.snapshot();
        if (!toText.empty() && (down ? v.fileDepth > metres(to) + 1e-9 : v.fileDepth < metres(to) - 1e-9))
            break;
        controller.drawReplayLine(down, v.resolutionCode, replay.image,
                                  rowInputsFor(v, replay.settings, sonde.gammaCoef), v.fileDepth);
        capture.afterRow(down);
        if (++lines % 1000 == 0)
            std::fprintf(stderr, "\rquelt render: %llu / %llu lines",
                         static_cast<unsigned long long>(position / size + 1),
                         static_cast<unsigned long long>(total));
    }
    capture.finish();
    if (lines >= 1000) std::fprintf(stderr, "\n");
    if (capture.rows() == 0) {
        std::fprintf(stderr, "quelt render: no line of the log lies in the range\n");
        return kExitFailure;
    }
    const bool jpeg = toUpper(std::filesystem::path(output).extension().string()) != ".BMP";
    if (jpeg && capture.rows() > kJpegMaxRows) {
        std::fprintf(stderr,
                     "quelt render: %d rows do not fit a JPEG (at most %d): write a .bmp or choose a range\n",
                     capture.rows(), kJpegMaxRows);
        return kExitFailure;
    }
    const std::vector<std::uint8_t> pixels = capture.bgr();
    if (!SavePictureFile(pixels.data(), kRowWidth, capture.rows(), kRowWidth * 3, output, !down)) {
        std::fprintf(stderr, "quelt render: %s could not be written\n", output.c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "quelt render: %d rows from %llu lines\n", capture.rows(),
                 static_cast<unsigned long long>(lines));
    std::printf("%s\n", output.c_str());
    return kExitOk;
}

CommandRegistration registration({"render", "write the picture of a log as a BMP or JPEG file", kUsage,
                                  runRender});

}  // namespace
}  // namespace quelt::cli
