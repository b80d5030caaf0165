// quelt settings: the settings the program really runs with.

#include <cstdio>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "config/ProgramContext.h"
#include "platform/Text.h"

namespace quelt::cli {
namespace {

int runSettings(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json") {
            json = true;
        } else {
            std::fprintf(stderr, "quelt settings: unknown argument %s\n", a.c_str());
            return kExitUsage;
        }
    }
    CliOperator op(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("settings", options.home, op, context)) return kExitFailure;
    auto items = listSettings(context.settings, context.paths);
    const ProgramPaths& p = context.paths;
    const TechnicalSwitches& sw = context.settings.switches;
    if (json) {
        JsonObject out;
        for (const auto& item : items)
            out.add(item.key, jsonValue(item.value));
        JsonObject paths;
        paths.addString("programDir", p.programDir)
            .addString("settingsFile", p.settingsFile)
            .addString("lastHeader", p.lastHeader)
            .addString("logDir", p.logDir)
            .addString("lastDataFile", p.lastDataFile)
            .addString("dataFileName", p.dataFileName)
            .addString("tempDir", p.tempDir)
            .addInt("language", p.language);
        out.add("ProgramPaths", paths.str());
        JsonObject switches;
        switches.addBool("TechnicalTools", sw.TechnicalTools)
            .addBool("DebugingTools", sw.DebugingTools)
            .addBool("DebugingTrace", sw.DebugingTrace)
            .addBool("FullTracing", sw.FullTracing);
        out.add("switches", switches.str());
        std::printf("%s\n", out.str().c_str());
        return kExitOk;
    }
    std::string section;
    for (const auto& item : items) {
        if (section != item.section) {
            section = item.section;
            std::printf("%s[%s]\n", section == "QueltLogger" ? "" : "\n", item.section);
        }
        std::printf("%s=%s\n", item.key.c_str(), settingText(item.value, jsonNumber).c_str());
    }
    std::printf("\n[ProgramPaths]\nprogramDir=%s\nsettingsFile=%s\n", p.programDir.c_str(),
                p.settingsFile.c_str());
    auto onOff = [](bool b) { return b ? "true" : "false"; };
    std::printf("\n[switches]\nTechnicalTools=%s\nDebugingTools=%s\nDebugingTrace=%s\nFullTracing=%s\n",
                onOff(sw.TechnicalTools), onOff(sw.DebugingTools), onOff(sw.DebugingTrace),
                onOff(sw.FullTracing));
    return kExitOk;
}

CommandRegistration registration{{
    "settings",
    "load the settings as the program does at start and print them",
    "Usage: quelt [--home DIR] settings [--json]\n\n"
    "Loads Zorak.cfg, Zorak.dat and the technical switches of the program folder exactly as the program\n"
    "does at start (a first start fills an empty folder and writes the first-run keys), then prints every\n"
    "key of sections QueltLogger and LASGenerator with the value in memory.\n\n"
    "  --json   one JSON object: a member per key, plus \"ProgramPaths\" and \"switches\"\n\n"
    "Exit codes: 0 printed, 1 the program folder cannot be used, 2 bad arguments.\n",
    runSettings,
}};

}  // namespace
}  // namespace quelt::cli
