// The campaign view's work over a week and a year of minute records of seven feeders
// (written by the result writer): building its data once (reading, statistics, trend
// summaries), then one interaction step as the screen does it: a zoom or pan takes
// every trend's columns for the new window from the summaries, a readout finds the
// record under the mouse and its values.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "campaign/campaign_data.h"
#include "synthetic_results.h"

namespace {

using namespace waveharm;

// The plot area's width in pixels of the view on a 1366×768 screen.
constexpr int kColumns = 1000;

const std::filesystem::path& resultFile(int records) {
    static std::map<int, std::filesystem::path> files;
    auto& path = files[records];
    if (path.empty()) {
        path = std::filesystem::temp_directory_path() /
               ("waveharm_bench_view_" + std::to_string(records) + ".hm7");
        if (!std::filesystem::exists(path)) synthetic::writeSyntheticResults(path, records);
    }
    return path;
}

const CampaignData& campaign(int records) {
    static std::map<int, CampaignData> data;
    auto it = data.find(records);
    if (it == data.end())
        it = data.emplace(records, readCampaign({resultFile(records).string()}, {})).first;
    return it->second;
}

void buildViewData(benchmark::State& state) {
    const auto path = resultFile(int(state.range(0))).string();
    for (auto _ : state) benchmark::DoNotOptimize(readCampaign({path}, {}));
}

// Every trend's columns for a window of `fraction` of the campaign starting at `from`.
void drawWindow(const CampaignData& d, double from, double fraction) {
    const TimeWindow w = d.wholeTime();
    const double t0 = w.t0 + (w.t1 - w.t0) * from;
    const double t1 = t0 + (w.t1 - w.t0) * fraction;
    for (const TrendSeries& t : d.trends)
        benchmark::DoNotOptimize(t.summary.extents(d.times, t.values, t0, t1, kColumns));
}

void zoomStep(benchmark::State& state) {
    const CampaignData& d = campaign(int(state.range(0)));
    double fraction = 1;
    for (auto _ : state) {
        drawWindow(d, 0.3, fraction);
        fraction = fraction < 0.001 ? 1 : fraction * 0.8;  // a wheel step in
    }
}

void panStep(benchmark::State& state) {
    const CampaignData& d = campaign(int(state.range(0)));
    double from = 0;
    for (auto _ : state) {
        drawWindow(d, from, 0.25);
        from = from > 0.7 ? 0 : from + 0.01;  // a drag of a few pixels
    }
}

void readoutStep(benchmark::State& state) {
    const CampaignData& d = campaign(int(state.range(0)));
    const TimeWindow w = d.wholeTime();
    double at = 0;
    for (auto _ : state) {
        const double t = w.t0 + (w.t1 - w.t0) * at;
        const auto i = static_cast<std::size_t>(
            std::lower_bound(d.times.begin(), d.times.end(), t) - d.times.begin());
        const std::size_t r = std::min(i, d.times.size() - 1);
        float sum = 0;
        for (const TrendSeries& s : d.trends) sum += s.values[r];
        benchmark::DoNotOptimize(sum);
        at = at > 0.99 ? 0 : at + 0.001;
    }
}

BENCHMARK(buildViewData)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(zoomStep)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(panStep)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(readoutStep)
    ->Arg(synthetic::kWeekRecords)
    ->Arg(synthetic::kYearRecords)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (int records : {synthetic::kWeekRecords, synthetic::kYearRecords})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("waveharm_bench_view_" + std::to_string(records) + ".hm7"));
    return 0;
}
