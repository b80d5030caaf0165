#pragma once
// The data file of a log: a plain sequence of whole lines. The writer appends one line at a time and
// never leaves a partial line behind it: a failed or short write cuts the file back to its last whole
// line and stops. The reader reads whole lines at positions, as often as asked.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace quelt {

class DataFileWriter {
  public:
    DataFileWriter() = default;
    ~DataFileWriter();
    DataFileWriter(const DataFileWriter&) = delete;
    DataFileWriter& operator=(const DataFileWriter&) = delete;

    // Opens `path` for appending lines of `lineSize` bytes. A partial line at the end of an existing
    // file (left by a crash) is cut off first. False with error() when the file cannot be opened.
    bool open(const std::string& path, size_t lineSize);
    // Appends one whole line. On any failure the file is cut back to its last whole line, the writer
    // closes and error() tells why; later calls return false.
    bool appendLine(std::span<const std::uint8_t> line, Millis now);
    // Pushes the written lines to the disk (at most once a second while recording, and at close).
    void close();

    bool isOpen() const { return fd_ >= 0; }
    std::uint64_t linesWritten() const { return lines_; }
    std::uint64_t endPosition() const { return end_; }
    const std::string& error() const { return error_; }

    // A fault to inject in tests: the write of line number `line` (0-based, of this writer) fails
    // after `bytes` bytes with errno `err`.
    void injectWriteFault(std::uint64_t line, size_t bytes, int err);

  private:
    void fail(const std::string& what, int err);

    int fd_ = -1;
    std::string path_;
    size_t lineSize_ = 0;
    std::uint64_t end_ = 0;
    std::uint64_t lines_ = 0;
    Millis lastSync_ = 0;
    std::string error_;
    bool faultArmed_ = false;
    std::uint64_t faultLine_ = 0;
    size_t faultBytes_ = 0;
    int faultErrno_ = 0;
};

// One writer per log: an exclusive lock (flock) on the data file of a log, taken before anything of the
// log is written or replaced and held until its recording ends, so that a second recorder onto the same
// log (another process, or another window) is refused at once instead of interleaving lines or deleting
// the log under the first. The data file carries the lock because it is the one file of a log that
// stays the same file while it is recorded: the header is rewritten beside itself and renamed over, so
// a lock on it would stay on the old file.
class LogWriterLock {
  public:
    LogWriterLock() = default;
    ~LogWriterLock() { release(); }
    LogWriterLock(const LogWriterLock&) = delete;
    LogWriterLock& operator=(const LogWriterLock&) = delete;

    // Locks the data file at `dataPath`, creating it empty when missing. False with error() when another
    // writer holds it or it cannot be opened.
    bool acquire(const std::string& dataPath);
    // Empties the locked data file (a log replaced after the operator's yes), keeping the lock.
    bool truncate();
    // Gives the lock up; `discardIfCreated` removes an empty data file that acquire() created.
    void release(bool discardIfCreated = false);

    bool held() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // The data file held lines when it was locked.
    bool hadData() const { return hadData_; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::string path_;
    bool created_ = false;
    bool hadData_ = false;
    std::string error_;
};

class DataFileReader {
  public:
    DataFileReader() = default;
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    // False with error() "Trouble opening file." and the reason on a second line when it cannot be
    // opened or is not a regular file (a folder, a FIFO, a device), or when lineSize is 0.
    bool open(const std::string& path, size_t lineSize);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    std::uint64_t size() const;
    std::uint64_t wholeLines() const { return lineSize_ ? size() / lineSize_ : 0; }
    std::uint64_t trailingBytes() const { return lineSize_ ? size() % lineSize_ : 0; }
    size_t lineSize() const { return lineSize_; }

    // Reads the whole line at `position` (bytes); false at the end of the file or on a partial line.
    bool readLine(std::uint64_t position, std::vector<std::uint8_t>& line) const;
    // Reads up to `count` whole lines from `position` in one call into `lines` (resized to what was
    // read); returns the number of whole lines read, 0 at the end of the file.
    size_t readLines(std::uint64_t position, size_t count, std::vector<std::uint8_t>& lines) const;
    // The depth field (first four bytes) of the line at `position`; false past the last whole line.
    bool readDepthField(std::uint64_t position, std::int32_t& depth) const;
    // From `position`, the first line whose depth field is at or past `target` (at or above it for a
    // descending log, at or below it otherwise), else the last whole line. Returns its position.
    std::uint64_t seekDepthField(std::uint64_t position, std::int32_t target, bool descending) const;

    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    size_t lineSize_ = 0;
    std::uint64_t openedSize_ = 0;  // nothing past the size the file had when it was opened is read
    std::string error_;
};

}  // namespace quelt
