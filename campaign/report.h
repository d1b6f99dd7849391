#pragma once
// The campaign's two report files: statistics.csv for spreadsheets and report.html,
// one self-contained Japanese page (inline SVG charts, nothing fetched from the
// network, laid out for A4 printing).

#include <string>
#include <utility>
#include <vector>

#include "campaign/campaign_data.h"
#include "campaign/limits.h"

namespace waveharm {

struct ReportSettings {
    const AppliedLimits* limits = nullptr;  ///< not owned; null: no limit checks
    LimitContext context;                   ///< shown in the summary
    std::string siteName;                   ///< in the report's title; may be empty
};

/// The measurement's setup as the view and the report show it: caption and value, in
/// Japanese.
std::vector<std::pair<std::string, std::string>> setupRows(const MeasurementSetup& setup);

/// "series,unit,count,min,mean,max,cp95,limit,verdict" and one line per row; a row
/// without values leaves its statistics empty.
std::string statisticsCsv(const CampaignData& data);

/// `text` (lines ending in LF) as a CSV file that Excel on a Japanese Windows opens
/// correctly: CR LF line ends, and a UTF-8 byte-order mark when the text holds anything
/// beyond ASCII (without the mark Excel reads the file in the system's Shift_JIS).
std::string spreadsheetCsv(const std::string& text);

/// The HTML report: site summary, distortion trends, per-order bars against the
/// limits and the statistics table with failing rows marked.
std::string reportHtml(const CampaignData& data, const ReportSettings& settings);

/// The report files already in `dir`: its report.html and statistics.csv where they
/// exist (UTF-8 paths), so that nothing is replaced without asking.
std::vector<std::string> existingReportFiles(const std::string& dir);

/// Writes DIR/statistics.csv and DIR/report.html (DIR created when missing), each whole
/// or not at all: both are complete on the disk before either takes its name, so a
/// failure, or the program killed, leaves earlier files of those names as they were.
/// Throws OutputError naming the file.
void writeReportFiles(const std::string& dir, const CampaignData& data,
                      const ReportSettings& settings);

/// Writes every record in time order as `dump` prints them, as a spreadsheet CSV (see
/// spreadsheetCsv) at `path` (UTF-8), whole or not at all. Throws OutputError naming the
/// file, InputError when a result file cannot be read again.
void writeRecordsCsv(const std::string& path, const CampaignData& data);

}  // namespace waveharm
