#pragma once
// The state the link shares with the windows and the decoders: LinkStatus, LinkCounters and the flags
// that the link threads and the user-interface thread coordinate through. No locks: each item is an
// atomic written by one side and polled by the others.

#include <atomic>
#include <cstdint>

namespace quelt {

// What the link last received.
enum LinkStatusCode : int {
    kLinkNothing = 0,
    kLinkIdentified = 1,
    kLinkIdentifying = 2,
    kLinkOther = 4,  // a frame of another length, or the link was lost
    kLinkLogger = 16,
    kLinkStatusFrame = 32,
    kLinkFullData = 255,
};

struct LinkCounters {
    std::atomic<std::uint32_t> dispatched{0};    // frames dispatched
    std::atomic<std::uint32_t> missed{0};        // sequence numbers missed
    std::atomic<std::uint32_t> resync{0};        // frames rescued or dropped while resynchronising
    std::atomic<std::uint32_t> fullDecoded{0};   // full data frames decoded (kept by the decoder)
    std::atomic<std::uint32_t> fullReplaced{0};  // full data frames replaced by a bad status frame
    void reset() {
        dispatched = 0;
        missed = 0;
        resync = 0;
        fullDecoded = 0;
        fullReplaced = 0;
    }
};

struct LinkFlags {
    std::atomic<bool> usbBound{false};
    std::atomic<bool> quitting{false};
    std::atomic<bool> linkWatchRunning{false};
    std::atomic<bool> readerStarted{false};
    std::atomic<bool> readerAlive{false};
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> senderBusy{false};
    std::atomic<bool> devicePresent{false};
    std::atomic<bool> loggerInitialised{false};
    std::atomic<int> failedChecks{0};
    std::atomic<bool> commandSent{false};
    std::atomic<bool> frameReceived{false};
    std::atomic<bool> dataFlowing{false};
    std::atomic<bool> decimate{false};
    std::atomic<bool> poweredCopy{false};

    // The flags of a link that has ended, cleared for the next one on another device; poweredCopy and
    // decimate belong to the probe panel and the auto-check and stay.
    void resetLink() {
        usbBound = quitting = linkWatchRunning = readerStarted = readerAlive = readerRunning = false;
        senderBusy = devicePresent = loggerInitialised = commandSent = frameReceived = dataFlowing = false;
        failedChecks = 0;
    }
};

}  // namespace quelt
