#pragma once
// One site's measurement campaign: the records of one or more result files merged in
// time order, the statistics of every series and the distortion trends over time.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "campaign/limits.h"
#include "campaign/statistics.h"
#include "output/result_columns.h"
#include "output/result_reader.h"

namespace waveharm {

struct CampaignOptions {
    std::optional<HarmonicOption> option;  ///< overrides the extension, as for dump
    std::optional<int> feederCount;        ///< overrides the extension, as for dump
    /// Memory for series values held at once; the records are read once per batch of
    /// series that fits, so a year of minute records stays within a fixed budget.
    std::size_t valueMemoryBytes = std::size_t{160} << 20;
};

enum class SeriesKind {
    Column,          ///< a value column of the records, named as dump names it
    VoltagePercent,  ///< `V_pct_hN`: V_hN in % of V_h1
    VoltageThd,      ///< `V_thd` in %
    CurrentThd       ///< `Ik_thd` in %
};

enum class Verdict { None, Pass, Fail };

/// "pass", "fail", or "" where no limit applies.
const char* verdictText(Verdict verdict);

struct SeriesRow {
    std::string name;
    std::string unit;  ///< "V", "A", "deg" or "%"
    SeriesKind kind = SeriesKind::Column;
    ColumnQuantity quantity = ColumnQuantity::VoltageRms;  ///< of a Column row
    int order = 0;   ///< harmonic order, 0 for THD and per-phase RMS rows
    int feeder = 0;  ///< 1-based feeder of a current row, 0 for voltage rows
    SeriesStatistics stats;
    std::optional<double> limit;  ///< in the row's unit
    Verdict verdict = Verdict::None;
};

struct CampaignData {
    std::vector<std::string> files;
    ResultLayout layout;
    std::vector<int> orders;
    std::vector<double> times;                   ///< record times, days since 1899-12-30, ascending
    std::vector<float> voltageThd;               ///< per record in %, NaN without a fundamental
    std::vector<std::vector<float>> currentThd;  ///< [feeder][record] in %
    std::vector<SeriesRow> rows;                 ///< dump's columns, then V_pct_hN, V_thd, Ik_thd

    std::size_t recordCount() const { return times.size(); }
};

/// Reads the result files of one site (all of one layout; a per-phase file only with
/// files of its own phase) and merges their records in time order; equal times keep
/// the order of `files`. Distortion in % = √(Σ X_h², orders 2–50 held) / X_1 × 100;
/// a record whose fundamental is zero has none. Throws InputError for a file that
/// cannot be read, is not a whole number of records, has a record without a valid
/// time stamp, differs in layout from the first file or is given twice.
CampaignData readCampaign(const std::vector<std::string>& files, const CampaignOptions& options);

/// Sets each row's limit and verdict (CP95 above the limit fails) from `limits`;
/// clears them when `limits` is null.
void checkAgainstLimits(std::vector<SeriesRow>& rows, const AppliedLimits* limits);

}  // namespace waveharm
