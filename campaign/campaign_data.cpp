#include "campaign/campaign_data.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

#include "base/date_time.h"
#include "base/error.h"
#include "base/utf8_path.h"
#include "output/result_reader.h"

namespace waveharm {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

std::string describeLayout(const ResultLayout& l) {
    static const char* kOptions[] = {".hm", ".ha4", ".ha5", ".hv", ".hn"};
    std::string s = std::string(kOptions[static_cast<int>(l.option)]) + " records of " +
                    std::to_string(l.feederCount) + (l.feederCount == 1 ? " feeder" : " feeders");
    if (l.phase) s += ", phase " + std::string(1, l.phase);
    return s;
}

std::vector<std::unique_ptr<ResultFileReader>> openFiles(const std::vector<std::string>& names,
                                                         const CampaignOptions& options) {
    if (names.empty()) throw InputError(ErrorKind::NotAResultFile, "", -1, "no result file given");
    std::vector<std::unique_ptr<ResultFileReader>> files;
    std::vector<std::filesystem::path> seen;
    std::int64_t records = 0;
    for (const std::string& name : names) {
        auto reader = std::make_unique<ResultFileReader>(name, options.option, options.feederCount);
        std::error_code ec;
        const auto canonical = std::filesystem::weakly_canonical(utf8Path(name), ec);
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end())
            throw InputError(ErrorKind::NotAResultFile, name, -1, "the file is given twice");
        seen.push_back(canonical);
        const ResultLayout& l = reader->format().layout();
        const ResultLayout& first = files.empty() ? l : files.front()->format().layout();
        if (l.option != first.option || l.feederCount != first.feederCount ||
            l.phase != first.phase)
            throw InputError(ErrorKind::NotAResultFile, name, -1,
                             "holds " + describeLayout(l) + " but " + files.front()->name() +
                                 " holds " + describeLayout(first) +
                                 "; a report covers files of one kind from one site");
        records += reader->recordCount();
        if (records > std::numeric_limits<std::uint32_t>::max())
            throw InputError(ErrorKind::NotAResultFile, name, -1,
                             "too many records for one report");
        files.push_back(std::move(reader));
    }
    return files;
}

SeriesRow rowOf(std::string name, std::string unit, SeriesKind kind, ColumnQuantity quantity,
                int order, int feeder) {
    SeriesRow row;
    row.name = std::move(name);
    row.unit = std::move(unit);
    row.kind = kind;
    row.quantity = quantity;
    row.order = order;
    row.feeder = feeder;
    return row;
}

// A distortion or ratio series: the columns it is computed from.
struct DerivedSeries {
    int reference = -1;          ///< the fundamental's column
    int column = -1;             ///< a ratio's numerator column
    std::vector<int> harmonics;  ///< a distortion's harmonic columns, orders 2–50
    int trend = -1;              ///< index into the trends, for a distortion
};

// Every series of a campaign: the record's columns as they are, then the voltage
// ratios and the distortions computed from them.
struct SeriesPlan {
    std::vector<SeriesRow> rows;
    std::size_t columns = 0;  ///< rows before this one are the record's columns
    std::vector<DerivedSeries> derived;
    std::vector<TrendSeries> trends;

    explicit SeriesPlan(const ResultRecordFormat& format) {
        for (const RecordField& c : format.columns())
            rows.push_back(rowOf(format.name(c), unitOf(c.quantity()), SeriesKind::Column,
                                 c.quantity(), c.order, c.feeder));
        columns = rows.size();
        auto harmonicsOf = [&](FieldKind kind, int feeder) {
            std::vector<int> out;
            for (int n = 2; n <= 50; ++n)
                if (const int c = format.find(kind, n, feeder); c >= 0) out.push_back(c);
            return out;
        };
        const int v1 = format.find(FieldKind::VoltageRms, 1);
        for (int c : harmonicsOf(FieldKind::VoltageRms, 0)) {
            const int n = format.columns()[static_cast<std::size_t>(c)].order;
            rows.push_back(rowOf("V_pct_h" + std::to_string(n), "%", SeriesKind::VoltagePercent,
                                 ColumnQuantity::VoltageRms, n, 0));
            derived.push_back({v1, c, {}, -1});
        }
        addDistortion("V_thd", SeriesKind::VoltageThd, ColumnQuantity::VoltageRms, 0, v1,
                      harmonicsOf(FieldKind::VoltageRms, 0));
        for (int k = 1; k <= format.layout().feederCount; ++k)
            addDistortion("I" + std::to_string(k) + "_thd", SeriesKind::CurrentThd,
                          ColumnQuantity::CurrentRms, k, format.find(FieldKind::CurrentRms, 1, k),
                          harmonicsOf(FieldKind::CurrentRms, k));
    }

    void addDistortion(const std::string& name, SeriesKind kind, ColumnQuantity quantity,
                       int feeder, int reference, std::vector<int> harmonics) {
        rows.push_back(rowOf(name, "%", kind, quantity, 0, feeder));
        derived.push_back({reference, -1, std::move(harmonics), static_cast<int>(trends.size())});
        trends.push_back({name, feeder, {}, {}});
    }

    // The values of one record: its columns, then every derived series.
    void evaluate(const RecordView& r, const ResultRecordFormat& format,
                  std::vector<float>& out) const {
        r.values(format, out);
        for (std::size_t d = 0; d < derived.size(); ++d) {
            const DerivedSeries& s = derived[d];
            const double fundamental = s.reference >= 0 ? out[std::size_t(s.reference)] : 0.0;
            float v = kNoValue;
            if (fundamental > 0 && s.column >= 0) {
                v = static_cast<float>(out[std::size_t(s.column)] / fundamental * 100.0);
            } else if (fundamental > 0) {
                double sum = 0;
                for (int c : s.harmonics) sum += double(out[std::size_t(c)]) * out[std::size_t(c)];
                v = static_cast<float>(std::sqrt(sum) / fundamental * 100.0);
            }
            out[columns + d] = v;
        }
    }
};

