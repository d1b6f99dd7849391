// waveharm-cli report: statistics, limit checks and an HTML report over the result
// files of one measurement campaign.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "base/utf8_path.h"
#include "campaign/campaign_data.h"
#include "campaign/limits.h"
#include "campaign/report.h"
#include "output/result_writer.h"
#include "settings/site_profile.h"

namespace waveharm::cli {
namespace {

constexpr const char* kReportDetails =
    "Merges the records of one site's result files in time order and writes\n"
    "  DIR/statistics.csv  count, min, mean, max and CP95 (95th percentile, as Excel's\n"
    "                      PERCENTILE.INC) of every column dump prints, of V_pct_hN\n"
    "                      (V_hN in % of V_h1) and of the distortions V_thd, Ik_thd,\n"
    "                      with the limit and the verdict on CP95 (pass/fail)\n"
    "  DIR/report.html     a self-contained report in Japanese: summary, distortion\n"
    "                      trends, per-order bars against the limits, statistics\n"
    "Earlier report files in DIR are replaced only with --overwrite; each file is\n"
    "written whole before it takes its name, so a report cut short never replaces one.\n";

struct ReportCommand {
    std::vector<std::string> files;
    std::string output;
    std::optional<std::string> limits;
    CampaignOptions options;
    LimitContext context;
    std::string site;
    std::vector<std::string> feederNames;  ///< from a profile; empty: F1…F7
    bool overwrite = false;
};

int report(const ReportCommand& r) {
    const std::string& output = r.output;
    if (const auto existing = existingReportFiles(output); !existing.empty() && !r.overwrite) {
        std::string names;
        for (const std::string& f : existing) names += (names.empty() ? "" : " and ") + f;
        std::fprintf(stderr,
                     "waveharm-cli report: %s already exist%s; give --overwrite to replace "
                     "%s\n",
                     names.c_str(), existing.size() == 1 ? "s" : "",
                     existing.size() == 1 ? "it" : "them");
        return 2;
    }
    std::optional<AppliedLimits> limits;
    if (r.limits) limits = applyLimits(loadLimitTable(*r.limits), r.context);
    CampaignData data = readCampaign(r.files, r.options);
    data.feederNames = r.feederNames;
    checkAgainstLimits(data.rows, limits ? &*limits : nullptr);
    writeReportFiles(output, data, {limits ? &*limits : nullptr, r.context, r.site});
    int failed = 0;
    for (const SeriesRow& row : data.rows) failed += row.verdict == Verdict::Fail;
    std::printf("%zu records of %zu files: %s/statistics.csv, %s/report.html", data.recordCount(),
                r.files.size(), output.c_str(), output.c_str());
    if (limits) std::printf(" (%d series above the limits)", failed);
    std::printf("\n");
    return 0;
}

}  // namespace

Command declareReport(CLI::App& program) {
    auto r = std::make_shared<ReportCommand>();
    CLI::App& command =
        addCommand(program, "report", "statistics, limit checks and an HTML report of result files",
                   kReportDetails);
    addArgument(command, "RESULT_FILE", "the result files of one site", true,
                [r](const std::string& v) { r->files.push_back(v); });
    addValue(command, "--output", "DIR", "the folder for statistics.csv and report.html",
             [r](const std::string& v) { r->output = v; })
        ->required();
    // Declared before --limits and --contract-kw, which override it.
    addValue(command, "--profile", "FILE", "a site profile: its limit table and contract power",
             [r](const std::string& v) {
                 try {
                     const SiteProfile p = readSiteProfile(utf8Path(v));
                     if (!p.campaign.limits.empty()) r->limits = p.campaign.limits;
                     if (p.campaign.contractKw) r->context.contractKw = *p.campaign.contractKw;
                     // The report names the site and its feeders as the profile does.
                     r->site = p.siteName;
                     r->feederNames.clear();
                     for (const FeederProfile& f : p.feeders) r->feederNames.push_back(f.name);
                 } catch (const ProfileError& e) {
                     throw UsageError(std::string("--profile: ") + e.what());
                 }
             });
    addValue(command, "--limits", "NAME|FILE",
             "jp-6.6kv, jp-22kv, jp-33kv (harmonic suppression guideline,\n"
             "needs --contract-kw), ieee519 (needs --nominal-kv),\n"
             "iec61000-2-2, or a limit file of the same format",
             [r](const std::string& v) { r->limits = v; });
    addValue(command, "--contract-kw", "KW", "contract power in kW", [r](const std::string& v) {
        r->context.contractKw = positiveValue("--contract-kw", v);
    });
    addValue(command, "--nominal-kv", "KV", "nominal bus voltage in kV", [r](const std::string& v) {
        r->context.nominalKv = positiveValue("--nominal-kv", v);
    });
    addValue(command, "--site", "NAME", "the site's name, for the report's title",
             [r](const std::string& v) { r->site = v; });
    addFlag(command, "--overwrite", "replace report.html and statistics.csv in DIR",
            [r] { r->overwrite = true; });
    addResultLayoutOptions(command, r->options.option, r->options.feederCount);
    return {&command, [r] {
                try {
                    return report(*r);
                } catch (const LimitError& e) {
                    std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
                } catch (const InputError& e) {
                    std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
                } catch (const OutputError& e) {
                    std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
                }
                return 2;
            }};
}

}  // namespace waveharm::cli
