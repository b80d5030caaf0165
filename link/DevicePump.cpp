#include "link/DevicePump.h"

#include <array>

#include "platform/Text.h"

namespace quelt {

DevicePump::DevicePump(Device& device, FrameSink& sink, LinkCounters* counters, std::atomic<int>* status)
    : device_(device), cutter_(&sink, counters, status) {}

DevicePump::~DevicePump() {
    close();
    if (capture_) std::fclose(capture_);
}

bool DevicePump::open() {
    int rc = device_.openByIndex(0);
    if (rc != 0) {
        error_ = format("The logger cannot be opened (status %d). %s", rc, device_.lastErrorHint().c_str());
        return false;
    }
    device_.setTimeouts(50, 500);
    open_ = true;
    return true;
}

void DevicePump::close() {
    if (open_) device_.close();
    open_ = false;
}

bool DevicePump::pump() {
    if (!open_) return false;
    std::array<std::uint8_t, CStreamCutter::kReadChunk> buffer;
    for (;;) {
        std::uint32_t waiting = 0;
        if (device_.getQueueStatus(waiting) != 0) {
            error_ = "The logger was lost.";
            close();
            return false;
        }
        if (waiting == 0) return true;
        std::uint32_t want = static_cast<std::uint32_t>(cutter_.requestSize());
        if (want > waiting) want = waiting;
        std::uint32_t got = 0;
        if (device_.read(buffer.data(), want, got) != 0) {
            error_ = "The logger was lost.";
            close();
            return false;
        }
        if (got == 0) return true;
        if (capture_) std::fwrite(buffer.data(), 1, got, capture_);
        cutter_.pass(buffer.data(), got);
    }
}

bool DevicePump::write(const CommandFrame& frame) {
    if (!open_) return false;
    std::uint32_t written = 0;
    return device_.write(frame.data(), frame.length, written) == 0 && written == frame.length;
}

bool DevicePump::captureTo(const std::string& path) {
    if (capture_) std::fclose(capture_);
    capture_ = std::fopen(path.c_str(), "wb");
    return capture_ != nullptr;
}

}  // namespace quelt
