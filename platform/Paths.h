#pragma once
// The program folder ("home") and the file-name rules inside it.
//
// Stored paths may come from files written on Windows: both separators are accepted. File names inside
// the home are matched without regard to case, by listing the folder.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace quelt {

namespace fs = std::filesystem;

// A stored path with either separator, as a native path ("Demo\Demo.HED" -> "Demo/Demo.HED").
std::string nativePath(std::string_view stored);

// The existing file or folder whose path matches `path` without regard to case, component by component,
// below the longest prefix that exists as written. When nothing matches, `path` itself.
fs::path resolveNoCase(const fs::path& path);

// The folder of the program's files: --home, else $QUELT_HOME, else
// ${XDG_DATA_HOME:-~/.local/share}/queltlogger.
fs::path chooseHome(const std::string& homeOption);

// The installation data (Zorak.tol, Palette.ini, logo.jpg, Demo/): $QUELT_DATA_DIR, else the installed
// share folder, else the source tree's data/ folder.
fs::path installationDataDir();

// Creates the home when missing and fills an empty one with a copy of the installation data. The copy is
// made in a staging folder beside the home (`addMore` may add to it) and renamed into place, so an
// interrupted first start leaves the home missing or empty, never half filled; the next start fills it
// again and removes what an interrupted one left behind. Returns false with a message in `error` when
// the folder cannot be made or filled.
bool prepareHome(const fs::path& home, const fs::path& dataDir, std::string& error,
                 const std::function<void(const fs::path& staging)>& addMore = {});

// The system temporary folder, with a trailing separator.
std::string systemTempDir();

// Writes `bytes` to `path` through a temporary file in the same folder, flushed to disk and renamed over
// the original, so the file is always either the old or the new version. Returns false on failure.
bool replaceFileAtomically(const fs::path& path, std::string_view bytes);

// Copies `from` to `to` the same way: beside `to`, flushed, renamed over it. False with `error` set.
bool copyFileAtomically(const fs::path& from, const fs::path& to, std::string& error);

}  // namespace quelt
