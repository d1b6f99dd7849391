#pragma once
// One site's measurement campaign: the records of one or more result files merged in
// time order, the statistics of every series, the distortion trends over time with their
// summaries for drawing, and what is known of the measurement's setup.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "campaign/limits.h"
#include "campaign/report_charts.h"
#include "campaign/statistics.h"
#include "campaign/trend_summary.h"
#include "output/record_format.h"
#include "settings/conversion_settings.h"
#include "settings/site_profile.h"

namespace waveharm {

struct CampaignOptions {
    std::optional<HarmonicOption> option;  ///< overrides the extension, as for dump
    std::optional<int> feederCount;        ///< overrides the extension, as for dump
    /// Memory for series values held at once (see StatisticsPasses): a campaign whose
    /// values fit is read once, a longer one a few times, so that a year of minute
    /// records stays within a fixed budget.
    std::size_t valueMemoryBytes = std::size_t{128} << 20;
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

/// A distortion trend: one value per record in time order and its summary for charts.
struct TrendSeries {
    std::string name;           ///< "V_thd", "I1_thd", …
    int feeder = 0;             ///< 1-based for a current, 0 for the voltage
    std::vector<float> values;  ///< in %, NaN where the record has no fundamental
    TrendSummary summary;
};

/// Where a merged record comes from.
struct RecordSource {
    std::uint32_t file = 0;   ///< index into `CampaignData::files`
    std::uint32_t index = 0;  ///< record number in that file
};

/// The run that wrote the result files, when the campaign is opened at its end: shown in
/// the campaign view and in the report.
struct MeasurementSetup {
    std::string inputFolder;
    ConversionSettings settings;
    std::vector<std::string> skipped;  ///< each skipped recording with its reason
    CampaignChoices campaign;          ///< the site's limit table and contract power
};

struct CampaignData {
    std::vector<std::string> files;
    ResultLayout layout;
    std::vector<int> orders;
    std::vector<double> times;          ///< record times, days since 1899-12-30, ascending
    double recordSpacing = 0;           ///< the usual time between records, days (0: one time only)
    std::vector<RecordSource> sources;  ///< per record in time order
    std::vector<TrendSeries> trends;    ///< V_thd, then I1_thd, I2_thd, …
    std::vector<SeriesRow> rows;        ///< dump's columns, then V_pct_hN, V_thd, Ik_thd
    std::optional<MeasurementSetup> setup;
    /// Names given to the feeders (1-based feeder k at k − 1); empty: none given.
    std::vector<std::string> feederNames;

    std::size_t recordCount() const { return times.size(); }
    /// From the first record to the last (a minute round a single time).
    TimeWindow wholeTime() const;
    /// How feeder `k` (1-based) is called in the view and the report.
    std::string feederLabel(int k) const;
    /// The row named `name`; null when there is none.
    const SeriesRow* row(const std::string& name) const;
};

/// Reads the result files of one site (all of one layout; a per-phase file only with
/// files of its own phase) and merges their records in time order; equal times keep
/// the order of `files`. Distortion in % = √(Σ X_h², orders 2–50 held) / X_1 × 100;
/// a record whose fundamental is zero has none. Throws InputError for a file that
/// cannot be read, is not a whole number of records, has a record without a valid
/// time stamp, differs in layout from the first file or is given twice.
CampaignData readCampaign(const std::vector<std::string>& files, const CampaignOptions& options);

/// Sets each row's limit and verdict (CP95 above the limit fails) from `limits`;
/// clears them when `limits` is null. Nothing is read again.
void checkAgainstLimits(std::vector<SeriesRow>& rows, const AppliedLimits* limits);

/// The CP95, maximum and limit of the harmonic orders 2–50 of the rows `prefix`_hN
/// ("V_pct", "I1", …).
OrderBars orderBars(const CampaignData& data, const std::string& prefix);

}  // namespace waveharm
