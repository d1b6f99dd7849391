// A recording decoded only in the rows the analysis asks for gives the same period and
// window as the whole recording, for every layout and sync mode, also when the crossing
// lies far from the trigger point or is missing (then the whole recording is read).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <tuple>

#include "engine/analyzer.h"
#include "engine_test_support.h"
#include "input/recording_writer.h"

namespace waveharm {
namespace {

enum class Crossing { NearTrigger, FarFromTrigger, Missing };

constexpr std::int64_t kSamples = 20000;

std::vector<std::int16_t> rawSine(double amplitude, double offset, std::int64_t silentRows,
                                  double f1Hz) {
    std::vector<std::int16_t> raw(static_cast<std::size_t>(kSamples), 0);
    for (std::int64_t i = silentRows; i < kSamples; ++i) {
        const double v = offset + amplitude * std::sin(2 * std::numbers::pi * f1Hz * i / 10000.0);
        raw[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::nearbyint(v));
    }
    return raw;
}

std::vector<std::byte> recordingBytes(const std::string& model, Crossing crossing) {
    RecordingContent c;
    c.model = model;
    c.frequencyHz = 50;
    c.sampleRateHz = 10000;
    c.totalSamples = kSamples;
    c.pretriggerPercent = crossing == Crossing::Missing ? 50 : 2;
    ChannelSignal rs;
    // Silent until 60 % of the record: the search walks far beyond the trigger point.
    const std::int64_t silent = crossing == Crossing::FarFromTrigger ? kSamples * 6 / 10 : 0;
    // Held above zero by an offset: no crossing at all, the fixed period serves.
    const double offset = crossing == Crossing::Missing ? 1500 : 0;
    rs.raw = rawSine(1000, offset, silent, 50);
    c.channels.push_back(rs);
    c.channels.push_back({{{1, 900, -60}}});
    c.channels.push_back({{{1, 700, -30}, {5, 90, 10}}, 0, 2});
    c.channels.push_back({{{1, 650, -90}, {7, 40, 0}}, 0, 2});
    return encodeRecording(c);
}

struct Outcome {
    AnalysisPeriod period;
    WindowWaveforms window;
    RowRange loaded;
    std::string error;  ///< why the recording cannot be analysed, if it cannot
};

// As the conversion run reads and analyses a recording: only the rows asked for, and the
// whole recording when the analysis reaches beyond them.
Outcome analyse(const std::vector<std::byte>& bytes, const ConversionSettings& settings,
                bool onlyRowsNeeded) {
    const ReadOptions read = ReadOptions::from(settings);
    Recording rec;
    rec.header = parseHeader(bytes, read, "test.MEM");
    const auto rows = onlyRowsNeeded ? rowsForAnalysis(rec.header, settings) : std::nullopt;
    rec.samples = decodeSamples(bytes, rec.header, read, "test.MEM", rows);
    Outcome out;
    out.window.columns = Array2<float>(6, static_cast<std::size_t>(settings.sampleCount()) + 1);
    Analyzer analyzer(settings);
    HarmonicResult result;
    try {
        try {
            out.period = analyzer.analyze(rec, out.window, result);
        } catch (const RowsNotLoaded&) {
            rec.samples = decodeSamples(bytes, rec.header, read, "test.MEM");
            out.period = analyzer.analyze(rec, out.window, result);
        }
    } catch (const AnalysisError& e) {
        out.error = e.what();
    }
    out.loaded = rec.samples.loadedRows();
    return out;
}

class PartialRowsTest
    : public ::testing::TestWithParam<std::tuple<std::string, SyncMode, Crossing>> {};

TEST_P(PartialRowsTest, SameWindowAsTheWholeRecording) {
    const auto [model, sync, crossing] = GetParam();
    ConversionSettings s = test::engineSettings(MeasurementType::ThreePhase2M, 1);
    s.syncMode = sync;
    s.wevFiles = model == "8840";
    s.invertVoltage[1] = true;  // negation of a partly decoded slot
    const std::vector<std::byte> bytes = recordingBytes(model, crossing);

    const Outcome whole = analyse(bytes, s, false);
    const Outcome partial = analyse(bytes, s, true);
    EXPECT_EQ(partial.error, whole.error);
    EXPECT_EQ(partial.period.windowStart, whole.period.windowStart);
    EXPECT_EQ(partial.period.windowEnd, whole.period.windowEnd);
    EXPECT_EQ(partial.period.fixed, whole.period.fixed);
    const auto& a = partial.window.columns;
    const auto& b = whole.window.columns;
    ASSERT_EQ(a.rows(), b.rows());
    for (std::size_t r = 0; r < a.rows(); ++r) {
        EXPECT_EQ(std::memcmp(a.row(r), b.row(r), a.cols() * sizeof(float)), 0) << "column " << r;
    }
    EXPECT_EQ(partial.window.peakTable, whole.window.peakTable);

    const bool measured = sync == SyncMode::ZeroCross || sync == SyncMode::Fourier;
    const bool wholeNeeded = measured && crossing != Crossing::NearTrigger;
    const std::int64_t loaded = partial.loaded.end - partial.loaded.first;
    if (wholeNeeded) {
        EXPECT_EQ(loaded, kSamples) << "the search left the rows read";
    } else {
        EXPECT_LT(loaded, kSamples / 10) << "a few periods around the trigger point";
    }
    if (whole.error.empty()) {
        EXPECT_EQ(partial.period.fixed, crossing == Crossing::Missing || !measured);
    } else {
        // A fixed window on the silent start of the record: refused either way.
        EXPECT_TRUE(!measured && crossing == Crossing::FarFromTrigger) << whole.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LayoutsAndSyncModes, PartialRowsTest,
    ::testing::Combine(::testing::Values("MR8880", "8847", "8841", "8860", "8840"),
                       ::testing::Values(SyncMode::ZeroCross, SyncMode::Fixed50Hz,
                                         SyncMode::Fixed60Hz, SyncMode::Fourier),
                       ::testing::Values(Crossing::NearTrigger, Crossing::FarFromTrigger,
                                         Crossing::Missing)));

// A run decodes every recording into the table of the one before: the rows that table
// held and the new recording does not are 0 again, as in a table of its own.
TEST(ReusedSampleTable, HoldsExactlyWhatAFreshTableHolds) {
    for (const std::string model : {"MR8880", "8847", "8841", "8860", "8840"}) {
        ReadOptions read;
        read.wevFiles = model == "8840";
        read.invertVoltage[0] = true;
        const auto first = recordingBytes(model, Crossing::FarFromTrigger);
        const auto second = recordingBytes(model, Crossing::NearTrigger);
        RecorderFileHeader h1 = parseHeader(first, read, "a");
        RecorderFileHeader h2 = parseHeader(second, read, "b");
        SampleTable table;
        decodeSamples(first, h1, read, "a", std::nullopt, table);
        decodeSamples(second, h2, read, "b", RowRange{300, 900}, table);
        const SampleTable fresh = decodeSamples(second, h2, read, "b", RowRange{300, 900});
        ASSERT_EQ(table.loadedRows().first, 300) << model;
        ASSERT_EQ(table.channelCount(), fresh.channelCount()) << model;
        for (int slot = 0; slot < fresh.channelCount(); ++slot) {
            const auto a = table.column(slot);
            const auto b = fresh.column(slot);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()))
                << model << " slot " << slot;
        }
    }
}

TEST(RowsForAnalysis, WholeRecordForTheBandLimitedModeAndFromZeroForAFixedPeriod) {
    RecorderFileHeader h;
    h.totalSamples = 100000;
    h.samplingRateKHz = 10;
    h.pretrigger = 50;
    ConversionSettings s;
    s.syncMode = SyncMode::ZeroCross;
    const auto around = rowsForAnalysis(h, s);
    ASSERT_TRUE(around);
    EXPECT_LT(around->first, 49900);
    EXPECT_GT(around->end, 49900 + 2 * 222) << "two periods of 45 Hz after the search start";
    s.syncMode = SyncMode::Fixed50Hz;
    const auto fixed = rowsForAnalysis(h, s);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->first, 0);
    EXPECT_GE(fixed->end, 202);
    s.interpolation = InterpolationMode::BandLimited;
    EXPECT_FALSE(rowsForAnalysis(h, s));
}

}  // namespace
}  // namespace waveharm
