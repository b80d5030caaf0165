#include "stream/LogPaths.h"

#include <filesystem>

#include "config/Preferences.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "stream/LogFile.h"

namespace quelt {

namespace fs = std::filesystem;

std::string newLogHeaderPath(const std::string& chosen, int orientation, bool plain) {
    fs::path p(nativePath(chosen));
    std::string stem = p.stem().string();
    if (!equalsNoCase(p.extension().string(), ".hed")) stem = p.filename().string();
    const char* suffix = orientation == 1 ? "_N" : orientation == 2 ? "_H" : "_X";
    if (!plain && (stem.size() < 2 || !equalsNoCase(stem.substr(stem.size() - 2), suffix))) stem += suffix;
    return fs::absolute(p.parent_path() / (stem + ".HED")).string();
}

bool isBareFolder(const std::string& stored) {
    if (stored.size() <= 3) return true;
    const auto trimmed = [](std::string s) {
        while (s.size() > 1 && s.back() == '/')
            s.pop_back();
        return s;
    };
    return trimmed(nativePath(stored)) == trimmed(defaultUserFolder());
}

std::string newLogFolder(const ProgramPaths& paths) {
    if (!isBareFolder(paths.logDir)) return nativePath(paths.logDir);
    const fs::path data = resolveNoCase(fs::path(paths.programDir) / "Data");
    std::error_code ec;
    fs::create_directories(data, ec);
    return data.string();
}

std::string openLogProposal(const ProgramPaths& paths) {
    std::error_code ec;
    const std::string last = nativePath(paths.lastHeader);
    if (!last.empty() && fs::is_regular_file(last, ec)) return last;
    if (!isBareFolder(paths.logDir)) return nativePath(paths.logDir);
    const fs::path demo = resolveNoCase(fs::path(paths.programDir) / "Demo");
    if (!fs::is_directory(demo, ec)) return nativePath(paths.logDir);
    const fs::path demoLog = resolveNoCase(demo / "Demo.HED");
    return fs::is_regular_file(demoLog, ec) ? demoLog.string() : demo.string();
}

void rememberLog(ProgramPaths& paths, const std::string& headerPath) {
    paths.lastHeader = headerPath;
    paths.lastDataFile = dataPathForHeader(headerPath);
    paths.dataFileName = fs::path(paths.lastDataFile).filename().string();
    paths.logDir = fs::path(headerPath).parent_path().string();
    paths.tempDir = systemTempDir();
}

}  // namespace quelt
