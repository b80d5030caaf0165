// quelt resample: a recorded log resampled onto a regular depth grid, as the resampling dialog does it.

#include <cstdio>
#include <cstdlib>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/ExportRun.h"
#include "config/ProgramContext.h"
#include "config/SondeDatabase.h"
#include "export/ExportAdapters.h"
#include "export/Resampling.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "usage: quelt resample PATH.HED [--out-dir DIR] [--from D] [--to D] [--interval V]\n"
    "                      [--orientation none|north|highside] [--preview FILE.jpg|FILE.bmp]\n"
    "                      [--preview-rows N] [--preview-only] [--replace]\n"
    "\n"
    "Writes the log resampled at a new depth interval into the log's RESAMPLING folder (or DIR), named\n"
    "after the orientation (_X none, _N magnetic north, _H high side). From and To are in the display\n"
    "depth unit; the interval is in millimetres (metric display) or mils (feet display), within the\n"
    "allowed range printed before the export starts. Exits 0 only when the data file and its header\n"
    "are complete; an interrupt (130) leaves neither.\n"
    "\n"
    "--preview writes the preview of the dialog: the first lines from From (400, or N of --preview-rows,\n"
    "at most 400), re-oriented as chosen, travel time on the left and amplitude on the right, as a JPEG\n"
    "or a BMP by the extension. --preview-only stops after the preview.\n";

int runResample(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::string header, outDir, from, to, interval, orientation, preview, previewRows;
    bool replace = options.replace, previewOnly = false;
    const OptionTable optionTable{{{"--out-dir", &outDir},
                                   {"--from", &from},
                                   {"--to", &to},
                                   {"--interval", &interval},
                                   {"--orientation", &orientation},
                                   {"--preview", &preview},
                                   {"--preview-rows", &previewRows}},
                                  {{"--preview-only", &previewOnly}, {"--replace", &replace}},
                                  &header};
    if (!parseOptions(args, optionTable, "resample", kUsage)) return kExitUsage;
    int deviation = -1;
    if (orientation == "none")
        deviation = 0;
    else if (orientation == "north")
        deviation = 1;
    else if (orientation == "highside")
        deviation = 2;
    else if (!orientation.empty()) {
        std::fprintf(stderr, "quelt resample: unknown orientation %s\n", orientation.c_str());
        return kExitUsage;
    }
    if (header.empty()) {
        std::fprintf(stderr, "quelt resample: no header file\n%s", kUsage);
        return kExitUsage;
    }
    int rows = kExportRows;
    if (!previewRows.empty()) {
        char* end = nullptr;
        long n = std::strtol(previewRows.c_str(), &end, 10);
        if (*end || n < 1 || n > kExportRows) {
            std::fprintf(stderr, "quelt resample: --preview-rows takes 1 to %d\n", kExportRows);
            return kExitUsage;
        }
        rows = static_cast<int>(n);
    }
    if ((previewOnly || !previewRows.empty()) && preview.empty()) {
        std::fprintf(stderr, "quelt resample: --preview-only and --preview-rows need --preview FILE\n");
        return kExitUsage;
    }
    if (!preview.empty() && !PictureFileSupported(preview)) {
        std::fprintf(stderr, "quelt resample: the preview is written as .jpg, .jpeg or .bmp, not %s\n",
                     preview.c_str());
        return kExitUsage;
    }

    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("resample", options.home, op, context)) return kExitFailure;
    SondeDatabase sondes(context.settings, op);
    sondes.LoadSondeDatabase();
    CFileResampling rs(context.settings, context.paths, context.placements, op, sondes,
                       decoderRotationRoutine(context.settings));
    if (!rs.LoadInput(header)) return kExitFailure;
    if (!outDir.empty()) rs.SetOutputFolder(outDir);
    if (deviation >= 0) rs.SetDeviation(deviation);
    if (std::string clash = outputMeetsSource({rs.outputDataPath(), rs.outputHeaderPath(), preview},
                                              {rs.sourceHeaderPath(), rs.sourceDataPath()});
        !clash.empty()) {
        std::fprintf(stderr, "quelt resample: %s\n", clash.c_str());
        return kExitUsage;
    }
    if (!from.empty() && !rs.SetFrom(numberArgument(from))) return kExitUsage;
    if (!to.empty() && !rs.SetTo(numberArgument(to))) return kExitUsage;
    std::fprintf(stderr, "Orientation: %s\nDirection: %s\nAverage source file depth sampling : %s %s\n",
                 rs.orientationText().c_str(), rs.directionText().c_str(), rs.sampling().averageText.c_str(),
                 rs.sampling().unitText.c_str());
    std::fprintf(stderr, "Depth sampling interval: %d %s %s\n", rs.sampling().intervalShown,
                 rs.sampling().unitText.c_str(), rs.sampling().rangeText.c_str());
    if (!interval.empty() && !rs.CheckInterval(interval)) return kExitUsage;
    if (!preview.empty()) {
        ExportPreviewRaster raster(context.settings, rs.header(),
                                   loadColourTable(context.home, context.settings));
        rs.CreateViewerBMP(raster, rows);
        if (!raster.save(preview, rows)) {
            std::fprintf(stderr, "quelt resample: the preview %s could not be written\n", preview.c_str());
            return kExitFailure;
        }
        std::fprintf(stderr, "Preview: %s (%d rows)\n", preview.c_str(), rows);
        if (previewOnly) {
            std::printf("%s\n", preview.c_str());
            return kExitOk;
        }
    }
    rs.progress = [](std::int64_t pos, std::int64_t range) {
        if (range > 0 && pos % 1000 == 0)
            std::fprintf(stderr, "\r%lld / %lld", (long long)pos, (long long)range);
    };
    if (!rs.CheckOutputs(replace)) return kExitFailure;
    const int code = runExport([&] { return rs.WriteResampled(); }, rs.abort);
    std::fprintf(stderr, "\n");
    if (code != kExitOk) return code;
    std::printf("%s\n", rs.outputHeaderPath().c_str());
    return kExitOk;
}

CommandRegistration registration({"resample", "resample a log at a new depth interval", kUsage, runResample});

}  // namespace
}  // namespace quelt::cli
