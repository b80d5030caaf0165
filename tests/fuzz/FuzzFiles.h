#pragma once
// The file a fuzz target hands to a reader: written with one system call and no stream buffer, so
// that a run costs what the reader costs.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzfiles {

inline void writeInput(const std::string& path, const void* data, std::size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n <= 0) std::abort();
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace fuzzfiles
