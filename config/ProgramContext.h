#pragma once
// The process-wide records and the start-up load that the desktop program and the command line share.

#include <filesystem>
#include <memory>
#include <string>

#include "config/Header.h"
#include "config/Preferences.h"
#include "config/Settings.h"
#include "config/SondeDatabase.h"
#include "platform/Operator.h"

namespace quelt {

struct ProgramContext {
    std::filesystem::path home;
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    LogHeader header;
    std::unique_ptr<CPreferences> preferences;
    std::unique_ptr<SondeDatabase> sondes;
    std::unique_ptr<CHeader> headerIo;  // reads and writes `header`
};

// Chooses and prepares the home (first start fills it from the installation data) and loads the
// settings as the program does at start. False with `error` set when the home cannot be used.
bool startProgram(const std::string& homeOption, Operator& op, ProgramContext& context, std::string& error);

}  // namespace quelt
