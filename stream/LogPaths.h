#pragma once
// Where the files of a log go and how the program remembers them: the names of a new log, the folders
// the log dialogs open in, and the paths record kept after a log is named or opened. The desktop
// program's dialogs and the command line take the same rules from here.

#include <string>

#include "config/Settings.h"

namespace quelt {

// The header path of a new log: `chosen` with ".HED" and the orientation suffix of `orientation`
// (PicOriented 0 "_X", 1 "_N", 2 "_H") unless its name already ends with it (without regard to case),
// or as given when `plain`.
std::string newLogHeaderPath(const std::string& chosen, int orientation, bool plain = false);

// A stored folder that names no folder of the operator's: three characters or fewer (a bare drive,
// "c:\" or "/"), or the folder the placement reset stores in its place.
bool isBareFolder(const std::string& stored);

// The folder the "&New log." dialog opens in: the log directory, or "Data" under the program folder
// (created) when the log directory is bare.
std::string newLogFolder(const ProgramPaths& paths);

// What the log open dialogs propose: the last header when it is a file; otherwise the log directory,
// or the "Demo" folder of the program folder when the log directory is bare, with the demonstration
// log "Demo.HED" in it when it is there.
std::string openLogProposal(const ProgramPaths& paths);

// Remembers a log just named or opened: its folder, both file names with their full paths, and the
// temporary folder. The caller saves them (SavePaths).
void rememberLog(ProgramPaths& paths, const std::string& headerPath);

}  // namespace quelt
