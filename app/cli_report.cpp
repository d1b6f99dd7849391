// waveharm-cli report: statistics, limit checks and an HTML report over the result
// files of one measurement campaign.

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "app/cli_args.h"
#include "app/cli_commands.h"
#include "campaign/campaign_data.h"
#include "campaign/limits.h"
#include "campaign/report.h"
#include "output/result_writer.h"

namespace waveharm::cli {
namespace {

constexpr const char* kReportUsage =
    "usage: waveharm-cli report RESULT_FILE... --output DIR [--limits NAME|FILE]\n"
    "                           [--contract-kw KW] [--nominal-kv KV] [--feeders N]\n"
    "                           [--harmonics H]\n"
    "\n"
    "Merges the records of one site's result files in time order and writes\n"
    "  DIR/statistics.csv  count, min, mean, max and CP95 (95th percentile, as Excel's\n"
    "                      PERCENTILE.INC) of every column dump prints, of V_pct_hN\n"
    "                      (V_hN in % of V_h1) and of the distortions V_thd, Ik_thd,\n"
    "                      with the limit and the verdict on CP95 (pass/fail)\n"
    "  DIR/report.html     a self-contained report in Japanese: summary, distortion\n"
    "                      trends, per-order bars against the limits, statistics\n"
    "\n"
    "  --limits NAME|FILE  jp-6.6kv, jp-22kv, jp-33kv (harmonic suppression guideline,\n"
    "                      needs --contract-kw), ieee519 (needs --nominal-kv),\n"
    "                      iec61000-2-2, or a limit file of the same format\n"
    "  --contract-kw KW    contract power in kW\n"
    "  --nominal-kv KV     nominal bus voltage in kV\n"
    "  --feeders N, --harmonics H   the result file layout, as for dump\n";

std::optional<double> positiveValue(const ParsedArgs& a, const std::string& option) {
    if (!a.value(option)) return std::nullopt;
    const double v = a.doubleValue(option, 0);
    if (!(v > 0) || !std::isfinite(v)) throw UsageError(option + " must be a positive number");
    return v;
}

}  // namespace

int runReport(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kReportUsage, stdout);
        return 0;
    }
    std::string output;
    CampaignOptions options;
    LimitContext context;
    std::optional<LimitTable> table;
    std::vector<std::string> files;
    try {
        const ParsedArgs a = parseArgs(
            args,
            {"--output", "--limits", "--contract-kw", "--nominal-kv", "--feeders", "--harmonics"},
            {});
        files = a.positional;
        if (files.empty()) throw UsageError("no result file given");
        output = a.value("--output").value_or("");
        if (output.empty()) throw UsageError("--output DIR is required");
        if (a.value("--feeders")) options.feederCount = int(a.intValue("--feeders", 1, 1, 9));
        if (const auto h = a.value("--harmonics")) {
            options.option = harmonicOptionNamed(*h);
            if (!options.option) throw UsageError("unknown --harmonics value '" + *h + "'");
        }
        context.contractKw = positiveValue(a, "--contract-kw");
        context.nominalKv = positiveValue(a, "--nominal-kv");
        if (const auto name = a.value("--limits")) table = loadLimitTable(*name);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "waveharm-cli report: %s\n%s", e.what(), kReportUsage);
        return 2;
    } catch (const LimitError& e) {
        std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
        return 2;
    }
    try {
        std::optional<AppliedLimits> limits;
        if (table) limits = applyLimits(*table, context);
        CampaignData data = readCampaign(files, options);
        checkAgainstLimits(data.rows, limits ? &*limits : nullptr);
        writeReportFiles(output, data, {limits ? &*limits : nullptr, context});
        int failed = 0;
        for (const SeriesRow& r : data.rows) failed += r.verdict == Verdict::Fail;
        std::printf("%zu records of %zu files: %s/statistics.csv, %s/report.html",
                    data.recordCount(), files.size(), output.c_str(), output.c_str());
        if (limits) std::printf(" (%d series above the limits)", failed);
        std::printf("\n");
    } catch (const LimitError& e) {
        std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
        return 2;
    } catch (const InputError& e) {
        std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
        return 2;
    } catch (const OutputError& e) {
        std::fprintf(stderr, "waveharm-cli report: %s\n", e.what());
        return 2;
    }
    return 0;
}

}  // namespace waveharm::cli
