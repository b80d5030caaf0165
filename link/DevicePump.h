#pragma once
// The byte transport of the link without its threads: one call reads what the device holds and cuts it
// into frames, another writes a command. The reader thread runs the same step in its loop; a run on a
// fake clock (tests, the demonstration log made at build time) calls it between clock steps.

#include <atomic>
#include <cstdio>
#include <string>

#include "link/Frames.h"
#include "link/LinkState.h"
#include "link/StreamCutter.h"
#include "platform/Device.h"

namespace quelt {

class DevicePump {
  public:
    DevicePump(Device& device, FrameSink& sink, LinkCounters* counters, std::atomic<int>* status);
    ~DevicePump();

    // Opens the first device; false with error() when it cannot.
    bool open();
    void close();
    // Reads every byte the device holds now, in the reader's chunking; false when the device failed
    // (a pulled cable): the pump is then closed.
    bool pump();
    // Writes one command frame whole; false when it could not.
    bool write(const CommandFrame& frame);
    // Tees the raw uplink bytes, exactly as read, into a file.
    bool captureTo(const std::string& path);

    CStreamCutter& cutter() { return cutter_; }
    const std::string& error() const { return error_; }
    bool isOpen() const { return open_; }

  private:
    Device& device_;
    CStreamCutter cutter_;
    bool open_ = false;
    std::string error_;
    std::FILE* capture_ = nullptr;
};

}  // namespace quelt
