#pragma once
// A console reporter that also keeps each benchmark's time per iteration, so that a
// benchmark program can print after the run how many times one piece of work takes
// another (the figures of the console table are in each benchmark's own time unit).

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace waveharm::bench {

/// Seconds per iteration of one benchmark: wall clock and CPU.
struct Times {
    double real = 0;
    double cpu = 0;
};

/// How many times the time per iteration of one benchmark is that of another.
struct Ratio {
    double real = 0;
    double cpu = 0;
};

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // Only measured runs (no aggregates); a run that stopped with an error has no
            // meaningful time.
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
                continue;
            const auto iterations = static_cast<double>(run.iterations);
            m_times[run.benchmark_name()] = {run.real_accumulated_time / iterations,
                                             run.cpu_accumulated_time / iterations};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    /// The time per iteration of the benchmark `name` (as the console table names it),
    /// or nothing when it did not run.
    std::optional<Times> times(const std::string& name) const {
        const auto it = m_times.find(name);
        if (it == m_times.end()) return std::nullopt;
        return it->second;
    }

    /// How many times `work` takes `base`, in real and in CPU time; nothing when either
    /// did not run or a time of `base` is zero.
    std::optional<Ratio> ratio(const std::string& work, const std::string& base) const {
        const auto w = times(work);
        const auto b = times(base);
        if (!w || !b || b->real <= 0 || b->cpu <= 0) return std::nullopt;
        return Ratio{w->real / b->real, w->cpu / b->cpu};
    }

  private:
    std::map<std::string, Times> m_times;
};

}  // namespace waveharm::bench
