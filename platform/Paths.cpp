#include "platform/Paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt {

std::string nativePath(std::string_view stored) {
    std::string out(stored);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

fs::path resolveNoCase(const fs::path& path) {
    std::error_code ec;
    if (path.empty() || fs::exists(path, ec)) return path;
    // Find the longest prefix that exists as written, then match the rest by listing.
    fs::path resolved;
    std::vector<fs::path> parts(path.begin(), path.end());
    size_t i = 0;
    for (; i < parts.size(); ++i) {
        fs::path next = resolved / parts[i];
        if (!fs::exists(next, ec)) break;
        resolved = next;
    }
    for (; i < parts.size(); ++i) {
        const std::string wanted = parts[i].string();
        fs::path dir = resolved.empty() ? fs::path(".") : resolved;
        bool found = false;
        if (fs::is_directory(dir, ec)) {
            for (const auto& entry : fs::directory_iterator(dir, ec)) {
                if (equalsNoCase(entry.path().filename().string(), wanted)) {
                    resolved /= entry.path().filename();
                    found = true;
                    break;
                }
            }
        }
        if (!found) return path;
    }
    return resolved;
}

static fs::path userHomeDir() {
    const char* h = std::getenv("HOME");
    return fs::path(h && *h ? h : "/tmp");
}

fs::path chooseHome(const std::string& homeOption) {
    if (!homeOption.empty()) return fs::absolute(homeOption);
    if (const char* env = std::getenv("QUELT_HOME"); env && *env) return fs::absolute(env);
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base = (xdg && *xdg) ? fs::path(xdg) : userHomeDir() / ".local" / "share";
    return base / "queltlogger";
}

fs::path installationDataDir() {
    std::error_code ec;
    if (const char* env = std::getenv("QUELT_DATA_DIR"); env && *env) return fs::path(env);
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path share = exe.parent_path().parent_path() / "share" / "queltlogger";
        if (fs::exists(share / "Zorak.tol", ec) || fs::exists(share / "Palette.ini", ec)) return share;
    }
    if (fs::exists(QUELT_INSTALL_DATA_DIR, ec)) return fs::path(QUELT_INSTALL_DATA_DIR);
    return fs::path(QUELT_SOURCE_DATA_DIR);
}

bool prepareHome(const fs::path& home, const fs::path& dataDir, std::string& error) {
    std::error_code ec;
    fs::create_directories(home, ec);
    if (!fs::is_directory(home, ec)) {
        error = "Cannot create the program folder " + home.string();
        return false;
    }
    if (!fs::is_empty(home, ec) || !fs::is_directory(dataDir, ec)) return true;
    // Everything but the system files beside the data (the udev rule and the menu entry of the source tree).
    for (const auto& entry : fs::directory_iterator(dataDir, ec)) {
        if (entry.path().filename() == "udev" || entry.path().filename() == "desktop") continue;
        fs::copy(entry.path(), home / entry.path().filename(),
                 fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
        if (ec) break;
    }
    if (ec) {
        error = "Cannot copy the installation data into " + home.string() + ": " + ec.message();
        return false;
    }
    return true;
}

std::string systemTempDir() {
    std::error_code ec;
    std::string dir = fs::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

bool replaceFileAtomically(const fs::path& path, std::string_view bytes) {
    AtomicOutput out(path);
    if (!out.open()) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.file()) != bytes.size()) return false;
    return out.commit();
}

}  // namespace quelt
