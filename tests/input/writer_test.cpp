// The recording writer against the reader: every layout round-trips, and the demo
// campaign looks like a real measurement campaign.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "input/folder_scan.h"
#include "input/recording.h"
#include "input/recording_writer.h"
#include "input_test_support.h"

namespace waveharm {
namespace {

Recording roundTrip(const RecordingContent& content) {
    const auto bytes = encodeRecording(content);
    ReadOptions o;
    o.wevFiles = content.model == "8840";
    Recording r;
    r.header = parseHeader(bytes, o, "rt");
    r.samples = decodeSamples(bytes, r.header, o, "rt");
    return r;
}

class WriterRoundTrip : public ::testing::TestWithParam<const char*> {
  protected:
    // Three recorded channels (raw ramp, a tone, the extremes the layout holds) and a
    // switched-off one between them.
    RecordingContent content() const {
        RecordingContent s;
        s.model = GetParam();
        s.totalSamples = 400;
        s.sampleRateHz = 20000;
        s.start = {2019, 3, 4, 5, 6, 7};
        s.pretriggerPercent = 5;
        ChannelSignal ramp;
        ramp.rangeText = "20V";
        for (int i = 0; i < 400; ++i) ramp.raw.push_back(std::int16_t(10 * i - 2000));
        ChannelSignal tone;
        tone.rangeText = "500mV";
        tone.tones = {{1, 1500, 30}, {5, 200, -60}};
        ChannelSignal off;
        off.off = true;
        ChannelSignal extremes;
        extremes.rangeText = "50A";
        extremes.raw.assign(400, -30000);
        extremes.raw[1] = 30000;
        s.channels = {ramp, tone, off, extremes};
        return s;
    }
};

TEST_P(WriterRoundTrip, HeaderValues) {
    const Recording r = roundTrip(content());
    const RecorderFileHeader& h = r.header;
    EXPECT_EQ(h.model, GetParam());
    EXPECT_EQ(h.channelCount, 3);
    EXPECT_EQ(h.totalSamples, 400);
    EXPECT_DOUBLE_EQ(h.samplingRateKHz, 20);
    EXPECT_EQ(h.timeAxisText.substr(0, 3), "5ms");
    EXPECT_DOUBLE_EQ(h.pretrigger, 5);
    EXPECT_EQ(formatDateTimeText(h.startTime), "2019/03/04 05:06:07");
    EXPECT_EQ(h.slots[2].name, "ch4");  // the switched-off ch3 takes no slot
    EXPECT_NEAR(h.rangePerDiv[0], 20, 1e-4);
    EXPECT_NEAR(h.rangePerDiv[1], 0.5, 1e-6);
    EXPECT_NEAR(h.rangePerDiv[2], 12.5, 1e-4);
}

TEST_P(WriterRoundTrip, SampleValues) {
    const RecordingContent s = content();
    const Recording r = roundTrip(s);
    const std::string model = GetParam();
    const int lo = model == "MR8880"                      ? -8192
                   : (model == "8840" || model == "8860") ? -2048
                                                          : -32768;
    const int hi = model == "8860" ? 2047 : 32767;
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(r.samples.at(i, 0), std::clamp(10 * i - 2000, lo, hi)) << i;
        const double t = 2 * std::numbers::pi * 50 * i / 20000.0;
        const double tone = 1500 * std::sin(t + std::numbers::pi / 6) +
                            200 * std::sin(5 * t - std::numbers::pi / 3);
        ASSERT_NEAR(r.samples.at(i, 1), tone, 0.5 + 1e-9) << i;
        ASSERT_EQ(r.samples.at(i, 2), std::clamp(i == 1 ? 30000 : -30000, lo, hi)) << i;
    }
    EXPECT_EQ(r.samples.at(400, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterRoundTrip,
                         ::testing::Values("MR8880", "8847", "8841", "8835", "8807", "8860",
                                           "8840"));

TEST(Writer, UnitChannelNumbersAndTimeAxes) {
    RecordingContent s;
    s.channels.resize(1);
    s.channels[0].channelNumber = 103;
    s.sampleRateHz = 200000;
    EXPECT_EQ(roundTrip(s).header.slots[0].name, "ch1-3");
    EXPECT_EQ(roundTrip(s).header.timeAxisText, "500us");
    s.sampleRateHz = 100;
    EXPECT_EQ(roundTrip(s).header.timeAxisText, "1s");
    s.sampleRateHz = 3000;  // 33.3 ms per division cannot be written
    EXPECT_THROW(encodeRecording(s), std::invalid_argument);
    s.model = "8808";
    EXPECT_THROW(encodeRecording(s), std::invalid_argument);
}

class DemoCampaign : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoCampaign, RealisticRecordingsInTimeOrder) {
    const auto dir = testing::freshFolder(std::string("demo_") + GetParam());
    DemoOptions o;
    o.model = GetParam();
    o.feeders = o.model == "8840" ? 3 : 7;
    o.count = 5;
    o.frequencyHz = 60;
    const auto names = writeDemoCampaign(dir, o);
    ASSERT_EQ(names.size(), 5u);
    auto sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_NE(sorted, names);  // file names do not sort in time order
    const WaveformFileList list = scanFolder(dir, o.model == "8840");
    EXPECT_EQ(list.names, names);
    ReadOptions ro;
    ro.wevFiles = o.model == "8840";
    for (const auto& name : names) {
        const Recording r = readRecording(dir / name, ro);
        ASSERT_EQ(r.header.channelCount, 2 + 2 * o.feeders);
        EXPECT_DOUBLE_EQ(r.header.samplingRateKHz, 10);
        int peak = 0;
        for (int s = 0; s < r.samples.channelCount(); ++s)
            for (std::int16_t v : r.samples.column(s)) peak = std::max(peak, std::abs(int(v)));
        // Within the range limit, and several divisions high as a recorder set up for
        // the circuit shows it.
        EXPECT_LE(peak, 2046);
        EXPECT_GT(peak, 400);
        // ch1 (R-S) rises through zero at the trigger point, 2 % into the record.
        const std::int64_t trigger = r.header.totalSamples * 2 / 100;
        const auto rs = r.samples.column(0);
        EXPECT_LT(rs[trigger - 3], 0);
        EXPECT_GT(rs[trigger + 3], 0);
        EXPECT_LT(std::abs(rs[trigger]), 60);
    }
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Models, DemoCampaign, ::testing::Values("8841", "8860", "8840"));

TEST(Demo, RefusesImpossibleCampaigns) {
    DemoOptions o;
    o.model = "8840";
    o.feeders = 4;
    EXPECT_THROW(writeDemoCampaign(testing::freshFolder("nodemo"), o), std::invalid_argument);
}

}  // namespace
}  // namespace waveharm
