// The campaign statistics over a result file of 50 000 minute records of seven feeders
// (odd orders), against merely reading the file's bytes once, and the same with a value
// budget that forces one pass per batch of 32 series. Prints the ratios at the end.
// The memory of a year of records is measured with /usr/bin/time (see the README).

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "campaign/campaign_data.h"
#include "output/result_writer.h"
#include "ratio_reporter.h"

namespace {

using namespace waveharm;

constexpr int kFeeders = 7;
constexpr int kRecords = 50000;

void putF32(std::vector<char>& out, float v) {
    const auto u = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(u >> (8 * i)));
}

void putI16(std::vector<char>& out, std::int16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
}

// One record per minute from 2025-01-01 with slowly varying harmonics.
std::string resultFile() {
    const auto path = std::filesystem::temp_directory_path() / "waveharm_bench_campaign.hm7";
    if (std::filesystem::exists(path)) return path.string();
    std::vector<char> bytes;
    const DateTime start = DateTime::fromCivil({2025, 1, 1, 0, 0, 0});
    for (int r = 0; r < kRecords; ++r) {
        const CivilDateTime c = DateTime{start.serial + r / 1440.0}.civil();
        putF32(bytes, float((c.year % 100) * 10000 + c.month * 100 + c.day));
        putI16(bytes, static_cast<std::int16_t>(c.hour * 100 + c.minute));
        const float scale = 1.0f + 0.3f * float(r % 977) / 977.0f;
        for (int n = 1; n <= 49; n += 2) putF32(bytes, n == 1 ? 6600.0f : 132.0f / n * scale);
        for (int k = 0; k < kFeeders; ++k) {
            for (int n = 1; n <= 49; n += 2) putF32(bytes, n == 1 ? 100.0f : 20.0f / n * scale);
            for (int n = 1; n <= 49; n += 2) putI16(bytes, 10);
        }
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path.string();
}

void readBytesOnly(benchmark::State& state) {
    const std::string path = resultFile();
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
    const std::string path = resultFile();
    CampaignOptions options;
    if (state.range(0) > 0)
        options.valueMemoryBytes = std::size_t(state.range(0)) * kRecords * sizeof(float);
    for (auto _ : state) benchmark::DoNotOptimize(readCampaign({path}, options));
    state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(readBytesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(campaignStatistics)->Arg(0)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* run : {"campaignStatistics/0", "campaignStatistics/32"})
        if (const auto r = reporter.ratio(run, "readBytesOnly"))
            std::printf("%s takes %.1f times the plain file read (%.1f in CPU time)\n", run,
                        r->real, r->cpu);
    benchmark::Shutdown();
    std::filesystem::remove(std::filesystem::temp_directory_path() / "waveharm_bench_campaign.hm7");
    return 0;
}
