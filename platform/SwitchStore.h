#pragma once
// The per-user store of the four technical switches:
// ${XDG_CONFIG_HOME:-~/.config}/Torvanel/VEXA/TechnicalTools, one "name=true|false" line each. A missing file
// is a key that does not open: every switch off.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quelt {

struct TechnicalSwitches {
    bool TechnicalTools = false;
    bool DebugingTools = false;
    bool DebugingTrace = false;
    bool FullTracing = false;
};

class SwitchStore {
  public:
    // The default location from the environment.
    SwitchStore();
    explicit SwitchStore(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& file() const { return file_; }

    // nullopt when the store does not exist. A value reads as on when, trimmed and upper-cased, it is "TRUE".
    std::optional<TechnicalSwitches> read() const;
    // Creates the store when missing and writes all four values as "true" or "false"; false on failure.
    bool write(const TechnicalSwitches& switches) const;

  private:
    std::filesystem::path file_;
};

}  // namespace quelt
