#include "link/StreamCutter.h"

#include <algorithm>
#include <cstring>

namespace quelt {

const char* frameViaName(FrameVia via) {
    switch (via) {
        case FrameVia::Stream:
            return "stream";
        case FrameVia::Rescued:
            return "rescued";
        case FrameVia::Salvaged:
            return "salvaged";
        default:
            return "resync";
    }
}

CStreamCutter::CStreamCutter(FrameSink* sink, LinkCounters* counters, std::atomic<int>* status)
    : sink_(sink), counters_(counters ? counters : &ownCounters_), status_(status ? status : &ownStatus_) {}

void CStreamCutter::reset() {
    hunting_ = true;
    carry_ = pos_ = expected_ = resyncOffset_ = 0;
    sum_ = 0;
    skip_ = passMissed_ = 0;
    lastSequence_ = -1;
}

std::size_t CStreamCutter::requestSize() const {
    // The carry never reaches 24 on its own (a completed frame leaves at most 23 bytes of its read),
    // but a read of zero or negative size must never be asked for whatever happens.
    return carry_ < kReadChunk ? kReadChunk - carry_ : 1;
}

// The gap is the count of numbers strictly between the last and the new one, modulo 256, as the logger
// counts 255 -> 0 -> 1: after 254, 255 the number 2 means 0 and 1 were lost, two frames. A count of one
// there would hide a lost frame from the missed counter. A repeated number is no gap.
unsigned CStreamCutter::checkSequence(std::uint8_t sequence) {
    if (lastSequence_ < 0) {
        lastSequence_ = sequence;
        return 0;
    }
    if (sequence == lastSequence_) return 0;
    unsigned gap = static_cast<std::uint8_t>(sequence - lastSequence_ - 1);
    passMissed_ += gap;
    lastSequence_ = sequence;
    return gap;
}

void CStreamCutter::dispatch(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence,
                             FrameVia via) {
    if (decimate_ && decimate_->load(std::memory_order_relaxed)) {
        if (++skip_ < 4) return;
        skip_ = 0;
    }
    switch (frameKind(length)) {
        case FrameKind::Status:
            *status_ = kLinkStatusFrame;
            break;
        case FrameKind::Logger19:
        case FrameKind::Logger20:
            *status_ = kLinkLogger;
            break;
        case FrameKind::Full:
            *status_ = kLinkFullData;
            break;
        default:
            *status_ = kLinkOther;
            break;
    }
    ++counters_->dispatched;
    if (sink_) sink_->onFrame(frame, length, sequence, via);
}

bool CStreamCutter::statusFrameAt(const std::uint8_t* p) const {
    return p[16] == kTerminator && frameSumValid(p, kStatusFrameLength);
}

void CStreamCutter::backToHunting() {
    hunting_ = true;
    pos_ = 0;
    sum_ = 0;
    resyncOffset_ = 0;
}

void CStreamCutter::startFrame(const std::uint8_t* header) {
    UsbHeader h = parseUsbHeader(header);
    checkSequence(h.sequence);
    sequence_ = h.sequence;
    expected_ = h.payloadLength();
}

void CStreamCutter::resynchronise() {
    std::uint8_t* f = frame_.data();
    std::size_t k = resyncOffset_;
    bool found = false;
    for (; k + kUsbHeaderSize <= pos_; ++k) {
        if (isSync(f + k)) {
            found = true;
            break;
        }
    }
    if (!found) {
        resyncOffset_ = pos_ - kUsbHeaderSize;
        return;
    }
    ++counters_->resync;
    if (k == 17 && statusFrameAt(f)) {
        dispatch(f, kStatusFrameLength, sequence_, FrameVia::Rescued);
    } else if (k > 17) {
        std::uint8_t salvaged[kStatusFrameLength + 1];
        // The salvage rewrites the first bytes; work on the frame buffer itself, the new header lies
        // beyond them (k > 17).
        if (salvageStatusFrame(f, k)) {
            std::memcpy(salvaged, f, kStatusFrameLength);
            dispatch(salvaged, kStatusFrameLength, sequence_, FrameVia::Salvaged);
        }
    }
    startFrame(f + k);
    std::size_t rest = pos_ - (k + kUsbHeaderSize);
    std::memmove(f, f + k + kUsbHeaderSize, rest);
    pos_ = rest;
    resyncOffset_ = 0;
    std::size_t summed = std::min(pos_, expected_ >= 3 ? expected_ - 3 : 0);
    sum_ = 0;
    for (std::size_t i = 0; i < summed; ++i)
        sum_ += f[i];
    if (pos_ == expected_ && expected_ >= 3 &&
        readLe16(f + expected_ - 3) == static_cast<std::uint16_t>(sum_)) {
        ++counters_->resync;
        dispatch(f, expected_ - 1, sequence_, FrameVia::Resync);
        backToHunting();
    } else if (pos_ == 17 && statusFrameAt(f)) {
        ++counters_->resync;
        dispatch(f, kStatusFrameLength, sequence_, FrameVia::Resync);
        backToHunting();
    }
}

void CStreamCutter::pass(const std::uint8_t* data, std::size_t got) {
    if (carry_ > kMaxCarry) carry_ = 0;
    got = std::min(got, requestSize());
    std::uint8_t* r = read_.data();
    if (got) std::memcpy(r + carry_, data, got);
    const std::size_t avail = carry_ + got;
    carry_ = 0;
    std::size_t rp = 0;

    if (hunting_) {
        std::size_t i = 0;
        bool found = false;
        for (; i + kUsbHeaderSize <= avail; ++i) {
            if (isSync(r + i)) {
                found = true;
                break;
            }
        }
        if (!found) {
            std::size_t keep = std::min<std::size_t>(avail, kUsbHeaderSize);
            std::memmove(r, r + avail - keep, keep);
            carry_ = keep;
            counters_->missed += passMissed_;
            passMissed_ = 0;
            return;
        }
        startFrame(r + i);
        hunting_ = false;
        pos_ = 0;
        sum_ = 0;
        resyncOffset_ = 0;
        rp = i + kUsbHeaderSize;
    }

    std::uint8_t* f = frame_.data();
    bool completed = false;
    while (rp < avail) {
        if (pos_ >= kFrameLimit) {  // the next byte would pass the bound
            backToHunting();
            carry_ = 0;
            rp = avail;
            break;
        }
        std::uint8_t b = r[rp++];
        if (pos_ + 3 < expected_) sum_ += b;
        f[pos_++] = b;
        if (pos_ == expected_ && expected_ >= 3 &&
            readLe16(f + expected_ - 3) == static_cast<std::uint16_t>(sum_) &&
            f[expected_ - 1] == kTerminator) {
            dispatch(f, expected_ - 1, sequence_, FrameVia::Stream);
            backToHunting();
            carry_ = avail - rp;
            std::memmove(r, r + rp, carry_);
            completed = true;
            break;
        }
    }

    if (!completed && !hunting_) {
        if (pos_ >= kUsbHeaderSize && pos_ - resyncOffset_ > 8) resynchronise();
        if (!hunting_ && pos_ < kUsbHeaderSize) resyncOffset_ = pos_;
    }
    counters_->missed += passMissed_;
    passMissed_ = 0;
}

void CStreamCutter::feed(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at < size) {
        std::size_t n = std::min(requestSize(), size - at);
        pass(data + at, n);
        at += n;
    }
}

}  // namespace quelt
