// Sample decoding from known bytes: the word encodings of every layout, frame
// widths, slot placement with voltage exchange and inversion, and the 886x chain.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "input/recording.h"
#include "input_test_support.h"

namespace waveharm {
namespace {

using testing::Bytes;

Recording load(const Bytes& b, const ReadOptions& o = {}) {
    Recording r;
    r.header = parseHeader(b, o, "t.MEM");
    r.samples = decodeSamples(b, r.header, o, "t.MEM");
    return r;
}

// One frame per sample: the given bytes after a header of `channels` channels.
Bytes frameFile(const char* model, int channels, std::int64_t samples,
                std::initializer_list<int> data) {
    Bytes b = testing::memHeader(model, samples, std::vector<std::string>(channels, "10V"));
    testing::appendBytes(b, data);
    return b;
}

TEST(FrameWords, ByteExamplesOfEachFamily) {
    EXPECT_EQ(load(frameFile("8841", 1, 1, {0x80, 0x00})).samples.at(0, 0), -32768);
    EXPECT_EQ(load(frameFile("MR8880", 1, 1, {0x80, 0x00})).samples.at(0, 0), 24576);
    EXPECT_EQ(load(frameFile("8847", 1, 1, {0x80, 0x00, 0xAA, 0xAA})).samples.at(0, 0), 0);
    EXPECT_EQ(load(frameFile("8841", 1, 1, {0xFF, 0xFE})).samples.at(0, 0), -2);
    EXPECT_EQ(load(frameFile("8841", 1, 1, {0x01, 0x02})).samples.at(0, 0), 258);
    EXPECT_EQ(load(frameFile("MR8880", 1, 1, {0x00, 0x00})).samples.at(0, 0), -8192);
    // Words above the 16-bit range (damaged MR8880 data) saturate instead of wrapping.
    EXPECT_EQ(load(frameFile("MR8880", 1, 1, {0xFF, 0xFF})).samples.at(0, 0), 32767);
    EXPECT_EQ(load(frameFile("8847", 1, 1, {0x00, 0x00, 0, 0})).samples.at(0, 0), -32768);
}

TEST(FrameWords, FramesInterleaveChannelsAndRowNStaysZero) {
    // Two 8841 channels, three samples: frames (1, -1), (2, -2), (3, -3).
    const Recording r =
        load(frameFile("8841", 2, 3, {0, 1, 0xFF, 0xFF, 0, 2, 0xFF, 0xFE, 0, 3, 0xFF, 0xFD}));
    ASSERT_EQ(r.samples.totalSamples(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.samples.at(i, 0), i + 1);
        EXPECT_EQ(r.samples.at(i, 1), -(i + 1));
    }
    EXPECT_EQ(r.samples.at(3, 0), 0);
    EXPECT_EQ(r.samples.at(3, 1), 0);
    EXPECT_EQ(r.samples.column(1).size(), 4u);
}

TEST(FrameWords, Family47SkipsTheExtraWordOfEachFrame) {
    // Two channels advance 6 bytes per frame; the third word is never used.
    Recording r = load(frameFile(
        "8847", 2, 2, {0x80, 0x01, 0x80, 0x02, 0x12, 0x34, 0x80, 0x03, 0x80, 0x04, 0x56, 0x78}));
    EXPECT_EQ(r.samples.at(0, 0), 1);
    EXPECT_EQ(r.samples.at(0, 1), 2);
    EXPECT_EQ(r.samples.at(1, 0), 3);
    EXPECT_EQ(r.samples.at(1, 1), 4);
    // Three channels: frames of 8 bytes.
    r = load(frameFile("8847", 3, 2,
                       {0x80, 1, 0x80, 2, 0x80, 3, 9, 9, 0x80, 4, 0x80, 5, 0x80, 6, 9, 9}));
    EXPECT_EQ(r.samples.at(1, 0), 4);
    EXPECT_EQ(r.samples.at(1, 2), 6);
}

// Sixteen channels of 21 frames (blocks of eight rows and eight channels, and a tail):
// every word through each family's encoding, with an exchange and an inverted feeder.
TEST(FrameWords, WideFramesDecodeEveryWordAsAlone) {
    const int channels = 16;
    const std::int64_t samples = 21;
    auto wordAt = [](std::int64_t i, int c) -> unsigned {
        const unsigned awkward[] = {0x0000, 0xFFFF, 0x8000, 0x7FFF, 0x9FFF, 0xA000, 0x2000, 0x0001};
        return (i + c) % 3 == 0 ? awkward[(i + c) % 8] : unsigned(i * 7919 + c * 104729) & 0xFFFF;
    };
    struct Family {
        const char* model;
        int extraWords;
        int (*decode)(unsigned);
    };
    const Family families[] = {
        {"8841", 0, [](unsigned w) { return int(std::int16_t(std::uint16_t(w))); }},
        {"MR8880", 0, [](unsigned w) { return std::min(int(w) - 8192, 32767); }},
        {"8847", 1, [](unsigned w) { return int(w) - 32768; }},
    };
    ReadOptions o;
    o.swapVoltages = true;
    o.invertVoltage = {false, true};
    o.invertCurrent[1] = true;  // channels 4 and 5: the second group of eight has none
    for (const Family& f : families) {
        Bytes b = testing::memHeader(f.model, samples, std::vector<std::string>(channels, "10V"));
        for (std::int64_t i = 0; i < samples; ++i)
            for (int c = 0; c < channels + f.extraWords; ++c)
                testing::appendBytes(b, {int(wordAt(i, c) >> 8), int(wordAt(i, c) & 0xFF)});
        const Recording r = load(b, o);
        for (std::int64_t i = 0; i < samples; ++i) {
            for (int c = 0; c < channels; ++c) {
                const int slot = c < 2 ? c ^ 1 : c;
                const bool negate = slot == 1 || (c >= 2 && o.invertCurrent[c / 2 - 1]);
                const int v = f.decode(wordAt(i, c));
                const int expected = negate ? std::min(-v, 32767) : v;
                ASSERT_EQ(r.samples.at(i, slot), expected)
                    << f.model << " row " << i << " ch " << c;
            }
        }
    }
}

class SlotPlacement : public ::testing::Test {
  protected:
    // Six 8841 channels whose values are 10·(channel) + sample, two samples.
    Bytes file() const {
        Bytes b = testing::memHeader("8841", 2, std::vector<std::string>(6, "10V"));
        for (int i = 0; i < 2; ++i)
            for (int c = 1; c <= 6; ++c) testing::appendBytes(b, {0, 10 * c + i});
        return b;
    }
};

TEST_F(SlotPlacement, VoltageExchangeThenNegation) {
    ReadOptions o;
    o.swapVoltages = true;
    o.invertVoltage[0] = true;
    const Recording r = load(file(), o);
    EXPECT_EQ(r.samples.at(0, 1), 10);   // first recorded channel in slot 1
    EXPECT_EQ(r.samples.at(0, 0), -20);  // slot 0 holds the second channel, negated
    EXPECT_EQ(r.samples.at(1, 0), -21);
    EXPECT_EQ(r.samples.at(2, 0), 0);  // row N: negated zero
    EXPECT_EQ(r.samples.at(0, 2), 30);
}

TEST_F(SlotPlacement, CurrentInversionPerFeeder) {
    ReadOptions o;
    o.invertCurrent[1] = true;
    const Recording r = load(file(), o);
    EXPECT_EQ(r.samples.at(0, 2), 30);
    EXPECT_EQ(r.samples.at(0, 3), 40);
    EXPECT_EQ(r.samples.at(0, 4), -50);
    EXPECT_EQ(r.samples.at(1, 5), -61);
    EXPECT_EQ(r.samples.at(0, 0), 10);
}

// One current per feeder (single-phase two-wire, three-phase 1M): feeder f's current is
// on the slot after the one voltage, and that is what its "反転" reverses; the voltage
// settings never touch a current.
TEST_F(SlotPlacement, OneCurrentPerFeederInvertsThatFeedersChannel) {
    ReadOptions o;
    o.channelsPerFeeder = 1;
    o.invertCurrent[0] = true;
    o.invertCurrent[2] = true;
    o.swapVoltages = true;
    o.invertVoltage = {false, true};
    const Recording r = load(file(), o);
    EXPECT_EQ(r.samples.at(0, 0), 10);
    EXPECT_EQ(r.samples.at(0, 1), -20);
    EXPECT_EQ(r.samples.at(0, 2), 30);
    EXPECT_EQ(r.samples.at(0, 3), -40);
    EXPECT_EQ(r.samples.at(0, 4), 50);
}

TEST_F(SlotPlacement, MostNegativeValueSaturates) {
    Bytes b = testing::memHeader("8841", 1, {"10V", "10V", "10V"});
    testing::appendBytes(b, {0x80, 0, 0x80, 0, 0x80, 0});
    ReadOptions o;
    o.invertVoltage = {true, false};
    o.invertCurrent[0] = true;
    const Recording r = load(b, o);
    EXPECT_EQ(r.samples.at(0, 0), 32767);
    EXPECT_EQ(r.samples.at(0, 1), -32768);
    EXPECT_EQ(r.samples.at(0, 2), 32767);
}

TEST_F(SlotPlacement, SingleChannelIgnoresTheExchange) {
    Bytes b = testing::memHeader("8841", 1, {"10V"});
    testing::appendBytes(b, {0, 7});
    ReadOptions o;
    o.swapVoltages = true;
    o.invertVoltage = {false, true};
    const Recording r = load(b, o);
    ASSERT_EQ(r.samples.channelCount(), 1);
    EXPECT_EQ(r.samples.at(0, 0), 7);
}

// ---- 8840 ---------------------------------------------------------------------------

Bytes file8840(const char* flags, std::int64_t samples) {
    Bytes b(1024, std::byte{' '});
    testing::putText(b, 0, "HIOKI8825");
    testing::putText(b, 15, "1 ");
    testing::putText(b, 24, "18-12-12");
    testing::putText(b, 33, "10:15:10");
    testing::putText(b, 83, std::to_string(samples));
    testing::putText(b, 93, "10ms");
    testing::putText(b, 116, flags);
    return b;
}

TEST(Layout8840, ChannelAfterChannel) {
    Bytes b = file8840("11100000", 2);
    testing::appendBytes(b, {0x08, 0x00, 0x08, 0x01,    // ch1: 0, 1
                             0x00, 0x00, 0x0F, 0xFF,    // ch2: -2048, 2047
                             0x08, 0x10, 0x07, 0xF0});  // ch3: 16, -16
    ReadOptions o;
    o.wevFiles = true;
    const Recording r = load(b, o);
    ASSERT_EQ(r.samples.channelCount(), 3);
    EXPECT_EQ(r.samples.at(0, 0), 0);
    EXPECT_EQ(r.samples.at(1, 0), 1);
    EXPECT_EQ(r.samples.at(0, 1), -2048);
    EXPECT_EQ(r.samples.at(1, 1), 2047);
    EXPECT_EQ(r.samples.at(0, 2), 16);
    EXPECT_EQ(r.samples.at(1, 2), -16);
    EXPECT_EQ(r.samples.at(2, 2), 0);
}

// ---- 886x ---------------------------------------------------------------------------

// A 886x file with one channel: header, information section, a general section of
// length 40 (advances 48) and one of length 48 (advances 48), a channel description
// of length 70 (advances 80) and a closing section, then the data section.
Bytes file886x(int a1, int e1, int a2, int e2, int u, std::initializer_list<int> words) {
    Bytes b = testing::memHeader("8860", int(words.size()), {"10V"});
    const std::size_t base = b.size();
    testing::putText(b, base, "LWBBWINF");
    std::size_t s = base + 32;
    for (int length : {40, 48}) {
        testing::putText(b, s, "SXACAHDR");
        testing::putLe(b, s + 12, std::uint32_t(length), 2);
        s += 48;
    }
    testing::putText(b, s, "SXACAWMN");
    testing::putLe(b, s + 12, 70, 2);
    testing::putLe(b, s + 14, 2, 2);  // channel values start 2 bytes into the section
    testing::putLe(b, s + 2 + 49, std::uint32_t(a1), 4);
    testing::putLe(b, s + 2 + 53, std::uint32_t(e1), 1);
    testing::putLe(b, s + 2 + 54, std::uint32_t(a2), 4);
    testing::putLe(b, s + 2 + 58, std::uint32_t(e2), 1);
    testing::putLe(b, s + 2 + 59, std::uint32_t(u), 2);
    s += 80;
    testing::putText(b, s, "SXACAEND");
    testing::putLe(b, s + 12, 16, 2);
    const std::size_t data = s + 16;
    testing::putLe(b, base + 16, std::uint32_t(data - base), 4);
    testing::putText(b, data, "LWBBWDAT");
    testing::putText(b, data + 32, "LXIIWBLK");
    testing::putLe(b, data + 48, 32, 4);
    b.resize(data + 64);
    for (int w : words) testing::putLe(b, b.size(), std::uint32_t(w), 2);
    return b;
}

TEST(Layout886x, ScaleOffsetAndHalfToEvenRounding) {
    // scale 1, offset 8: value = round((8 + r) / 16).
    const Recording r = load(file886x(1, 0, 8, 0, 1000, {0, 16, 8, 65535, 0x0100}));
    EXPECT_EQ(r.samples.at(0, 0), 0);     // 0.5 -> 0
    EXPECT_EQ(r.samples.at(1, 0), 2);     // 1.5 -> 2
    EXPECT_EQ(r.samples.at(2, 0), 1);     // 1.0
    EXPECT_EQ(r.samples.at(3, 0), 4096);  // 4096.4375
    EXPECT_EQ(r.samples.at(4, 0), 16);    // word 0x0100 little-endian: 16.5 -> 16
}

TEST(Layout886x, ExponentByteIsSignedAndRangeIsReplaced) {
    // a1 = 5, e1 = 0xFD (-3): scale 0.005; offset -32768 * 0.005 = -163.84.
    const Recording r = load(file886x(5, 0xFD, -16384, 0xFE, 1000, {32768, 32768 + 160}));
    EXPECT_FLOAT_EQ(r.header.channelScale[0], 0.005f);
    EXPECT_FLOAT_EQ(r.header.channelScale[16], -163.84f);
    EXPECT_FLOAT_EQ(r.header.channelScale[32], 1000);
    // countsPerDiv 80 · u 1000 · scale 0.005 / 1000 · 16
    EXPECT_FLOAT_EQ(r.header.rangePerDiv[0], 6.4f);
    EXPECT_EQ(r.samples.at(0, 0), 0);
    EXPECT_EQ(r.samples.at(1, 0), 10);
}

TEST(Layout886x, ValuesOutsideSixteenBitsAreClamped) {
    EXPECT_EQ(load(file886x(1, 0, 1, 7, 1, {0})).samples.at(0, 0), 32767);
    EXPECT_EQ(load(file886x(1, 0, -1, 7, 1, {0})).samples.at(0, 0), -32768);
}

}  // namespace
}  // namespace waveharm
