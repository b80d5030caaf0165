#pragma once
// The single-instance guard: an exclusive lock on a file of the program folder, held for the life of the
// process. The kernel releases it when the process ends, however it ends, so a crash never locks out
// the next start.

#include <string>

namespace quelt {

class InstanceLock {
  public:
    explicit InstanceLock(std::string path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock; false when another process holds it (or the file
    // cannot be opened, in which case error() says why).
    bool acquire();
    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

  private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

// The name of the operating system, for the About box: PRETTY_NAME of /etc/os-release, else the
// kernel's name and release.
std::string operatingSystemName();

}  // namespace quelt
