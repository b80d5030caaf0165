// quelt las: the LAS 2.0 export of a recorded log, as the export dialog does it.

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/ExportRun.h"
#include "config/ProgramContext.h"
#include "config/SondeDatabase.h"
#include "export/ExportAdapters.h"
#include "export/LasExport.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt::cli {
namespace {

constexpr const char* kUsage =
    "usage: quelt las PATH.HED [-o OUT.las] [--from D] [--to D] [--step 1cm|2cm|5cm|10cm|1in|2in|4in]\n"
    "                 [--reverse] [--curves speed,gamma,incl,azimuth,hgdelta,roll,mroll,tgrav,tmag|all]\n"
    "                 [--raw] [--replace]\n"
    "\n"
    "Exports the log as a LAS 2.0 file. The default output is the log's LAS20 folder. From and To are in\n"
    "the display depth unit (SetDepthUnit) and default to the whole log. Without --curves the export\n"
    "flags of section LASGenerator are used; with it they are stored there. --raw adds the six deviation\n"
    "axes. Exits 0 only when the LAS file is complete; an interrupt (130) leaves no file.\n";

bool setCurves(const std::string& list, LasCurves& c) {
    c = LasCurves{false, false, false, false, false, false, false, false, false, false};
    std::stringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        name = trim(name);
        if (name == "all") {
            c.speed = c.gamma = c.incl = c.azimuth = c.hgDelta = c.roll = c.mroll = c.tgrav = c.tmag = true;
        } else if (name == "speed")
            c.speed = true;
        else if (name == "gamma")
            c.gamma = true;
        else if (name == "incl")
            c.incl = true;
        else if (name == "azimuth")
            c.azimuth = true;
        else if (name == "hgdelta")
            c.hgDelta = true;
        else if (name == "roll")
            c.roll = true;
        else if (name == "mroll")
            c.mroll = true;
        else if (name == "tgrav")
            c.tgrav = true;
        else if (name == "tmag")
            c.tmag = true;
        else
            return false;
    }
    return true;
}

int runLas(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    std::string header, output, from, to, step, curves;
    bool reverse = false, raw = false, replace = options.replace;
    const OptionTable optionTable{
        {{"-o", &output}, {"--from", &from}, {"--to", &to}, {"--step", &step}, {"--curves", &curves}},
        {{"--reverse", &reverse}, {"--raw", &raw}, {"--replace", &replace}},
        &header};
    if (!parseOptions(args, optionTable, "las", kUsage)) return kExitUsage;
    const bool haveCurves = std::find(args.begin(), args.end(), "--curves") != args.end();
    if (header.empty()) {
        std::fprintf(stderr, "quelt las: no header file\n%s", kUsage);
        return kExitUsage;
    }

    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("las", options.home, op, context)) return kExitFailure;
    SondeDatabase sondes(context.settings, op);
    sondes.LoadSondeDatabase();
    CLasExport las(context.settings, context.paths, context.placements, op, sondes,
                   decoderOrientationRoutine(context.settings));
    las.status = [](const std::string& s) {
        if (!s.empty()) std::fprintf(stderr, "%s\n", s.c_str());
    };
    if (!las.LoadInput(header)) return kExitFailure;
    if (!output.empty()) las.context().outputPath = output;
    if (std::string clash =
            outputMeetsSource({las.context().outputPath}, {las.context().headerPath, las.context().dataPath});
        !clash.empty()) {
        std::fprintf(stderr, "quelt las: %s\n", clash.c_str());
        return kExitUsage;
    }

    LasChoices choices;
    choices.reverse = reverse;
    choices.curves = curvesFromSettings(context.settings);
    if (haveCurves) {
        if (!setCurves(curves, choices.curves)) {
            std::fprintf(stderr, "quelt las: unknown curve in %s\n", curves.c_str());
            return kExitUsage;
        }
        choices.curves.raw = raw;
    } else if (raw) {
        choices.curves.raw = true;
    }
    if (!step.empty()) {
        std::string want = step;
        if (want.size() > 2 && want.compare(want.size() - 2, 2, "in") == 0)
            want = want.substr(0, want.size() - 2) + " \"";
        auto items = lasStepItems(las.context().displayUnit);
        choices.stepIndex = -1;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].text == want) choices.stepIndex = static_cast<int>(i);
        if (choices.stepIndex < 0) {
            std::fprintf(stderr, "quelt las: step %s is not offered for the display unit\n", step.c_str());
            return kExitUsage;
        }
    }
    if (!from.empty() && !las.SetFrom(numberArgument(from))) return kExitUsage;
    if (!to.empty() && !las.SetTo(numberArgument(to))) return kExitUsage;
    if (haveCurves) las.Close(choices.curves);

    std::fprintf(stderr, "Interval : %s %s\n", las.context().intervalText.c_str(),
                 las.context().intervalUnit.c_str());
    if (!las.StartChecks(choices, replace)) return kExitFailure;
    if (int code = runExport([&] { return las.Write(choices); }, las.abort); code != kExitOk) return code;
    std::printf("%s\n", las.context().outputPath.c_str());
    return kExitOk;
}

CommandRegistration registration({"las", "export a log as a LAS 2.0 file", kUsage, runLas});

}  // namespace
}  // namespace quelt::cli
