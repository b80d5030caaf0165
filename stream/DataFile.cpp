#include "stream/DataFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr Millis kSyncInterval = 1000;
}  // namespace

bool LogWriterLock::acquire(const std::string& dataPath) {
    release();
    error_.clear();
    // Between the open and the lock another writer may replace the file; the lock counts only on the
    // file that the path names once it is held.
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat before {};
        const bool existed = ::stat(dataPath.c_str(), &before) == 0;
        int fd = ::open(dataPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error_ = format("Cannot open the data file %s (%s).", dataPath.c_str(), std::strerror(errno));
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            error_ = err == EWOULDBLOCK
                         ? format("%s is being recorded by another program.", dataPath.c_str())
                         : format("Cannot lock the data file %s (%s).", dataPath.c_str(), std::strerror(err));
            return false;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(dataPath.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            fd_ = fd;
            path_ = dataPath;
            created_ = !existed;
            hadData_ = held.st_size > 0;
            return true;
        }
        ::close(fd);
    }
    error_ = format("%s is being recorded by another program.", dataPath.c_str());
    return false;
}

bool LogWriterLock::truncate() {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0) {
        error_ = format("Cannot empty the data file %s (%s).", path_.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void LogWriterLock::release(bool discardIfCreated) {
    if (fd_ < 0) return;
    struct stat st {};
    // Removed while still locked, so no other writer can be holding what is removed.
    if (discardIfCreated && created_ && ::fstat(fd_, &st) == 0 && st.st_size == 0) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    created_ = false;
    hadData_ = false;
}

DataFileWriter::~DataFileWriter() {
    close();
}

bool DataFileWriter::open(const std::string& path, size_t lineSize) {
    close();
    error_.clear();
    path_ = path;
    lineSize_ = lineSize;
    lines_ = 0;
    if (lineSize == 0) {
        error_ = "The log declares no line size.";
        return false;
    }
    turnFileSizeLimitIntoAnError();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = format("Cannot open the data file %s (%s).", path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat st {};
    ::fstat(fd_, &st);
    std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    end_ = size - size % lineSize_;
    if (end_ != size && ::ftruncate(fd_, static_cast<off_t>(end_)) != 0) {
        fail("cut the partial line at the end of", errno);
        return false;
    }
    return true;
}

void DataFileWriter::injectWriteFault(std::uint64_t line, size_t bytes, int err) {
    faultArmed_ = true;
    faultLine_ = line;
    faultBytes_ = bytes;
    faultErrno_ = err;
}

void DataFileWriter::fail(const std::string& what, int err) {
    error_ =
        format("Recording stopped: cannot %s the data file %s (%s). It holds %llu whole lines.", what.c_str(),
               path_.c_str(), std::strerror(err), static_cast<unsigned long long>(end_ / lineSize_));
    if (fd_ >= 0) {
        // Whatever part of the line reached the file goes: the file ends on a whole line.
        [[maybe_unused]] int rc = ::ftruncate(fd_, static_cast<off_t>(end_));
        ::close(fd_);
        fd_ = -1;
    }
}

bool DataFileWriter::appendLine(std::span<const std::uint8_t> line, Millis now) {
    if (fd_ < 0) return false;
    if (line.size() != lineSize_) {
        fail("write a line of the wrong size to", EINVAL);
        return false;
    }
    size_t done = 0;
    bool inject = faultArmed_ && faultLine_ == lines_;
    while (done < line.size()) {
        size_t want = line.size() - done;
        if (inject) {
            if (done >= faultBytes_) {
                faultArmed_ = false;
                fail("write", faultErrno_);
                return false;
            }
            want = std::min(want, faultBytes_ - done);
        }
        ssize_t n = ::pwrite(fd_, line.data() + done, want, static_cast<off_t>(end_ + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write", errno);
            return false;
        }
        if (n == 0) {
            fail("write", ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    end_ += line.size();
    ++lines_;
    if (now - lastSync_ >= kSyncInterval) {
        if (::fdatasync(fd_) != 0) {
            end_ -= line.size();
            --lines_;
            fail("flush", errno);
            return false;
        }
        lastSync_ = now;
    }
    return true;
}

void DataFileWriter::close() {
    if (fd_ < 0) return;
    ::fdatasync(fd_);
    ::close(fd_);
    fd_ = -1;
}

DataFileReader::~DataFileReader() {
    close();
}

bool DataFileReader::open(const std::string& path, size_t lineSize) {
    close();
    error_.clear();
    lineSize_ = lineSize;
    if (lineSize == 0) {
        error_ = "The log declares no line size.";
        return false;
    }
    std::string why;
    fd_ = openRegularFile(path, why, &openedSize_);
    if (fd_ < 0) {
        // A missing file keeps the system's plain text; anything else says what the name is.
        error_ = errno == ENOENT ? "Trouble opening file." : "Trouble opening file.\n" + why;
        return false;
    }
    return true;
}

void DataFileReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::uint64_t DataFileReader::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return std::min(static_cast<std::uint64_t>(st.st_size), openedSize_);
}

static bool readFully(int fd, std::uint8_t* out, size_t count, std::uint64_t at) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool DataFileReader::readLine(std::uint64_t position, std::vector<std::uint8_t>& line) const {
    if (fd_ < 0 || lineSize_ == 0 || position + lineSize_ > openedSize_) return false;
    line.resize(lineSize_);
    return readFully(fd_, line.data(), lineSize_, position);
}

size_t DataFileReader::readLines(std::uint64_t position, size_t count,
                                 std::vector<std::uint8_t>& lines) const {
    lines.clear();
    if (fd_ < 0 || lineSize_ == 0 || position >= openedSize_) return 0;
    const size_t n =
        static_cast<size_t>(std::min<std::uint64_t>(count, (openedSize_ - position) / lineSize_));
    lines.resize(n * lineSize_);
    if (n == 0 || !readFully(fd_, lines.data(), lines.size(), position)) {
        lines.clear();
        return 0;
    }
    return n;
}

bool DataFileReader::readDepthField(std::uint64_t position, std::int32_t& depth) const {
    if (fd_ < 0 || lineSize_ < 4 || position + lineSize_ > size()) return false;
    std::uint8_t b[4];
    if (!readFully(fd_, b, 4, position)) return false;
    depth = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
        static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

std::uint64_t DataFileReader::seekDepthField(std::uint64_t position, std::int32_t target,
                                             bool descending) const {
    std::uint64_t pos = position, last = position;
    std::int32_t depth = 0;
    while (readDepthField(pos, depth)) {
        last = pos;
        if (descending ? depth >= target : depth <= target) return pos;
        pos += lineSize_;
    }
    return last;
}

}  // namespace quelt
