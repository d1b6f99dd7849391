// Reading one recording: header read + sample load of a 16-channel, 20 000-sample
// recording against merely reading the file's bytes, and the read of the rows a conversion
// analyses (the header and a few periods around the trigger point, fetched from the disk
// in pieces), also of a 640 KB 8847 recording against its whole table. Prints the ratios
// at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "base/file_pieces.h"
#include "base/input_file.h"
#include "engine/analyzer.h"
#include "input/recording.h"
#include "input/recording_writer.h"
#include "ratio_reporter.h"

namespace {

using namespace waveharm;

std::filesystem::path recordingFile(const std::string& model) {
    static std::map<std::string, std::filesystem::path> files;
    auto& path = files[model];
    if (!path.empty()) return path;
    path = std::filesystem::temp_directory_path() / ("waveharm_bench_" + model + ".MEM");
    RecordingContent content;
    content.model = model;
    content.totalSamples = 20000;
    for (int c = 0; c < 16; ++c) {
        ChannelSignal ch;
        ch.tones = {{1, 1200, 20.0 * c}, {5, 150, 0}, {7, 90, 45}};
        ch.noise = 2;
        content.channels.push_back(ch);
    }
    writeRecording(path, content);
    return path;
}

void readBytesOnly(benchmark::State& state, const std::string& model) {
    const auto path = recordingFile(model);
    for (auto _ : state) benchmark::DoNotOptimize(readFileBytes(path, "recording"));
    state.SetBytesProcessed(state.iterations() * std::int64_t(std::filesystem::file_size(path)));
}

void headerAndLoad(benchmark::State& state, const std::string& model) {
    const auto path = recordingFile(model);
    ReadOptions options;
    options.invertCurrent[2] = true;
    for (auto _ : state) benchmark::DoNotOptimize(readRecording(path, options));
    state.SetBytesProcessed(state.iterations() * std::int64_t(std::filesystem::file_size(path)));
}

// As a conversion reads each recording: only the rows its analysis needs, buffers reused.
void rowsForConversion(benchmark::State& state, const std::string& model) {
    const auto path = recordingFile(model);
    const ConversionSettings settings;
    const ReadOptions options = ReadOptions::from(settings);
    const RowChooser rows = [&settings](const RecorderFileHeader& h) {
        return rowsForAnalysis(h, settings);
    };
    Recording recording;
    FilePieces file;
    for (auto _ : state) {
        readRecording(path, options, rows, recording, file);
        benchmark::DoNotOptimize(recording.samples.column(0).data());
    }
    state.counters["fetched_bytes"] = static_cast<double>(file.bytesFetched());
}

// 16 channels of 19 000 frames of 17 words plus the header: a 640 KB 8847 recording.
std::filesystem::path file8847() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "waveharm_bench_8847_640k.MEM";
        RecordingContent content;
        content.model = "8847";
        content.totalSamples = 19000;
        content.pretriggerPercent = 20;
        for (int c = 0; c < 16; ++c) content.channels.push_back({{{1, 1200, 20.0 * c}}, 0, 2});
        writeRecording(p, content);
        return p;
    }();
    return path;
}

// The 8847 recording read as a run reads it, one reader and one table kept from file to
// file: the analysed rows only, or the whole table (a crossing far from the trigger).
void read8847(benchmark::State& state, bool analysedRowsOnly) {
    const auto path = file8847();
    const ConversionSettings settings;
    const ReadOptions options = ReadOptions::from(settings);
    const RowChooser rows = [&settings](const RecorderFileHeader& h) {
        return rowsForAnalysis(h, settings);
    };
    Recording recording;
    FilePieces file;
    for (auto _ : state) {
        readRecording(path, options, analysedRowsOnly ? rows : RowChooser{}, recording, file);
        benchmark::DoNotOptimize(recording.samples.column(0).data());
    }
    state.counters["fetched_bytes"] = static_cast<double>(file.bytesFetched());
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

BENCHMARK_CAPTURE(read8847, analysedRows, true);
BENCHMARK_CAPTURE(read8847, whole, false);
BENCHMARK_CAPTURE(readBytesOnly, 8841, std::string("8841"));
BENCHMARK_CAPTURE(headerAndLoad, 8841, std::string("8841"));
BENCHMARK_CAPTURE(readBytesOnly, 8860, std::string("8860"));
BENCHMARK_CAPTURE(headerAndLoad, 8860, std::string("8860"));
BENCHMARK_CAPTURE(rowsForConversion, 8841, std::string("8841"));
BENCHMARK_CAPTURE(rowsForConversion, 8860, std::string("8860"));

// How many times the header read and sample load take merely reading the file's bytes.
void printRatio(const bench::RatioReporter& reporter, const std::string& model) {
    const auto r = reporter.ratio("headerAndLoad/" + model, "readBytesOnly/" + model);
    if (!r) return;
    std::printf(
        "%s: header read + load takes %.2f times the plain file read "
        "(%.2f in CPU time)\n",
        model.c_str(), r->real, r->cpu);
    const auto rows = reporter.ratio("rowsForConversion/" + model, "readBytesOnly/" + model);
    if (!rows) return;
    std::printf(
        "%s: the rows a conversion analyses take %.2f times the plain file read "
        "(%.2f in CPU time)\n",
        model.c_str(), rows->real, rows->cpu);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatio(reporter, "8841");
    printRatio(reporter, "8860");
    if (const auto r = reporter.ratio("read8847/analysedRows", "read8847/whole"))
        std::printf(
            "640 KB 8847: the header and the analysed rows take %.3f times the whole read "
            "(%.3f in CPU time)\n",
            r->real, r->cpu);
    benchmark::Shutdown();
    std::filesystem::remove(file8847());
    for (const char* model : {"8841", "8860"})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("waveharm_bench_" + std::string(model) + ".MEM"));
    return 0;
}
