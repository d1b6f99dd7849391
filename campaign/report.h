#pragma once
// The campaign's two report files: statistics.csv for spreadsheets and report.html,
// one self-contained Japanese page (inline SVG charts, nothing fetched from the
// network, laid out for A4 printing).

#include <string>

#include "campaign/campaign_data.h"
#include "campaign/limits.h"

namespace waveharm {

struct ReportSettings {
    const AppliedLimits* limits = nullptr;  ///< not owned; null: no limit checks
    LimitContext context;                   ///< shown in the summary
};

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

/// Writes DIR/statistics.csv and DIR/report.html (DIR created when missing). Throws
/// OutputError naming the file; on failure neither file is left behind.
void writeReportFiles(const std::string& dir, const CampaignData& data,
                      const ReportSettings& settings);

}  // namespace waveharm
