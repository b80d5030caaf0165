#include "config/ProgramContext.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"

namespace quelt {

namespace fs = std::filesystem;

namespace {

// The demonstration log a new program folder gets, so that a new user can replay one at once: from the
// installation data when it holds one, else the one this build recorded. Empty when there is none.
fs::path demoSource(const fs::path& dataDir) {
    std::error_code ec;
    for (const fs::path& from : {dataDir / "Demo", fs::path(QUELT_BUILD_DATA_DIR) / "Demo"})
        if (fs::exists(from / "Demo.HED", ec) && fs::exists(from / "Demo.VIV", ec)) return from;
    return {};
}

void addDemoLog(const fs::path& home, const fs::path& dataDir) {
    std::error_code ec;
    if (fs::exists(resolveNoCase(home / "Demo" / "Demo.HED"), ec)) return;
    const fs::path from = demoSource(dataDir);
    if (from.empty()) return;
    fs::create_directories(home / "Demo", ec);
    for (const char* name : {"Demo.HED", "Demo.VIV"})
        fs::copy_file(from / name, home / "Demo" / name, fs::copy_options::skip_existing, ec);
}

bool sameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

// A first start of an older version could be cut short while it copied the demonstration log: a header
// that is the installed one, beside a data file shorter than the installed one (or none), is completed
// from the installation.
void repairDemoLog(const fs::path& home, const fs::path& dataDir, Operator& op) {
    std::error_code ec;
    const fs::path header = resolveNoCase(home / "Demo" / "Demo.HED");
    if (!fs::exists(header, ec)) return;
    const fs::path from = demoSource(dataDir);
    if (from.empty()) return;
    const fs::path data = resolveNoCase(home / "Demo" / "Demo.VIV");
    const auto want = fs::file_size(from / "Demo.VIV", ec);
    if (ec) return;
    const auto have = fs::exists(data, ec) ? fs::file_size(data, ec) : 0;
    if (ec || have >= want || !sameBytes(header, from / "Demo.HED")) return;
    std::string error;
    if (!copyFileAtomically(from / "Demo.VIV", data, error)) op.message(error, MessageKind::Error);
}

}  // namespace

bool startProgram(const std::string& homeOption, Operator& op, ProgramContext& context, std::string& error) {
    context.home = chooseHome(homeOption);
    const fs::path dataDir = installationDataDir();
    if (!prepareHome(context.home, dataDir, error,
                     [&dataDir](const fs::path& staging) { addDemoLog(staging, dataDir); }))
        return false;
    repairDemoLog(context.home, dataDir, op);
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
