#pragma once
// Files that come from outside and files that the exports write.
//
// A name that should be a file may be a folder, a FIFO that blocks the reader until someone writes,
// or a device such as /dev/zero that never ends: readers open through openRegularFile, which never
// blocks and refuses everything but a regular file, and read no more than the size at opening.
//
// An export writes beside its final name under a private name and renames the file over it when it
// is complete (AtomicOutput), so that a failed or killed export leaves nothing under the final name;
// its scratch files have private names too (TempFile), so that two exports at once never share one.
// Before anything is written, outputMeetsSource tells whether an output would be one of the files
// the export reads.

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace quelt {

// Why `path` cannot be read as a file: "PATH is a directory, not a file." (or a FIFO, a device, a
// socket); empty when it is a regular file (links followed) or does not exist.
std::string notRegularFileReason(const std::string& path);

// Opens a regular file for reading, without blocking on a FIFO (opened non-blocking, then checked).
// -1 with `error` naming the file when it is missing, unreadable or not a regular file; `size` gets
// its size at opening.
int openRegularFile(const std::string& path, std::string& error, std::uint64_t* size = nullptr);

enum class ReadFileResult { Ok, Missing, Refused };
// The whole of a regular file, never more than its size at opening.
ReadFileResult readRegularFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

// Whether `a` and `b` are one file: the same device and inode (through links), or, for a name that
// does not exist as written, the file the program's no-case name rule finds for it.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// The refusal when writing one of `outputs` would overwrite one of `sources`:
// "The output PATH is the source file SOURCE: refused."; empty when none is.
std::string outputMeetsSource(const std::vector<std::filesystem::path>& outputs,
                              const std::vector<std::filesystem::path>& sources);

// "PATH: <the system's text for err>", e.g. "/x/a.las: No space left on device".
std::string systemErrorText(const std::string& path, int err);

// A file beyond the file-size limit (ulimit -f) would kill the process; with this it fails with EFBIG
// and is reported like a full disk. A handler someone installed is kept.
void turnFileSizeLimitIntoAnError();

// A file written under a private name beside `finalPath` and renamed over it by commit().
class AtomicOutput {
  public:
    explicit AtomicOutput(std::filesystem::path finalPath);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Creates the private file; false with error().
    bool open();
    std::FILE* file() const { return file_; }
    // Writes, flushes to the disk and renames over the final name; false with error(), the private
    // file removed. Writes that failed before (ferror) make it fail with their cause.
    bool commit();
    // Removes the private file (also done by the destructor when not committed).
    void discard();

    const std::filesystem::path& finalPath() const { return final_; }
    const std::filesystem::path& privatePath() const { return private_; }
    const std::string& error() const { return error_; }

  private:
    std::filesystem::path final_, private_;
    std::FILE* file_ = nullptr;
    std::string error_;
    bool committed_ = false;
};

// A scratch file with a name of its own (stem + six random characters) in `folder`, opened for
// reading and writing, removed when destroyed.
class TempFile {
  public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool create(const std::filesystem::path& folder, const std::string& stem);
    std::FILE* file() const { return file_; }
    const std::filesystem::path& path() const { return path_; }
    const std::string& error() const { return error_; }
    void remove();

  private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace quelt
