// Reading one recording: header read + sample load of a 16-channel, 20 000-sample
// recording against merely reading the file's bytes, and the read of the rows a conversion
// analyses (the header and a few periods around the trigger point, fetched from the disk
// in pieces). Prints the ratios at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "engine/analysis.h"
#include "input/file_pieces.h"
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
    for (auto _ : state) benchmark::DoNotOptimize(readFileBytes(path));
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
    benchmark::Shutdown();
    for (const char* model : {"8841", "8860"})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("waveharm_bench_" + std::string(model) + ".MEM"));
    return 0;
}
