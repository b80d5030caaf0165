#include "config/ProgramContext.h"

#include "platform/Paths.h"

namespace quelt {

bool startProgram(const std::string& homeOption, Operator& op, ProgramContext& context, std::string& error) {
    context.home = chooseHome(homeOption);
    if (!prepareHome(context.home, installationDataDir(), error)) return false;
    context.preferences =
        std::make_unique<CPreferences>(context.settings, context.paths, context.placements, op);
    context.sondes = std::make_unique<SondeDatabase>(context.settings, op);
    connectSondeDatabase(*context.preferences, *context.sondes);
    context.preferences->LoadAll(context.home.string());
    context.headerIo = std::make_unique<CHeader>(context.settings, context.paths, context.placements, op,
                                                 context.header, *context.sondes);
    return true;
}

}  // namespace quelt
