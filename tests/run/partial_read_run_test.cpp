// A run reads each recording from disk in pieces (the rows around the trigger point, the
// whole table when the crossing lies beyond them): every recording's window and results
// are bit for bit those of the recording read whole into memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "base/file_pieces.h"
#include "base/input_file.h"
#include "circuit_fixture.h"
#include "run/parallel_analysis.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

using namespace waveharm::testing;

template <class T>
bool sameBits(const Array2<T>& a, const Array2<T>& b) {
    if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
    for (std::size_t r = 0; r < a.rows(); ++r)
        if (std::memcmp(a.row(r), b.row(r), a.cols() * sizeof(T)) != 0) return false;
    return true;
}

TEST(PartialReadRun, RecordingsAnalyseAsWhenReadWhole) {
    ScratchFolder dir;
    ConversionSettings settings;
    settings.setHarmonicOption(HarmonicOption::Odd1To49);
    settings.invertVoltage[0] = true;
    settings.invertCurrent[0] = true;
    WaveformFileList files;
    files.folder = dir.path();
    int index = 0;
    for (const std::string model : {"8847", "8860", "MR8880", "8841"}) {
        for (const bool late : {false, true}) {
            RecordingContent content =
                recordingOf(channelsFor(Circuit{}, settings.measurementType), {2018, 12, 12});
            content.model = model;
            content.totalSamples = 20000;
            if (late) {
                // R-S silent over the first 60 %: its first crossing lies far beyond the
                // rows read around the trigger point.
                content.channels[0].raw.assign(20000, 0);
                for (std::size_t k = 12000; k < 20000; ++k)
                    content.channels[0].raw[k] = static_cast<std::int16_t>(
                        std::lround(700 * std::sin(2 * kPi * 50 * double(k) / 10000)));
            }
            content.noiseSeed = static_cast<std::uint32_t>(++index);
            const std::string name = model + (late ? "_late.MEM" : ".MEM");
            writeRecording(dir.path() / name, content);
            files.names.push_back(name);
            files.startTimes.push_back(DateTime::fromCivil(content.start));
        }
    }
    const ReadOptions read = ReadOptions::from(settings);
    Analyzer analyzer(settings);
    FilePieces source;
    AnalysedRecording run;
    run.result.allocate(settings.maxHarmonicOrder(), settings.feederCount);
    int wholeRereads = 0;
    for (int i = 0; i < files.count(); ++i) {
        SCOPED_TRACE(files.names[i]);
        analyseRecording(files, i, analyzer, run, source);
        ASSERT_FALSE(run.skipped) << run.skipped->reason;
        const bool reread =
            run.recording.samples.loadedRows().end - run.recording.samples.loadedRows().first ==
            20000;
        wholeRereads += reread;
        // Only what was read last is on record: the rows, or the whole table reread.
        EXPECT_LT(source.bytesFetched(), reread ? 1000000 : 80000);

        Recording whole;
        const std::vector<std::byte> bytes = readFileBytes(files.pathOf(i), "recording");
        whole.header = parseHeader(bytes, read, files.names[i]);
        whole.samples = decodeSamples(bytes, whole.header, read, files.names[i]);
        WindowWaveforms window;
        HarmonicResult result;
        result.allocate(settings.maxHarmonicOrder(), settings.feederCount);
        const AnalysisPeriod period = analyzer.analyze(whole, window, result);
        EXPECT_EQ(run.period.windowStart, period.windowStart);
        EXPECT_EQ(run.period.windowEnd, period.windowEnd);
        EXPECT_TRUE(sameBits(run.window.columns, window.columns));
        EXPECT_EQ(run.window.peakTable, window.peakTable);
        EXPECT_TRUE(sameBits(run.result.voltageHarmonicRe, result.voltageHarmonicRe));
        EXPECT_TRUE(sameBits(run.result.activePower, result.activePower));
        EXPECT_TRUE(sameBits(run.result.currentRms, result.currentRms));
        EXPECT_EQ(std::memcmp(run.result.voltageRms.data(), result.voltageRms.data(),
                              result.voltageRms.size() * sizeof(float)),
                  0);
    }
    EXPECT_EQ(wholeRereads, 4) << "each layout's late crossing reread whole";
}

}  // namespace
}  // namespace waveharm
