#include "campaign/report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/date_time.h"
#include "base/utf8_path.h"
#include "campaign/report_charts.h"
#include "campaign/whole_file.h"
#include "output/record_csv.h"
#include "output/result_reader.h"
#include "output/result_writer.h"

namespace waveharm {
namespace {

std::string format(const char* picture, double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, picture, v);
    return buf;
}

// `text` with every line ending in CR LF, as spreadsheets on Windows expect.
void appendCrLf(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
}

std::string stampText(double serial) {
    const CivilDateTime c = DateTime{serial}.civil();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    return buf;
}

std::string layoutText(const ResultLayout& l) {
    static const char* kOptions[] = {"奇数次 1〜49 次", "重ね合わせ角度付き", "不平衡付き",
                                     "角度・不平衡付き", "256 次まで"};
    std::string s = std::string(kOptions[static_cast<int>(l.option)]) + "、フィーダ " +
                    std::to_string(l.feederCount);
    if (l.phase) s += "、" + std::string(1, l.phase) + " 相ファイル";
    return s;
}

class Html {
  public:
    Html& raw(std::string_view markup) {
        m_out += markup;
        return *this;
    }
    Html& text(std::string_view plain) {
        m_out += escapeMarkup(plain);
        return *this;
    }
    /// <tag>escaped text</tag>
    Html& element(std::string_view tag, std::string_view plain, std::string_view cls = {}) {
        m_out += "<" + std::string(tag);
        if (!cls.empty()) m_out += " class=\"" + escapeMarkup(cls) + "\"";
        m_out += ">" + escapeMarkup(plain) + "</" + std::string(tag) + ">";
        return *this;
    }
    Html& summaryRow(std::string_view heading, std::string_view value) {
        raw("<tr>").element("th", heading).element("td", value).raw("</tr>\n");
        return *this;
    }
    std::string take() { return std::move(m_out); }

