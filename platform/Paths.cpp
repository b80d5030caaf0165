#include "platform/Paths.h"

#include <fcntl.h>
#include <signal.h>
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

namespace {

constexpr const char* kStagingMark = ".filling.";

// The staging folder of a first start: hidden, beside the home, named after the process that fills it.
fs::path stagingFolder(const fs::path& home, long pid) {
    return home.parent_path() / ("." + home.filename().string() + kStagingMark + std::to_string(pid));
}

// Staging folders of first starts whose process is gone (killed while copying).
void removeAbandonedStaging(const fs::path& home) {
    std::error_code ec;
    const std::string prefix = "." + home.filename().string() + kStagingMark;
    for (const auto& entry : fs::directory_iterator(home.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && pid != static_cast<long>(getpid()) && ::kill(static_cast<pid_t>(pid), 0) == 0)
            continue;
        std::error_code ignored;
        fs::remove_all(entry.path(), ignored);
    }
}

// Pushes a filled folder to the disk before it is renamed into place.
void syncFolder(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

}  // namespace

bool prepareHome(const fs::path& homeIn, const fs::path& dataDir, std::string& error,
                 const std::function<void(const fs::path& staging)>& addMore) {
    std::error_code ec;
    fs::path home = homeIn.has_filename() ? homeIn : homeIn.parent_path();
    // A home that is a link to a folder is filled where the link points.
    if (fs::is_symlink(home, ec)) home = fs::canonical(home, ec);
    fs::create_directories(home.parent_path(), ec);
    const bool exists = fs::exists(home, ec);
    if (exists && !fs::is_directory(home, ec)) {
        error = "Cannot create the program folder " + home.string();
        return false;
    }
    removeAbandonedStaging(home);
    if (exists && !fs::is_empty(home, ec)) return true;
    if (!fs::is_directory(dataDir, ec)) {
        fs::create_directories(home, ec);
        if (fs::is_directory(home, ec)) return true;
        error = "Cannot create the program folder " + home.string();
        return false;
    }
    const fs::path staging = stagingFolder(home, static_cast<long>(getpid()));
    fs::remove_all(staging, ec);
    if (!fs::create_directory(staging, ec)) {
        error = "Cannot create the program folder " + home.string() + ": " + ec.message();
        return false;
    }
    // Everything but the system files beside the data (the udev rule and the menu entry of the source tree).
    for (const auto& entry : fs::directory_iterator(dataDir, ec)) {
        if (entry.path().filename() == "udev" || entry.path().filename() == "desktop") continue;
        fs::copy(entry.path(), staging / entry.path().filename(), fs::copy_options::recursive, ec);
        if (ec) break;
    }
    if (!ec && addMore) addMore(staging);
    if (!ec) syncFolder(staging);
    // An empty home is replaced by the filled folder in one step.
    if (ec || ::rename(staging.c_str(), home.c_str()) != 0) {
        const std::string why = ec ? ec.message() : std::generic_category().message(errno);
        std::error_code ignored;
        fs::remove_all(staging, ignored);
        // Another start filled the same home first: its copy is as good as this one.
        if (!ec && fs::is_directory(home, ignored) && !fs::is_empty(home, ignored)) return true;
        error = "Cannot copy the installation data into " + home.string() + ": " + why;
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

bool copyFileAtomically(const fs::path& from, const fs::path& to, std::string& error) {
    static std::atomic<unsigned> counter{0};
    fs::path tmp = to;
    tmp += format(".tmp%d.%u", static_cast<int>(getpid()), counter++);
    std::error_code ec;
    fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        int fd = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        fs::rename(tmp, to, ec);
    }
    if (ec) {
        std::error_code ignored;
        fs::remove(tmp, ignored);
        error = "Cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace quelt
