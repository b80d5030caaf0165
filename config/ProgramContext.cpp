#include "config/ProgramContext.h"

#include <filesystem>

#include "platform/Paths.h"

namespace quelt {

namespace fs = std::filesystem;

namespace {

// A new program folder gets the demonstration log, so that a new user can replay one at once: from the
// installation data when it holds one, else the one this build recorded.
void addDemoLog(const fs::path& home, const fs::path& dataDir) {
    std::error_code ec;
    if (fs::exists(resolveNoCase(home / "Demo" / "Demo.HED"), ec)) return;
    for (const fs::path& from : {dataDir / "Demo", fs::path(QUELT_BUILD_DATA_DIR) / "Demo"}) {
        if (!fs::exists(from / "Demo.HED", ec) || !fs::exists(from / "Demo.VIV", ec)) continue;
        fs::create_directories(home / "Demo", ec);
        for (const char* name : {"Demo.HED", "Demo.VIV"})
            fs::copy_file(from / name, home / "Demo" / name, fs::copy_options::skip_existing, ec);
        return;
    }
}

}  // namespace

bool startProgram(const std::string& homeOption, Operator& op, ProgramContext& context, std::string& error) {
    context.home = chooseHome(homeOption);
    std::error_code ec;
    const bool newHome = !fs::exists(context.home, ec) || fs::is_empty(context.home, ec);
    const fs::path dataDir = installationDataDir();
    if (!prepareHome(context.home, dataDir, error)) return false;
    if (newHome) addDemoLog(context.home, dataDir);
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
