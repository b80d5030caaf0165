#include "platform/SwitchStore.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

SwitchStore::SwitchStore() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".config";
    }
    file_ = base / "Torvanel" / "VEXA" / "TechnicalTools";
}

std::optional<TechnicalSwitches> SwitchStore::read() const {
    // A folder, FIFO or device under the file's name reads as no file: every switch off.
    std::string bytes;
    if (readRegularFile(file_.string(), bytes) != ReadFileResult::Ok) return std::nullopt;
    std::istringstream in(bytes);
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[toUpper(trim(line.substr(0, eq)))] = line.substr(eq + 1);
    }
    auto on = [&](const char* name) {
        auto it = values.find(toUpper(name));
        return it != values.end() && toUpper(trim(it->second)) == "TRUE";
    };
    TechnicalSwitches s;
    s.TechnicalTools = on("TechnicalTools");
    s.DebugingTools = on("DebugingTools");
    s.DebugingTrace = on("DebugingTrace");
    s.FullTracing = on("FullTracing");
    return s;
}

bool SwitchStore::write(const TechnicalSwitches& s) const {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    auto text = [](bool b) { return b ? "true" : "false"; };
    std::ostringstream out;
    out << "TechnicalTools=" << text(s.TechnicalTools) << "\n"
        << "DebugingTools=" << text(s.DebugingTools) << "\n"
        << "DebugingTrace=" << text(s.DebugingTrace) << "\n"
        << "FullTracing=" << text(s.FullTracing) << "\n";
    return replaceFileAtomically(file_, out.str());
}

}  // namespace quelt
