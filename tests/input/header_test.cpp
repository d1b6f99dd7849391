// Recording information from hand-made headers: identification, the text rules,
// derived rates, channel slots and the feeder counts a recording offers.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "input/header_text.h"
#include "input/recording.h"
#include "input_test_support.h"

namespace waveharm {
namespace {

using testing::Bytes;

Bytes withFrames(Bytes b, int channels, std::int64_t samples, int wordsExtra = 0) {
    b.resize(b.size() + std::size_t(samples) * 2 * (channels + wordsExtra));
    return b;
}

RecorderFileHeader parse(const Bytes& b, ReadOptions o = {}) { return parseHeader(b, o, "t.MEM"); }

TEST(HeaderText, LeadingNumberRule) {
    EXPECT_DOUBLE_EQ(leadingNumber("  20ms"), 20);
    EXPECT_DOUBLE_EQ(leadingNumber("-1.5V"), -1.5);
    EXPECT_DOUBLE_EQ(leadingNumber("+3"), 3);
    EXPECT_DOUBLE_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(leadingNumber("ms"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(leadingNumber("- 5"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(".5s"), 0.5);
    EXPECT_EQ(leadingNumber(std::string(400, '9')), HUGE_VAL) << "beyond the double range";
}

TEST(HeaderText, NumberTextPrintsLikeSevenSignificantDigits) {
    EXPECT_EQ(numberText(16), "16");
    EXPECT_EQ(numberText(-3), "-3");
    EXPECT_EQ(numberText(-0.0), "-0");
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(9999999), "9999999");
    EXPECT_EQ(numberText(1e7), "1e+07");
}

TEST(HeaderText, RangeTextToUnitsPerDivision) {
    EXPECT_DOUBLE_EQ(rangePerDivFromText("500mV"), 0.5);
    EXPECT_DOUBLE_EQ(rangePerDivFromText("50A"), 12.5);
    EXPECT_DOUBLE_EQ(rangePerDivFromText("20V"), 20);
    EXPECT_DOUBLE_EQ(rangePerDivFromText("200mA"), 0.2);  // "m" wins over "A"
}

TEST(HeaderText, SamplingRateFromTimeAxis) {
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "10ms", memUnitsPerSecond("10ms")), 10);
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "500us", memUnitsPerSecond("500us")), 200);
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "1min", memUnitsPerSecond("1min")),
                     0.0017);  // 1.7 S/s
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "2", memUnitsPerSecond("2")), 0.05);
    // Only the first three characters carry the number: "1000us" reads as 100 us.
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "1000us", 1e6), 1000);
    EXPECT_DOUBLE_EQ(samplingRateKHzFor(100, "ms", 1000), 0);
    // The 8840 reads any "m" as milli and "u" as micro.
    EXPECT_DOUBLE_EQ(units8840PerSecond("5m"), 1000);
    EXPECT_DOUBLE_EQ(units8840PerSecond("5u"), 1e6);
    EXPECT_DOUBLE_EQ(units8840PerSecond("1min"), 1.0 / 60);
}

TEST(MemHeader, ReadsBlockZeroAndDerivedValues) {
    const RecorderFileHeader h =
        parse(withFrames(testing::memHeader("8841", 20000, {"20V", "500mV"}), 2, 20000));
    EXPECT_EQ(h.model, "8841");
    EXPECT_EQ(h.recorderFamily, 41);
    EXPECT_EQ(h.headerBlockCount, 3);
    EXPECT_EQ(h.channelCount, 2);
    EXPECT_EQ(h.totalSamples, 20000);
    EXPECT_DOUBLE_EQ(h.pointsPerDiv, 100);
    EXPECT_DOUBLE_EQ(h.countsPerDiv, 80);
    EXPECT_DOUBLE_EQ(h.samplingRateKHz, 10);
    EXPECT_NEAR(h.recordTimeMs, 1999.9, 1e-9);
    EXPECT_DOUBLE_EQ(h.pretrigger, 2);
    EXPECT_EQ(h.timeAxisText, "10ms");
    EXPECT_EQ(h.recordLengthText, "20");
    EXPECT_EQ(h.dateText(), "18/12/12(水)");
    EXPECT_EQ(h.timeText(), "10:15:10");
    EXPECT_EQ(h.sampleOffset, 3 * 512);
    EXPECT_FLOAT_EQ(h.rangePerDiv[0], 20);
    EXPECT_FLOAT_EQ(h.rangePerDiv[1], 0.5);
    EXPECT_EQ(h.slots[1].name, "ch2");
    EXPECT_EQ(h.slots[1].rangeText, "500mV");
    EXPECT_TRUE(h.slots[1].channelInUse);
    EXPECT_EQ(h.slots[2].name, "ch--");
    EXPECT_EQ(h.slots[2].rangeText, "--");
    EXPECT_FALSE(h.slots[2].channelInUse);
}

TEST(MemHeader, ModelIdentification) {
    struct Case {
        const char* model;
        int family;
    };
    for (const Case c : {Case{"MR8880", 80}, Case{"8847", 47}, Case{"8835", 41}, Case{"8807", 41},
                         Case{"8860", 86}, Case{"886x-50", 86}}) {
        Bytes b = testing::memHeader(c.model, 10, {"1V"});
        b.resize(b.size() + 10 * 4);
        EXPECT_EQ(parse(b).recorderFamily, c.family) << c.model;
    }
    // The MR8880 always has 100 points per division, whatever field 10 says.
    Bytes mr = withFrames(testing::memHeader("MR8880", 10, {"1V"}), 1, 10);
    testing::putField(mr, 0, 10, "250");
    EXPECT_DOUBLE_EQ(parse(mr).pointsPerDiv, 100);
    for (const char* model : {"8808", "MR8847", "88", ""}) {
        const Bytes b = withFrames(testing::memHeader(model, 10, {"1V"}), 1, 10);
        EXPECT_THROW(parse(b), InputError) << model;
    }
}

