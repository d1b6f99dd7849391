// Converting a campaign of 300 recordings of the 8847 layout (seven feeders, 16 channels
// of 20 000 samples, 640 KB a file) against merely reading the same files whole, as `cat`
// does. The conversion is the whole run: scan, read, analyse, aggregate and write, with
// the machine's cores as workers and with one. Prints recordings per second and how many
// times each conversion takes the plain read, measured two ways: in this process against
// a read loop of its own, and as whole processes, `waveharm-cli convert` against `cat` of
// the same files to /dev/null (the way an engineer times the two at the shell).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "input/recording.h"
#include "input/recording_writer.h"
#include "ratio_reporter.h"
#include "run/conversion_driver.h"

namespace {

using namespace waveharm;
namespace fs = std::filesystem;

constexpr int kRecordings = 300;
constexpr int kFeeders = 7;
constexpr std::int64_t kSamples = 20000;

const fs::path& campaignFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "waveharm_bench_convert";
        fs::remove_all(dir);
        DemoOptions options;
        options.model = "8847";
        options.feeders = kFeeders;
        options.samples = kSamples;
        options.count = kRecordings;
        options.intervalSeconds = 20;
        writeDemoCampaign(dir / "recordings", options);
        return dir;
    }();
    return folder;
}

// The campaign's two-wattmeter settings, results written beside the recordings.
ConversionSettings campaignSettings(HarmonicOption option) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase2M;
    s.setHarmonicOption(option);
    s.setFeederCount(kFeeders);
    s.ctRatio.fill(100);
    s.outputFileName = (campaignFolder() / "waveharm_bench_result").string() + s.outputExtension();
    return s;
}

// Every file of the folder read whole into one reused buffer, as `cat` does.
void readWhole(benchmark::State& state) {
    const fs::path folder = campaignFolder() / "recordings";
    std::vector<char> buffer(128 * 1024);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::FILE* f = std::fopen(entry.path().string().c_str(), "rb");
            if (!f) {
                state.SkipWithError("cannot open a recording");
                return;
            }
            std::size_t got = 0;
            while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
                bytes += static_cast<std::int64_t>(got);
            std::fclose(f);
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * kRecordings);
}

// A console run without --verbose: nothing of each recording is shown.
class QuietRun : public ConversionObserver {
    bool showsRecordings() const override { return false; }
};

// jobs 0: the machine's cores.
void convert(benchmark::State& state, HarmonicOption option, int jobs) {
    const fs::path folder = campaignFolder() / "recordings";
    const ConversionSettings settings = campaignSettings(option);
    const int workers = jobs > 0 ? jobs : defaultJobs();
    QuietRun quiet;
    int analysed = 0;
    for (auto _ : state) {
        ConversionDriver driver(settings, scanFolder(folder, false, workers), quiet, workers);
        driver.start();
        while (driver.step()) {
        }
        driver.finish();
        analysed = driver.summary().analysed;
    }
    fs::remove(settings.outputFileName);
    if (analysed != kRecordings) state.SkipWithError("not every recording was analysed");
    state.SetItemsProcessed(state.iterations() * kRecordings);
    state.SetLabel(std::to_string(workers) + " job(s)");
}

#if !defined(_WIN32) && defined(WAVEHARM_CLI)

// Runs a program (looked up on PATH) to its end with its output thrown away. True when it
// exited with status 0; `cpuSeconds` gains its user and system time.
bool runProcess(const std::vector<std::string>& argv, double& cpuSeconds) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return false;
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
    cpuSeconds += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Times one program per iteration; its CPU time is a counter (the benchmark's own CPU
// time is only that of waiting for it).
void timeProcess(benchmark::State& state, const std::vector<std::string>& argv) {
    double cpu = 0;
    for (auto _ : state) {
        if (!runProcess(argv, cpu)) {
            state.SkipWithError(("`" + argv[0] + "` did not run to a good end").c_str());
            return;
        }
    }
    state.counters["process_cpu_ms"] =
        benchmark::Counter(cpu * 1e3 / static_cast<double>(state.iterations()));
    state.SetItemsProcessed(state.iterations() * kRecordings);
}

// `cat` of every recording of the folder to /dev/null, one process.
void catProcess(benchmark::State& state) {
    std::vector<std::string> argv{"cat"};
    for (const auto& entry : fs::directory_iterator(campaignFolder() / "recordings"))
        argv.push_back(entry.path().string());
    std::sort(argv.begin() + 1, argv.end());
    timeProcess(state, argv);
}

// The console converter on the campaign, with the settings of the in-process runs.
void convertProcess(benchmark::State& state, const char* harmonics, int jobs) {
    const int workers = jobs > 0 ? jobs : defaultJobs();
    const fs::path output = campaignFolder() / "waveharm_bench_process";
    timeProcess(state, {WAVEHARM_CLI, "convert", "--type", "3p2m", "--harmonics", harmonics,
                        "--feeders", std::to_string(kFeeders), "--ct", "100", "--jobs",
                        std::to_string(workers), "--overwrite", "--output", output.string(),
                        (campaignFolder() / "recordings").string()});
    for (const auto& entry : fs::directory_iterator(campaignFolder()))
        if (entry.path().stem() == output.filename()) fs::remove(entry.path());
    state.SetLabel(std::to_string(workers) + " job(s)");
}

BENCHMARK(catProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertProcess, odd49_default_jobs, "odd49", 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertProcess, odd49_one_job, "odd49", 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#endif

BENCHMARK(readWhole)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49_default_jobs, HarmonicOption::Odd1To49, 0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49_one_job, HarmonicOption::Odd1To49, 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, order256_default_jobs, HarmonicOption::HighOrder256, 0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Recordings per second of the plain read and of each conversion, and how many times each
// conversion takes the plain read, in real time and in CPU time of the whole process (on a
// busy machine the CPU time says what the run itself costs).
void printRatios(const bench::RatioReporter& reporter) {
    const auto read = reporter.times("readWhole/process_time/real_time");
    if (!read || read->real <= 0) return;
    std::printf("\n%d recordings of %d channels x %lld samples (%d feeders), %d core(s):\n",
                kRecordings, 2 + 2 * kFeeders, static_cast<long long>(kSamples), kFeeders,
                defaultJobs());
    std::printf("  read whole in this process (as cat reads): %.0f recordings/s\n",
                kRecordings / read->real);
    for (const char* name : {"convert/odd49_default_jobs/process_time/real_time",
                             "convert/odd49_one_job/process_time/real_time",
                             "convert/order256_default_jobs/process_time/real_time"}) {
        const auto conversion = reporter.times(name);
        if (!conversion || conversion->real <= 0) continue;
        std::printf(
            "  %s: %.0f recordings/s, %.2f times the plain read (%.2f in the "
            "process's CPU time)\n",
            name, kRecordings / conversion->real, conversion->real / read->real,
            read->cpu > 0 ? conversion->cpu / read->cpu : 0.0);
    }
    const auto cat = reporter.times("catProcess/real_time");
    if (!cat || cat->real <= 0) return;
    std::printf("  as whole processes, cat of the files to /dev/null: %.1f ms\n", cat->real * 1e3);
    for (const char* name : {"convertProcess/odd49_default_jobs/real_time",
                             "convertProcess/odd49_one_job/real_time"}) {
        const auto conversion = reporter.times(name);
        if (!conversion || conversion->real <= 0) continue;
        std::printf("  %s: %.1f ms, %.2f times cat\n", name, conversion->real * 1e3,
                    conversion->real / cat->real);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    campaignFolder();  // written once, outside the timed loops
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    fs::remove_all(campaignFolder());
    return 0;
}
