#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace {

// What a file of this mode is, when it is not a regular file.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string refusal(const std::string& path, mode_t mode) {
    return format("%s is %s, not a file.", path.c_str(), kindOf(mode));
}

}  // namespace

std::string notRegularFileReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    return refusal(path, st.st_mode);
}

int openRegularFile(const std::string& path, std::string& error, std::uint64_t* size) {
    // Non-blocking, so that a FIFO without a writer cannot hold the open itself.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = systemErrorText(path, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = refusal(path, st.st_mode);
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

ReadFileResult readRegularFile(const std::string& path, std::string& bytes, std::string* error) {
    bytes.clear();
    std::string why;
    std::uint64_t size = 0;
    int fd = openRegularFile(path, why, &size);
    if (fd < 0) {
        if (error) *error = why;
        return errno == ENOENT ? ReadFileResult::Missing : ReadFileResult::Refused;
    }
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (error) *error = systemErrorText(path, errno);
            ::close(fd);
            bytes.clear();
            return ReadFileResult::Refused;
        }
        if (n == 0) break;  // the file shrank since it was opened
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    ::close(fd);
    return ReadFileResult::Ok;
}

bool sameFile(const fs::path& a, const fs::path& b) {
    auto identity = [](const fs::path& p, struct stat& st) {
        if (::stat(p.c_str(), &st) == 0) return true;
        // A name that is not there as written is the file the no-case rule gives it, if any.
        fs::path resolved = resolveNoCase(p);
        return resolved != p && ::stat(resolved.c_str(), &st) == 0;
    };
    struct stat sa {
    }, sb{};
    if (!identity(a, sa) || !identity(b, sb)) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string outputMeetsSource(const std::vector<fs::path>& outputs, const std::vector<fs::path>& sources) {
    for (const auto& out : outputs)
        for (const auto& src : sources)
            if (!out.empty() && !src.empty() && sameFile(out, src))
                return format("The output %s is the source file %s: refused.", out.c_str(), src.c_str());
    return {};
}

std::string systemErrorText(const std::string& path, int err) {
    return path + ": " + std::strerror(err);
}

void turnFileSizeLimitIntoAnError() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

AtomicOutput::AtomicOutput(fs::path finalPath) : final_(std::move(finalPath)) {}

AtomicOutput::~AtomicOutput() {
    if (!committed_) discard();
}

bool AtomicOutput::open() {
    discard();
    error_.clear();
    committed_ = false;
    turnFileSizeLimitIntoAnError();
    fs::path folder = final_.parent_path();
    std::string name =
        (folder.empty() ? fs::path(".") : folder) / ("." + final_.filename().string() + ".XXXXXX");
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = systemErrorText(final_.string(), errno);
        return false;
    }
    ::fchmod(fd, 0644);
    private_ = name;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = systemErrorText(final_.string(), errno);
        ::close(fd);
        discard();
        return false;
    }
    return true;
}

bool AtomicOutput::commit() {
    if (!file_) {
        if (error_.empty()) error_ = systemErrorText(final_.string(), EBADF);
        return false;
    }
    errno = 0;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    int err = errno;
    if (ok && ::fsync(::fileno(file_)) != 0) {
        ok = false;
        err = errno;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    file_ = nullptr;
    if (ok && ::rename(private_.c_str(), final_.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        error_ = systemErrorText(final_.string(), err ? err : EIO);
        discard();
        return false;
    }
    committed_ = true;
    private_.clear();
    return true;
}

void AtomicOutput::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!private_.empty()) ::unlink(private_.c_str());
    private_.clear();
}

TempFile::~TempFile() {
    remove();
}

bool TempFile::create(const fs::path& folder, const std::string& stem) {
    remove();
    turnFileSizeLimitIntoAnError();
    std::string name = (folder / (stem + ".XXXXXX")).string();
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = systemErrorText(name, errno);
        return false;
    }
    path_ = name;
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        error_ = systemErrorText(name, errno);
        ::close(fd);
        remove();
        return false;
    }
    return true;
}

void TempFile::remove() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace quelt
