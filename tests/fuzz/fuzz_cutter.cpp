// Fuzzes the stream cutter: any bytes, fed in read sizes the input chooses, never read or write out of
// bounds (ASan), never ask for a read of no bytes, and every frame dispatched holds its own sum and a
// length the reader can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/Frames.h"
#include "link/StreamCutter.h"

namespace {
struct CheckingSink : quelt::FrameSink {
    void onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t, quelt::FrameVia) override {
        if (length < 2 || length > quelt::CStreamCutter::kFrameLimit) std::abort();
        if (!quelt::frameSumValid(frame, length)) std::abort();
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte seeds the read sizes: a short read is what the device gives after its time-out.
    std::uint32_t chunking = data[0];
    ++data;
    --size;
    CheckingSink sink;
    quelt::CStreamCutter cutter(&sink);
    std::size_t at = 0;
    while (at < size) {
        std::size_t want = cutter.requestSize();
        if (want < 1 ||
            want + cutter.carry() > quelt::CStreamCutter::kReadChunk + quelt::CStreamCutter::kMaxCarry)
            std::abort();
        chunking = chunking * 1103515245u + 12345u;
        std::size_t got = chunking >> 16 & 1 ? want : (chunking >> 17) % (want + 1);
        if (got > size - at) got = size - at;
        cutter.pass(data + at, got);
        at += got;
    }
    return 0;
}