TEST(MemHeader, NulBytesAreDeletedButBlanksAreKept) {
    Bytes b = withFrames(testing::memHeader("8847", 10, {"1V"}), 1, 10, 1);
    testing::putField(b, 0, 2,
                      std::string("88\0"
                                  "47",
                                  5));  // NUL inside the name
    EXPECT_EQ(parse(b).model, "8847");
    testing::putField(b, 0, 2, "8847", ' ');
    EXPECT_THROW(parse(b), InputError);
}

TEST(MemHeader, ChannelBlocksOffAndUnitNumbers) {
    Bytes b = testing::memHeader("8841", 10, {"20V", "OFF", "50A", "1V"});
    testing::putField(b, 4, 1, "103");
    testing::putField(b, 3, 0, "HCX");  // not a channel block: ignored like OFF
    b.resize(b.size() + 10 * 2 * 2);
    const RecorderFileHeader h = parse(b);
    ASSERT_EQ(h.channelCount, 2);
    EXPECT_EQ(h.slots[0].name, "ch1");
    EXPECT_EQ(h.slots[1].name, "ch1-3");
    EXPECT_EQ(h.slots[1].rangeText, "1V");
    EXPECT_FLOAT_EQ(h.rangePerDiv[1], 1);
    EXPECT_FALSE(h.slots[2].channelInUse);
}

TEST(MemHeader, TimeDifferenceCorrectionExceptFor8847) {
    ReadOptions o;
    o.timeOffsetHours = -9;
    const RecorderFileHeader h41 =
        parse(withFrames(testing::memHeader("8841", 10, {"1V"}), 1, 10), o);
    EXPECT_EQ(h41.timeText(), "01:15:10");
    EXPECT_EQ(formatTimeText(h41.startTimeUncorrected), "10:15:10");
    o.timeOffsetHours = 15;  // crosses midnight into the next day
    const RecorderFileHeader late =
        parse(withFrames(testing::memHeader("8841", 10, {"1V"}), 1, 10), o);
    EXPECT_EQ(late.dateText(), "18/12/13(木)");
    const RecorderFileHeader h47 =
        parse(withFrames(testing::memHeader("8847", 10, {"1V"}), 1, 10, 1), o);
    EXPECT_EQ(h47.timeText(), "10:15:10");
}

TEST(Header8840, FixedPositionsAndCompactSlots) {
    Bytes b(1024, std::byte{' '});
    testing::putText(b, 0, "HIOKI8825");
    testing::putText(b, 15, "1 ");
    testing::putText(b, 24, "18/12/12");
    testing::putText(b, 33, "23:59:59");
    testing::putText(b, 41, "2.5   ");
    testing::putText(b, 75, "25 DIV  ");
    testing::putText(b, 83, "2500   ");
    testing::putText(b, 93, "500us    ");
    testing::putText(b, 116, "10100000");
    testing::putText(b, 138, "20V  xxxxx");
    testing::putText(b, 138 + 28 * 2, "500mV");
    b.resize(1024 + 2 * 2500 * 2);
    ReadOptions o;
    o.wevFiles = true;
    const RecorderFileHeader h = parseHeader(b, o, "t.wev");
    EXPECT_EQ(h.model, "8840");
    EXPECT_EQ(h.recorderFamily, 40);
    EXPECT_EQ(h.channelCount, 2);
    EXPECT_EQ(h.totalSamples, 2500);
    EXPECT_DOUBLE_EQ(h.countsPerDiv, 80);
    EXPECT_DOUBLE_EQ(h.samplingRateKHz, 200);
    EXPECT_DOUBLE_EQ(h.pretrigger, 2.5);
    EXPECT_EQ(h.recordLengthText, "25 DIV  ");
    EXPECT_EQ(h.timeAxisText, "500us");
    EXPECT_EQ(h.timeText(), "23:59:59");
    // Channel 3 sits in slot 1 together with its own range.
    EXPECT_EQ(h.slots[1].name, "ch3");
    EXPECT_EQ(h.slots[1].rangeText, "500mV");
    EXPECT_FLOAT_EQ(h.rangePerDiv[1], 0.5);
    EXPECT_EQ(h.slots[0].rangeText, "20V  ");
    EXPECT_FALSE(h.slots[2].channelInUse);
}

TEST(FeederCounts, FollowChannelsPerFeeder) {
    RecorderFileHeader h;
    h.recorderFamily = 41;
    h.channelCount = 5;
    EXPECT_EQ(maxFeederCount(h, MeasurementType::ThreePhase1M), 4);
    EXPECT_EQ(maxFeederCount(h, MeasurementType::ThreePhase2M), 1);
    h.channelCount = 2;
    EXPECT_EQ(maxFeederCount(h, MeasurementType::ThreePhase2M), 1);
    h.channelCount = 16;
    EXPECT_EQ(maxFeederCount(h, MeasurementType::ThreePhase3M), 7);
    // One channel per feeder on 16 channels would be 15; a run measures at most 7.
    EXPECT_EQ(maxFeederCount(h, MeasurementType::SinglePhase2W), kMaxChannelFeeders);
    h.recorderFamily = 40;
    h.channelCount = 8;
    EXPECT_EQ(maxFeederCount(h, MeasurementType::SinglePhase2W), 3);
}

}  // namespace
}  // namespace waveharm
