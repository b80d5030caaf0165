#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/StreamCutter.h"

using namespace quelt;

namespace {

struct Got {
    std::vector<std::uint8_t> bytes;
    std::uint8_t sequence;
    FrameVia via;
};

struct Recorder : FrameSink {
    std::vector<Got> frames;
    void onFrame(const std::uint8_t* f, std::size_t n, std::uint8_t seq, FrameVia via) override {
        frames.push_back({{f, f + n}, seq, via});
    }
};

using Bytes = std::vector<std::uint8_t>;

Bytes body(std::size_t frameLength, std::uint8_t seed) {
    Bytes b(frameLength - 2);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(seed + i * 7);
    if (frameKind(frameLength) == FrameKind::Full) {
        b[image::kResolution] = frameLength == 1485 ? 1 : frameLength == 765 ? 2 : frameLength == 525 ? 3 : 4;
        b[image::kFormat] = 0;
        b[image::kGain] = 10;
    }
    return b;
}

Bytes usb(std::uint8_t seq, const Bytes& b) {
    return buildUsbFrame(seq, b.data(), b.size());
}

void append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

Bytes withSum(Bytes b) {
    Bytes f = b;
    f.resize(b.size() + 2);
    storeFrameSum(f.data(), f.size());
    return f;
}

}  // namespace

TEST(Cutter, CutsEveryFamilyInReaderChunks) {
    Bytes stream;
    std::vector<std::size_t> lengths = {16, 19, 20, 405, 525, 765, 1485, 16};
    for (std::size_t i = 0; i < lengths.size(); ++i)
        append(stream, usb(std::uint8_t(i), body(lengths[i], 3)));
    Recorder r;
    CStreamCutter c(&r);
    c.feed(stream.data(), stream.size());
    ASSERT_EQ(r.frames.size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        EXPECT_EQ(r.frames[i].bytes, withSum(body(lengths[i], 3)));
        EXPECT_EQ(r.frames[i].via, FrameVia::Stream);
    }
    EXPECT_EQ(c.counters().dispatched, lengths.size());
    EXPECT_EQ(c.counters().missed, 0u);
    EXPECT_EQ(c.linkStatus(), kLinkStatusFrame);
}

TEST(Cutter, LinkStatusFollowsLength) {
    struct {
        std::size_t length;
        int status;
    } cases[] = {{16, 32}, {19, 16}, {20, 16}, {765, 255}, {30, 4}};
    for (auto k : cases) {
        Recorder r;
        CStreamCutter c(&r);
        auto s = usb(1, body(k.length, 1));
        c.feed(s.data(), s.size());
        ASSERT_EQ(r.frames.size(), 1u) << k.length;
        EXPECT_EQ(c.linkStatus(), k.status);
    }
}

TEST(Cutter, StatusThenGarbageThenFullFrameDeliversBoth) {
    Bytes stream = usb(1, body(16, 9));
    append(stream, {0x13, 0x99, 0x00, 0x55, 0xAA, 0x77, 0x42, 0x99, 0x01});
    append(stream, usb(2, body(765, 4)));
    Recorder r;
    CStreamCutter c(&r);
    c.feed(stream.data(), stream.size());
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].bytes.size(), 16u);
    EXPECT_EQ(r.frames[1].bytes, withSum(body(765, 4)));
    EXPECT_EQ(c.counters().missed, 0u);
}

TEST(Cutter, SequenceGaps) {
    struct {
        std::vector<std::uint8_t> seqs;
        unsigned missed;
    } cases[] = {
        {{10, 10}, 0},      {{1, 2, 3}, 0},
        {{254, 255, 0}, 0}, {{254, 255, 2}, 2},  // 0 and 1 lie between 255 and 2
        {{7, 5}, 253},
    };
    for (const auto& k : cases) {
        CStreamCutter c(nullptr);
        unsigned total = 0;
        for (auto s : k.seqs)
            total += c.checkSequence(s);
        EXPECT_EQ(total, k.missed);
        // The same through the stream.
        Bytes stream;
        for (auto s : k.seqs)
            append(stream, usb(s, body(16, s)));
        CStreamCutter d(nullptr);
        d.feed(stream.data(), stream.size());
        EXPECT_EQ(d.counters().missed, k.missed);
        EXPECT_EQ(d.counters().dispatched, k.seqs.size());
    }
}

TEST(Cutter, OversizedLengthIsTakenAs24) {
    // L = 8200 means 24 payload bytes: a 23-byte frame of "another length".
    Bytes b = body(23, 5);
    Bytes s = usb(3, b);
    writeLe16(&s[5], 8200);
    Recorder r;
    CStreamCutter c(&r);
    c.feed(s.data(), s.size());
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].bytes.size(), 23u);
    EXPECT_EQ(c.linkStatus(), kLinkOther);
}

TEST(Cutter, BadChecksumOrTerminatorNeverDispatched) {
    for (int which : {0, 1}) {
        Bytes bad = usb(1, body(765, 2));
        if (which == 0)
            bad[7 + 100] ^= 0x10;
        else
            bad.back() = 0x98;
        Bytes stream = bad;
        append(stream, usb(2, body(16, 1)));
        append(stream, usb(3, body(405, 1)));
        Recorder r;
        CStreamCutter c(&r);
        c.feed(stream.data(), stream.size());
        for (auto& g : r.frames) {
            EXPECT_TRUE(frameSumValid(g.bytes.data(), g.bytes.size()));
            EXPECT_NE(g.bytes.size(), 765u);
        }
        ASSERT_FALSE(r.frames.empty());
        EXPECT_EQ(r.frames.back().bytes, withSum(body(405, 1)));
        EXPECT_GE(c.counters().resync, 1u);
    }
}

