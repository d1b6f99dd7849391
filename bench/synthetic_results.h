#pragma once
// A result file of minute records written by the program's own result writer, for the
// benchmarks and the memory check: odd orders 1–49 of seven feeders on a 6.6 kV bus
// whose load, and with it the harmonics, follows the time of day.

#include <cmath>
#include <filesystem>
#include <string>

#include "base/date_time.h"
#include "output/result_writer.h"

namespace waveharm::synthetic {

inline constexpr int kFeeders = 7;
inline constexpr int kWeekRecords = 7 * 24 * 60;    // 10 080
inline constexpr int kYearRecords = 365 * 24 * 60;  // 525 600

/// Writes `records` minute records from 2025-01-01 00:00 into `path` (.hm7). Throws
/// OutputError.
inline void writeSyntheticResults(const std::filesystem::path& path, int records) {
    ConversionSettings settings;
    settings.setHarmonicOption(HarmonicOption::Odd1To49);
    settings.setFeederCount(kFeeders);
    settings.outputFileName = path.string();
    auto writer = ResultWriter::open(settings);
    IntervalAggregate interval;
    interval.allocate(settings.maxHarmonicOrder(), kFeeders);
    const DateTime start = DateTime::fromCivil({2025, 1, 1, 0, 0, 0});
    const double pi = 3.14159265358979;
    for (int r = 0; r < records; ++r) {
        const double day = r / 1440.0;
        const double load = 1 + 0.3 * std::sin(2 * pi * (day - 0.3)) + 0.05 * std::sin(r / 97.0);
        for (int n = 1; n <= 49; n += 2) {
            interval.voltageRms[n] = float(n == 1 ? 6600 * (1 - 0.01 * load) : 132.0 * load / n);
            for (int k = 0; k < kFeeders; ++k) {
                const double amps = n == 1 ? 100 * load : 20 * load * load / n;
                interval.currentRms(k, n) = float(amps * (1 + 0.1 * k));
                const double angle = 0.3 * n + 0.2 * k + 0.1 * std::sin(day);
                interval.activePower(k, n) = float(std::cos(angle));
                interval.reactivePower(k, n) = float(std::sin(angle));
            }
        }
        interval.intervalState = 1;
        writer->offer(DateTime{start.serial + day}, interval);
    }
    writer->close();
}

}  // namespace waveharm::synthetic
