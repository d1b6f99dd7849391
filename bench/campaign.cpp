// The campaign's statistics over a year of minute records of seven feeders (odd orders,
// 525 600 records, a 608 MB file written by the result writer) and over a week, against
// merely reading the file's bytes once. Prints the ratios at the end. The view's data
// and its interaction steps are timed by bench_campaign_view; the memory of a year's
// report by scripts/campaign_memory_check.sh.
//   bench_campaign [--write FILE RECORDS] [benchmark options]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "campaign/campaign_data.h"
#include "ratio_reporter.h"
#include "synthetic_results.h"

namespace {

using namespace waveharm;

std::filesystem::path resultFile(int records) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("waveharm_bench_campaign_" + std::to_string(records) + ".hm7");
    if (!std::filesystem::exists(path)) synthetic::writeSyntheticResults(path, records);
    return path;
}

void readBytesOnly(benchmark::State& state) {
    const auto path = resultFile(int(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        std::size_t total = 0;
        while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0)
            total += static_cast<std::size_t>(in.gcount());
        benchmark::DoNotOptimize(total);
    }
}

void campaignStatistics(benchmark::State& state) {
    const auto path = resultFile(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(readCampaign({path.string()}, {}));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(readBytesOnly)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(campaignStatistics)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {
        synthetic::writeSyntheticResults(argv[2], std::atoi(argv[3]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int records : {synthetic::kWeekRecords, synthetic::kYearRecords}) {
        const std::string n = std::to_string(records);
        if (const auto r = reporter.ratio("campaignStatistics/" + n, "readBytesOnly/" + n))
            std::printf(
                "%s records: the statistics take %.1f times the plain file read (%.1f in "
                "CPU time)\n",
                n.c_str(), r->real, r->cpu);
    }
    benchmark::Shutdown();
    for (int records : {synthetic::kWeekRecords, synthetic::kYearRecords})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("waveharm_bench_campaign_" + std::to_string(records) + ".hm7"));
    return 0;
}
