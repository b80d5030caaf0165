// Every decoder of uplink frames over arbitrary bytes. The first byte chooses the decoder and whether the
// body is padded to that decoder's frame lengths or handed on at its own length.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream/ToolsStream.h"

using namespace quelt;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static Settings settings;
    static LiveState live;
    static ReplyEcho echo;
    static ImageLine line;
    static StreamShared shared;
    static LinkCounters counters;
    static std::atomic<int> linkStatus{0};
    static NullStreamEvents events;
    static CToolsStream stream(settings, live, echo, line, shared, counters, linkStatus, events);
    linkStatus = data[0] & 1 ? kLinkFullData : kLinkNothing;
    settings.LevelContrast = data[0] & 0x3F;
    shared.modes.recording = (data[0] >> 6) & 1;

    static const std::size_t kLengths[] = {16, 19, 20, 405, 525, 765, 1485};
    const std::uint8_t selector = data[0];
    const std::size_t which = selector % 7;
    const bool ownLength = (selector / 7) % 2 == 1;
    std::vector<std::uint8_t> body(data + 1, data + size);
    if (!ownLength) body.resize(kLengths[which], 0);
    const std::uint8_t* p = body.empty() ? nullptr : body.data();
    switch (which) {
        case 0:
            stream.decodeStatusFrame(p, body.size(), 1);
            break;
        case 1:
            stream.decodeLoggerFrame19(p, body.size(), 1);
            break;
        case 2:
            stream.decodeLoggerFrame20(p, body.size(), 1);
            break;
        default:
            stream.decodeFullDataFrame(p, body.size(), 1);
            break;
    }
    stream.OnScreenAssigment(1308 + (selector % 30), static_cast<int>(size), false);
    return 0;
}
