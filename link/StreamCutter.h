#pragma once
// The reader's state machine: cuts the logger's byte stream into USB frames, one read (at most 24 bytes
// plus the carry) at a time, and hands each valid frame to a sink. The reader thread feeds it from the
// device, `quelt frames` from a capture file, tests from crafted streams: the same bytes in the same
// chunking give the same frames.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/Frames.h"
#include "link/LinkState.h"

namespace quelt {

// How a frame was completed.
enum class FrameVia {
    Stream,    // normal completion
    Rescued,   // a whole status frame found in front of a sync while resynchronising
    Salvaged,  // an over-long frame rescued as a status frame
    Resync,    // completed on the resynchronisation path
};
const char* frameViaName(FrameVia via);  // "stream", "rescued", "salvaged", "resync"

class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // frame holds length bytes (body and 16-bit sum); valid only during the call.
    virtual void onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence,
                         FrameVia via) = 0;
};

class CStreamCutter {
  public:
    static constexpr std::size_t kReadChunk = 24;
    static constexpr std::size_t kFrameLimit = 8192;
    static constexpr std::size_t kMaxCarry = 50;

    // counters and status may be shared with the link; when null the cutter keeps its own.
    CStreamCutter(FrameSink* sink, LinkCounters* counters = nullptr, std::atomic<int>* status = nullptr);
    virtual ~CStreamCutter() = default;

    // The number of bytes the next read asks for: 24 minus the carry, never below 1.
    std::size_t requestSize() const;
    // One pass of the read loop over got freshly read bytes (got <= requestSize(), more are ignored).
    void pass(const std::uint8_t* data, std::size_t got);
    // Feeds a whole buffer in the reader's chunking (requestSize() bytes per pass).
    void feed(const std::uint8_t* data, std::size_t size);
    // Back to the start state (hunting, nothing carried, no last sequence). Counters are kept.
    void reset();

    void setDecimate(const std::atomic<bool>* decimate) { decimate_ = decimate; }
    LinkCounters& counters() { return *counters_; }
    int linkStatus() const { return status_->load(); }
    std::size_t carry() const { return carry_; }

    // The sequence check on its own: returns the gap it counted (0 for the first or a repeated number).
    unsigned checkSequence(std::uint8_t sequence);

  private:
    void dispatch(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia via);
    bool statusFrameAt(const std::uint8_t* p) const;
    void startFrame(const std::uint8_t* header);
    void resynchronise();
    void backToHunting();

    FrameSink* sink_;
    LinkCounters ownCounters_;
    std::atomic<int> ownStatus_{0};
    LinkCounters* counters_;
    std::atomic<int>* status_;
    const std::atomic<bool>* decimate_ = nullptr;

    // A read holds the carry and at most one request; a frame never grows past the frame limit.
    std::array<std::uint8_t, kReadChunk + kMaxCarry> read_;
    std::array<std::uint8_t, kFrameLimit> frame_;
    bool hunting_ = true;
    std::size_t carry_ = 0;
    std::size_t pos_ = 0;
    std::size_t expected_ = 0;
    std::uint32_t sum_ = 0;
    std::size_t resyncOffset_ = 0;
    unsigned skip_ = 0;
    unsigned passMissed_ = 0;
    int lastSequence_ = -1;
    std::uint8_t sequence_ = 0;  // of the frame being collected
};

}  // namespace quelt
