// quelt frames: cuts a raw capture of the logger's uplink into frames exactly as the live reader would
// (the same cutter, the same 24-byte reads) and lists every dispatched frame.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "link/StreamCutter.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt::cli {
namespace {

class Printer final : public FrameSink {
  public:
    explicit Printer(bool json) : json_(json) {}
    void onFrame(const std::uint8_t*, std::size_t length, std::uint8_t sequence, FrameVia via) override {
        ++n_;
        const char* kind = frameKindName(frameKind(length));
        if (json_)
            std::printf("{\"n\":%u,\"seq\":%u,\"len\":%zu,\"kind\":\"%s\",\"via\":\"%s\"}\n", n_,
                        unsigned(sequence), length, kind, frameViaName(via));
        else
            std::printf("%8u %4u %6zu  %-9s %s\n", n_, unsigned(sequence), length, kind, frameViaName(via));
    }

  private:
    bool json_;
    unsigned n_ = 0;
};

constexpr const char* kUsage =
    "Usage: quelt frames CAPTURE [--json]\n\n"
    "Feeds the raw bytes of CAPTURE (as written by --capture FILE) through the link's frame cutter in the\n"
    "reader's 24-byte reads and prints one line per dispatched frame: its number, sequence number, frame\n"
    "length, kind (status, logger19, logger20, full, other) and how it was completed (stream, rescued,\n"
    "salvaged, resync); then the dispatched, missed-sequence and resynchronisation counts.\n\n"
    "  --json   one JSON object per frame, then {\"summary\":{...}}\n\n"
    "Exit codes: 0 listed, 1 the capture cannot be read, 2 bad arguments.\n";

int runFrames(const GlobalOptions&, const std::vector<std::string>& args) {
    bool json = false;
    std::string path;
    if (!parseOptions(args, {{}, {{"--json", &json}}, &path}, "frames", kUsage)) return kExitUsage;
    if (path.empty()) {
        std::fprintf(stderr, "quelt frames: a capture file is needed (quelt frames --help)\n");
        return kExitUsage;
    }
    std::string text, why;
    if (readRegularFile(path, text, &why) != ReadFileResult::Ok) {
        std::fprintf(stderr, "quelt frames: can't read %s (%s)\n", path.c_str(), why.c_str());
        return kExitFailure;
    }
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    Printer printer(json);
    if (!json) std::printf("%8s %4s %6s  %-9s %s\n", "n", "seq", "len", "kind", "via");
    CStreamCutter cutter(&printer);
    cutter.feed(bytes.data(), bytes.size());
    auto& c = cutter.counters();
    if (json)
        std::printf("{\"summary\":{\"dispatched\":%u,\"missed\":%u,\"resync\":%u}}\n", c.dispatched.load(),
                    c.missed.load(), c.resync.load());
    else
        std::printf("dispatched %u  missed %u  resync %u\n", c.dispatched.load(), c.missed.load(),
                    c.resync.load());
    std::fprintf(stderr, "quelt frames: %zu bytes read\n", bytes.size());
    return kExitOk;
}

CommandRegistration registration{{
    "frames",
    "cut a raw capture of the logger's uplink into frames and list them",
    kUsage,
    runFrames,
}};

}  // namespace
}  // namespace quelt::cli