TEST(Cutter, StatusFrameInFrontOfSyncIsRescued) {
    // A header whose length is wrong hides a whole status frame; the next sync reveals it.
    Bytes s = usb(1, body(16, 6));
    writeLe16(&s[5], 7 + 765);
    append(s, usb(2, body(405, 8)));
    Recorder r;
    CStreamCutter c(&r);
    c.feed(s.data(), s.size());
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].via, FrameVia::Rescued);
    EXPECT_EQ(r.frames[0].bytes, withSum(body(16, 6)));
    EXPECT_EQ(r.frames[1].bytes, withSum(body(405, 8)));
}

TEST(Cutter, OverLongFrameIsSalvagedAsStatus) {
    Bytes b = body(20, 1);
    b[0] = 0xC0;
    b[17] = 0x01;
    Bytes s = usb(1, b);
    writeLe16(&s[5], 7 + 765);  // declared far longer than it is
    append(s, usb(2, body(16, 3)));
    Recorder r;
    CStreamCutter c(&r);
    c.feed(s.data(), s.size());
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].via, FrameVia::Salvaged);
    EXPECT_EQ(r.frames[0].bytes[0], 0x00);
    EXPECT_EQ(r.frames[0].bytes[13], 0x81);
    EXPECT_TRUE(frameSumValid(r.frames[0].bytes.data(), 16));
    EXPECT_EQ(r.frames[1].bytes, withSum(body(16, 3)));
}

TEST(Cutter, DecimateDispatchesOneInFour) {
    Bytes stream;
    for (int i = 0; i < 12; ++i)
        append(stream, usb(std::uint8_t(i), body(16, 1)));
    std::atomic<bool> decimate{true};
    CStreamCutter c(nullptr);
    c.setDecimate(&decimate);
    c.feed(stream.data(), stream.size());
    EXPECT_EQ(c.counters().dispatched, 3u);
}

TEST(Cutter, ReadSizeIsAlwaysPositiveAndBounded) {
    // Whatever the chunking and the carry, every pass asks for 1..24 bytes.
    std::mt19937 rng(5);
    Bytes stream;
    for (int i = 0; i < 50; ++i)
        append(stream, usb(std::uint8_t(i), body(i % 2 ? 16 : 20, 1)));
    CStreamCutter c(nullptr);
    std::size_t at = 0;
    while (at < stream.size()) {
        std::size_t want = c.requestSize();
        ASSERT_GE(want, 1u);
        ASSERT_LE(want, 24u);
        std::size_t n = std::min<std::size_t>(rng() % (want + 1), stream.size() - at);
        c.pass(stream.data() + at, n);
        at += n;
    }
    EXPECT_EQ(c.counters().dispatched, 50u);
}

// Seeded random streams: frames cut with random read sizes, bytes flipped, dropped and inserted. No
// frame that fails its checksum is dispatched, and every frame whose bytes and neighbours are untouched
// arrives.
TEST(Cutter, PropertyCorruptedStreams) {
    const std::size_t lengths[] = {16, 19, 20, 405, 525, 765, 1485};
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 rng(seed);
        struct Sent {
            Bytes frame;
            std::size_t begin, end;
            bool touched = false;
        };
        std::vector<Sent> sent;
        Bytes stream;
        std::vector<std::size_t> corruptAt;
        for (int i = 0; i < 40; ++i) {
            std::size_t len = lengths[rng() % 7];
            Bytes b = body(len, std::uint8_t(rng()));
            Bytes u = usb(std::uint8_t(i), b);
            bool corrupt = rng() % 4 == 0;
            if (corrupt) {
                std::size_t at = rng() % u.size();
                switch (rng() % 3) {
                    case 0:
                        u[at] ^= std::uint8_t(1 + rng() % 255);
                        break;
                    case 1:
                        u.erase(u.begin() + long(at));
                        break;
                    default:
                        u.insert(u.begin() + long(at), std::uint8_t(rng()));
                        break;
                }
            }
            sent.push_back({withSum(b), stream.size(), stream.size() + u.size(), corrupt});
            append(stream, u);
            if (rng() % 6 == 0) append(stream, Bytes(rng() % 30, std::uint8_t(rng())));  // garbage
        }
        Recorder r;
        CStreamCutter c(&r);
        std::size_t at = 0;
        while (at < stream.size()) {
            std::size_t n = std::min<std::size_t>(1 + rng() % c.requestSize(), stream.size() - at);
            c.pass(stream.data() + at, n);
            at += n;
        }
        for (const auto& g : r.frames)
            ASSERT_TRUE(frameSumValid(g.bytes.data(), g.bytes.size())) << seed;
        std::size_t next = 0;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            bool neighbourTouched = (i > 0 && sent[i - 1].touched);
            bool garbageBefore = i > 0 && sent[i - 1].end != sent[i].begin;
            if (sent[i].touched || neighbourTouched || garbageBefore) continue;
            bool found = false;
            for (std::size_t k = next; k < r.frames.size(); ++k) {
                if (r.frames[k].bytes == sent[i].frame && r.frames[k].sequence == std::uint8_t(i)) {
                    found = true;
                    next = k + 1;
                    break;
                }
            }
            EXPECT_TRUE(found) << "seed " << seed << " frame " << i << " length " << sent[i].frame.size();
        }
    }
}