// Orders `values` (one per record in reading order) by `order`.
std::vector<float> permuted(const std::vector<float>& values,
                            const std::vector<std::uint32_t>& order) {
    std::vector<float> out(values.size());
    for (std::size_t i = 0; i < order.size(); ++i) out[i] = values[order[i]];
    return out;
}

}  // namespace

const char* verdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "pass";
        case Verdict::Fail:
            return "fail";
        case Verdict::None:
            break;
    }
    return "";
}

std::string CampaignData::feederLabel(int k) const {
    const auto i = static_cast<std::size_t>(k - 1);
    if (k >= 1 && i < feederNames.size() && !feederNames[i].empty()) return feederNames[i];
    return "フィーダ " + std::to_string(k);
}

TimeWindow CampaignData::wholeTime() const {
    if (times.empty()) return {};
    if (times.back() > times.front()) return {times.front(), times.back()};
    const double halfMinute = 0.5 / 1440;
    return {times.front() - halfMinute, times.back() + halfMinute};
}

const SeriesRow* CampaignData::row(const std::string& name) const {
    for (const SeriesRow& r : rows)
        if (r.name == name) return &r;
    return nullptr;
}

CampaignData readCampaign(const std::vector<std::string>& names, const CampaignOptions& options) {
    const auto files = openFiles(names, options);
    const ResultRecordFormat& format = files.front()->format();
    CampaignData data;
    data.files = names;
    data.layout = format.layout();
    data.orders = format.orders();
    SeriesPlan plan(format);

    std::size_t records = 0;
    for (const auto& f : files) records += static_cast<std::size_t>(f->recordCount());
    std::vector<double> times;
    times.reserve(records);
    data.sources.reserve(records);
    for (TrendSeries& t : plan.trends) t.values.reserve(records);

    // Every pass reads the files whole; the first also takes the times and the trends.
    StatisticsPasses statistics(plan.rows.size(), records, options.valueMemoryBytes);
    std::vector<float> values(plan.rows.size());
    while (statistics.needsPass()) {
        const bool first = statistics.passesDone() == 0;
        statistics.beginPass();
        for (std::size_t f = 0; f < files.size(); ++f) {
            files[f]->read([&](const RecordView& r) {
                plan.evaluate(r, format, values);
                statistics.add(values);
                if (!first) return;
                times.push_back(DateTime::fromCivil(r.time()).serial);
                data.sources.push_back(
                    {static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(r.index())});
                for (std::size_t d = 0; d < plan.derived.size(); ++d)
                    if (const int t = plan.derived[d].trend; t >= 0)
                        plan.trends[std::size_t(t)].values.push_back(values[plan.columns + d]);
            });
        }
        statistics.endPass();
    }

    // Time order; records of equal time keep the order of the files.
    std::vector<std::uint32_t> order(times.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return times[a] < times[b]; });
    data.times.resize(times.size());
    std::vector<RecordSource> sources(times.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        data.times[i] = times[order[i]];
        sources[i] = data.sources[order[i]];
    }
    data.sources = std::move(sources);
    data.recordSpacing = typicalRecordSpacing(data.times);
    for (TrendSeries& t : plan.trends) {
        t.values = permuted(t.values, order);
        t.summary = TrendSummary(data.times, t.values, data.recordSpacing);
    }
    data.trends = std::move(plan.trends);

    const std::vector<SeriesStatistics> stats = statistics.results();
    data.rows = std::move(plan.rows);
    for (std::size_t i = 0; i < data.rows.size(); ++i) data.rows[i].stats = stats[i];
    return data;
}

void checkAgainstLimits(std::vector<SeriesRow>& rows, const AppliedLimits* limits) {
    auto lookup = [](const std::map<int, double>& m, int order) -> std::optional<double> {
        const auto it = m.find(order);
        if (it == m.end()) return std::nullopt;
        return it->second;
    };
    for (SeriesRow& row : rows) {
        row.limit.reset();
        if (limits) {
            const bool harmonic = row.order >= 2;
            if (row.kind == SeriesKind::VoltageThd) row.limit = limits->voltageThd;
            if (row.kind == SeriesKind::CurrentThd) row.limit = limits->currentThd;
            if (row.kind == SeriesKind::VoltagePercent)
                row.limit = lookup(limits->voltagePercent, row.order);
            if (row.kind == SeriesKind::Column && harmonic &&
                row.quantity == ColumnQuantity::VoltageRms)
                row.limit = lookup(limits->voltageVolts, row.order);
            if (row.kind == SeriesKind::Column && harmonic &&
                row.quantity == ColumnQuantity::CurrentRms)
                row.limit = lookup(limits->currentAmps, row.order);
        }
        row.verdict = !row.limit || row.stats.count == 0 ? Verdict::None
                      : row.stats.cp95 > *row.limit      ? Verdict::Fail
                                                         : Verdict::Pass;
    }
}

OrderBars orderBars(const CampaignData& data, const std::string& prefix) {
    OrderBars bars;
    for (int n : data.orders) {
        if (n < 2 || n > 50) continue;
        const SeriesRow* r = data.row(prefix + "_h" + std::to_string(n));
        if (!r || r->stats.count == 0) continue;
        bars.orders.push_back(n);
        bars.cp95.push_back(r->stats.cp95);
        bars.max.push_back(r->stats.max);
        bars.limit.push_back(r->limit);
    }
    return bars;
}

}  // namespace waveharm