  private:
    std::string m_out;
};

constexpr const char* kStyle = R"(<style>
@page { size: A4; margin: 14mm 12mm; }
body { font-family: "IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "Yu Gothic", "Meiryo",
  sans-serif; color: #222; margin: 0 auto; max-width: 190mm; font-size: 10.5pt; }
h1 { font-size: 17pt; border-bottom: 2px solid #1f5fa8; padding-bottom: 4px; }
h2 { font-size: 13pt; margin-top: 18px; color: #1f5fa8; }
table { border-collapse: collapse; }
table.summary th { white-space: nowrap; vertical-align: top; text-align: left; padding: 2px 12px 2px 0; font-weight: normal; color: #555; }
table.summary td { padding: 2px 0; white-space: pre-line; }
table.stats { width: 100%; font-size: 8.5pt; }
table.stats th, table.stats td { border: 1px solid #bbb; padding: 1px 5px; }
table.stats td.n { text-align: right; font-variant-numeric: tabular-nums; }
table.stats thead { display: table-header-group; background: #eef3fa; }
tr.fail td { background: #fde2e2; }
tr.fail td.v { color: #b00000; font-weight: bold; }
.verdict-fail { color: #b00000; font-weight: bold; }
.verdict-pass { color: #1e7b34; font-weight: bold; }
svg.chart { width: 100%; height: auto; display: block; margin: 6px 0 10px; }
.figure { break-inside: avoid; page-break-inside: avoid; }
.note { color: #555; font-size: 9pt; }
@media print { h2 { break-after: avoid; } tr { break-inside: avoid; } }
</style>
)";

void writeSummary(Html& h, const CampaignData& data, const ReportSettings& settings) {
    h.element("h2", "測定の概要").raw("<table class=\"summary\">\n");
    std::string files;
    for (const std::string& f : data.files) files += (files.empty() ? "" : "、") + f;
    h.summaryRow("結果ファイル", files);
    h.summaryRow("記録の形式", layoutText(data.layout));
    if (data.recordCount() > 0) {
        h.summaryRow("最初の記録", stampText(data.times.front()));
        h.summaryRow("最後の記録", stampText(data.times.back()));
    }
    h.summaryRow("記録数", std::to_string(data.recordCount()));
    if (settings.limits) {
        h.summaryRow("制限値", settings.limits->title);
        h.summaryRow("出典", settings.limits->source);
    } else {
        h.summaryRow("制限値", "なし（統計のみ）");
    }
    if (settings.context.contractKw)
        h.summaryRow("契約電力", format("%g kW", *settings.context.contractKw));
    if (settings.context.nominalKv)
        h.summaryRow("公称電圧", format("%g kV", *settings.context.nominalKv));
    if (settings.limits) {
        std::string failing;
        int checked = 0, failed = 0;
        for (const SeriesRow& r : data.rows) {
            if (r.verdict == Verdict::None) continue;
            ++checked;
            if (r.verdict != Verdict::Fail) continue;
            ++failed;
            if (failed <= 12) failing += (failing.empty() ? "" : "、") + r.name;
        }
        h.raw("<tr><th>判定</th><td>");
        if (failed == 0)
            h.raw("<span class=\"verdict-pass\">")
                .text("適合")
                .raw("</span>")
                .text("（" + std::to_string(checked) + " 系列すべて CP95 が制限値以下）");
        else
            h.raw("<span class=\"verdict-fail\">")
                .text("不適合")
                .raw("</span>")
                .text("（" + std::to_string(checked) + " 系列中 " + std::to_string(failed) +
                      " 系列が制限値超過：" + failing + (failed > 12 ? " ほか" : "") + "）");
        h.raw("</td></tr>\n");
    }
    h.raw("</table>\n");
}

void writeSetup(Html& h, const MeasurementSetup& setup) {
    h.element("h2", "測定条件").raw("<table class=\"summary\">\n");
    for (const auto& [caption, value] : setupRows(setup)) h.summaryRow(caption, value);
    h.raw("</table>\n");
}

void writeTrends(Html& h, const CampaignData& data) {
    h.element("h2", "総合歪み率の推移");
    h.element("p",
              "各描画列の最小値と最大値を結んで描いているため、記録数によらず最悪値が見えます。",
              "note");
    const TimeWindow window = data.wholeTime();
    const int columns = trendPlotColumns(720);
    for (const TrendSeries& t : data.trends) {
        const SeriesRow* r = data.row(t.name);
        const std::string title = t.feeder == 0
                                      ? "電圧総合歪み率 V_thd"
                                      : data.feederLabel(t.feeder) + " 電流総合歪み率 " + t.name;
        TrendLine line{t.name,
                       t.summary.extents(data.times, t.values, window.t0, window.t1, columns),
                       trendColour(t.feeder), true};
        h.raw("<div class=\"figure\">")
            .raw(toSvg(trendChart(title, "%", window, data.recordSpacing, {line},
                                  r ? r->limit : std::nullopt)))
            .raw("</div>\n");
    }
}

void writeBars(Html& h, const CampaignData& data) {
    h.element("h2", "次数別の CP95 と最大値");
    h.raw("<div class=\"figure\">")
        .raw(toSvg(orderBarChart("電圧高調波含有率 V_pct（基本波に対する %）", "%",
                                 orderBars(data, "V_pct"))))
        .raw("</div>\n");
    for (int k = 1; k <= data.layout.feederCount; ++k) {
        const std::string prefix = "I" + std::to_string(k);
        h.raw("<div class=\"figure\">")
            .raw(
                toSvg(orderBarChart(data.feederLabel(k) + " 電流高調波 " + prefix + "_hN（一次側）",
                                    "A", orderBars(data, prefix))))
            .raw("</div>\n");
    }
}

void writeTable(Html& h, const CampaignData& data) {
    h.element("h2", "統計表");
    h.element("p",
              "CP95 は 95 パーセンタイル値（最近接順位間の線形補間、Excel の PERCENTILE.INC "
              "と同じ方法）。判定は CP95 と制限値の比較です。角度の統計は statistics.csv "
              "にあります。",
              "note");
    h.raw("<table class=\"stats\"><thead><tr>");
    for (const char* c : {"系列", "単位", "件数", "最小", "平均", "最大", "CP95", "制限値", "判定"})
        h.element("th", c);
    h.raw("</tr></thead><tbody>\n");
    for (const SeriesRow& r : data.rows) {
        if (r.quantity == ColumnQuantity::AngleDegrees && r.kind == SeriesKind::Column) continue;
        const bool fail = r.verdict == Verdict::Fail;
        h.raw(fail ? "<tr class=\"fail\">" : "<tr>").element("td", r.name).element("td", r.unit);
        h.element("td", std::to_string(r.stats.count), "n");
        for (double v : {r.stats.min, r.stats.mean, r.stats.max, r.stats.cp95})
            h.element("td", r.stats.count ? format("%.5g", v) : "", "n");
        h.element("td", r.limit ? format("%.4g", *r.limit) : "", "n");
        const char* verdict = r.verdict == Verdict::Fail   ? "不適合"
                              : r.verdict == Verdict::Pass ? "適合"
                                                           : "";
        h.element("td", verdict, "v").raw("</tr>\n");
    }
    h.raw("</tbody></table>\n");
}

}  // namespace

std::string statisticsCsv(const CampaignData& data) {
    std::string csv = "series,unit,count,min,mean,max,cp95,limit,verdict\n";
    for (const SeriesRow& r : data.rows) {
        csv += r.name + "," + r.unit + "," + std::to_string(r.stats.count);
        for (double v : {r.stats.min, r.stats.mean, r.stats.max, r.stats.cp95})
            csv += "," + (r.stats.count ? format("%.7g", v) : std::string());
        csv += "," + (r.limit ? format("%.7g", *r.limit) : std::string());
        csv += "," + std::string(verdictText(r.verdict)) + "\n";
    }
    return csv;
}

std::string spreadsheetCsv(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string out = ascii ? "" : "\xEF\xBB\xBF";
    appendCrLf(out, text);
    return out;
}

std::vector<std::pair<std::string, std::string>> setupRows(const MeasurementSetup& setup) {
    static const char* kTypes[] = {"単相２線", "単相３線", "三相２Ｍ", "三相１Ｍ", "三相３Ｍ"};
    static const char* kHarmonics[] = {"1-49次奇数", "+重畳角保存", "+三相不平衡",
                                       "+重畳角･　不平衡保存", "高次(256次)調波+重畳位相"};
    static const char* kSaveModes[] = {"瞬時値", "平均値", "電圧歪最大", "電流歪最大"};
    const ConversionSettings& s = setup.settings;
    const auto pick = [](const char* const* captions, int count, auto value) {
        const int i = static_cast<int>(value);
        return std::string(i >= 0 && i < count ? captions[i] : "");
    };
    std::string ct, clamp;
    for (int k = 0; k < s.feederCount && k < kMaxFeeders; ++k) {
        const auto f = static_cast<std::size_t>(k);
        const std::string sep = k ? "、" : "";
        ct += sep + format("%g", s.ctRatio[f]);
        // A clamp of range R gives 0.2 V at R amperes.
        clamp += sep + (s.currentSenseOhms[f] > 0 ? format("%g A", 0.2 / s.currentSenseOhms[f])
                                                  : std::string("-"));
    }
    std::vector<std::pair<std::string, std::string>> rows{
        {"入力フォルダ", setup.inputFolder},
        {"測定方式", pick(kTypes, 5, s.measurementType)},
        {"PT 比", std::to_string(s.ptRatio)},
        {"CT 比（フィーダ順）", ct},
        {"クランプ範囲（フィーダ順）", clamp},
        {"高調波", pick(kHarmonics, 5, s.harmonicOption())},
        {"データ保存形式", pick(kSaveModes, 4, s.saveMode)},
        {"補間方式", s.interpolation == InterpolationMode::BandLimited ? "高精度" : "直線"},
    };
    std::string skipped;
    for (const std::string& line : setup.skipped) skipped += (skipped.empty() ? "" : "\n") + line;
    rows.emplace_back("解析できなかった記録",
                      setup.skipped.empty()
                          ? std::string("なし")
                          : std::to_string(setup.skipped.size()) + " 件\n" + skipped);
    return rows;
}

std::string reportHtml(const CampaignData& data, const ReportSettings& settings) {
    const std::string title = settings.siteName.empty()
                                  ? std::string("高調波測定結果レポート")
                                  : "高調波測定結果レポート　" + settings.siteName;
    Html h;
    h.raw("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n")
        .element("title", title)
        .raw("\n")
        .raw(kStyle)
        .raw("</head>\n<body>\n")
        .element("h1", title)
        .raw("\n");
    writeSummary(h, data, settings);
    if (data.setup) writeSetup(h, *data.setup);
    writeTrends(h, data);
    writeBars(h, data);
    writeTable(h, data);
    h.raw("</body>\n</html>\n");
    return h.take();
}

std::vector<std::string> existingReportFiles(const std::string& dir) {
    std::vector<std::string> found;
    for (const char* name : {"report.html", "statistics.csv"}) {
        const std::filesystem::path path = utf8Path(dir) / name;
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) found.push_back(utf8Text(path));
    }
    return found;
}

void writeReportFiles(const std::string& dir, const CampaignData& data,
                      const ReportSettings& settings) {
    // Both texts are built before anything is written.
    const std::string csv = spreadsheetCsv(statisticsCsv(data));
    const std::string html = reportHtml(data, settings);
    const std::filesystem::path folder = utf8Path(dir);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder))
        throw OutputError(
            ErrorKind::CannotCreate, dir,
            "cannot create the output folder" + (ec ? ": " + ec.message() : std::string()));
    WholeFileWriter csvFile(folder / "statistics.csv"), htmlFile(folder / "report.html");
    csvFile.write(csv);
    htmlFile.write(html);
    csvFile.finish();
    htmlFile.finish();
    // The report first: should the statistics then fail, the report read is a whole one.
    htmlFile.commit();
    csvFile.commit();
}

namespace {

// The records' text is plain ASCII (names, dates and numbers): no byte-order mark.
void flush(WholeFileWriter& out, std::string& text) {
    std::string lines;
    appendCrLf(lines, text);
    out.write(lines);
    text.clear();
}

}  // namespace

void writeRecordsCsv(const std::string& path, const CampaignData& data) {
    std::vector<std::unique_ptr<ResultFileReader>> files;
    for (const std::string& name : data.files)
        files.push_back(
            std::make_unique<ResultFileReader>(name, data.layout.option, data.layout.feederCount));
    const ResultRecordFormat& format = files.front()->format();
    WholeFileWriter out(utf8Path(path));
    std::string text = recordCsvHeader(format);
    for (const RecordSource& source : data.sources) {
        appendRecordCsvLine(text, files[source.file]->at(source.index), format);
        if (text.size() < (1u << 16)) continue;
        flush(out, text);
    }
    flush(out, text);
    out.commit();
}

}  // namespace waveharm
