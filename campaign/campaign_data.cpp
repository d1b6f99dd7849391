#include "campaign/campaign_data.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <utility>

#include "base/byte_reader.h"
#include "base/date_time.h"
#include "base/input_file.h"
#include "base/utf8_path.h"
#include "output/record_encoder.h"
#include "output/result_writer.h"

namespace waveharm {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// A row before its values are in: statistics, limit and verdict come later.
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

std::string describeLayout(const ResultLayout& l) {
    static const char* kOptions[] = {".hm", ".ha4", ".ha5", ".hv", ".hn"};
    std::string s = std::string(kOptions[static_cast<int>(l.option)]) + " records of " +
                    std::to_string(l.feederCount) + (l.feederCount == 1 ? " feeder" : " feeders");
    if (l.phase) s += ", phase " + std::string(1, l.phase);
    return s;
}

struct SourceFile {
    std::string name;
    ResultLayout layout;
    std::int64_t records = 0;
    std::vector<std::uint32_t> position;  ///< merged position of each record
};

// Visits every record of `file` in file order: visit(index, reader, recordStart).
void forEachRecord(const SourceFile& file,
                   const std::function<void(std::int64_t, ByteReader&, std::int64_t)>& visit) {
    InputFile in;
    in.open(utf8Path(file.name), file.name, "result file");
    const std::int64_t length = file.layout.recordBytes();
    const std::int64_t perChunk = std::max<std::int64_t>(1, (1 << 20) / length);
    std::vector<std::byte> chunk;
    for (std::int64_t first = 0; first < file.records; first += perChunk) {
        const std::int64_t count = std::min(perChunk, file.records - first);
        chunk.resize(static_cast<std::size_t>(count * length));
        in.readExactly(first * length, chunk);
        ByteReader reader(chunk, file.name);
        for (std::int64_t i = 0; i < count; ++i) visit(first + i, reader, i * length);
    }
}

std::vector<SourceFile> openFiles(const std::vector<std::string>& names,
                                  const CampaignOptions& options) {
    if (names.empty()) throw InputError(ErrorKind::NotAResultFile, "", -1, "no result file given");
    std::vector<SourceFile> files;
    std::vector<std::filesystem::path> seen;
    for (const std::string& name : names) {
        const auto path = utf8Path(name);
        InputFile in;
        in.open(path, name, "result file");
        const std::int64_t size = in.size();
        std::error_code ec;
        const auto canonical = std::filesystem::weakly_canonical(path, ec);
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end())
            throw InputError(ErrorKind::NotAResultFile, name, -1, "the file is given twice");
        seen.push_back(canonical);
        SourceFile f;
        f.name = name;
        f.layout = resolveResultLayout(name, size, options.option, options.feederCount);
        f.records = size / f.layout.recordBytes();
        const ResultLayout& first = files.empty() ? f.layout : files.front().layout;
        if (f.layout.option != first.option || f.layout.feederCount != first.feederCount ||
            f.layout.phase != first.phase)
            throw InputError(ErrorKind::NotAResultFile, name, -1,
                             "holds " + describeLayout(f.layout) + " but " + files.front().name +
                                 " holds " + describeLayout(first) +
                                 "; a report covers files of one kind from one site");
        files.push_back(std::move(f));
    }
    return files;
}

// Reads every record's stamp, orders the records by time and returns the times.
std::vector<double> mergeInTimeOrder(std::vector<SourceFile>& files) {
    struct Entry {
        double time;
        std::uint32_t file;
        std::uint32_t index;
    };
    std::vector<Entry> entries;
    for (std::uint32_t f = 0; f < files.size(); ++f) {
        const SourceFile& file = files[f];
        if (entries.size() + file.records > std::numeric_limits<std::uint32_t>::max())
            throw InputError(ErrorKind::NotAResultFile, file.name, -1,
                             "too many records for one report");
        forEachRecord(file, [&](std::int64_t i, ByteReader& r, std::int64_t at) {
            r.seek(at, "time stamp");
            RecordStamp stamp;
            stamp.dateField = std::bit_cast<float>(r.i32le());
            stamp.timeField = r.i16le();
            const CivilDateTime time =
                recordTime(stamp, file.name, i, i * file.layout.recordBytes());
            entries.push_back({DateTime::fromCivil(time).serial, f, static_cast<std::uint32_t>(i)});
        });
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.time < b.time; });
    std::vector<double> times(entries.size());
    for (SourceFile& file : files) file.position.assign(static_cast<std::size_t>(file.records), 0);
    for (std::size_t pos = 0; pos < entries.size(); ++pos) {
        times[pos] = entries[pos].time;
        files[entries[pos].file].position[entries[pos].index] = static_cast<std::uint32_t>(pos);
    }
    return times;
}

// How one series is computed from the value columns of a record.
struct SeriesDefinition {
    SeriesRow row;
    int column = -1;             ///< a Column series' column
    int reference = -1;          ///< the fundamental's column for ratios
    std::vector<int> harmonics;  ///< the numerator columns of a distortion
};

float distortion(const std::vector<float>& raw, const SeriesDefinition& d) {
    const double fundamental = raw[d.reference];
    if (!(fundamental > 0)) return kNoValue;
    double sum = 0;
    for (int c : d.harmonics) sum += double(raw[c]) * double(raw[c]);
    return static_cast<float>(std::sqrt(sum) / fundamental * 100.0);
}

float evaluate(const std::vector<float>& raw, const SeriesDefinition& d) {
    switch (d.row.kind) {
        case SeriesKind::Column:
            return raw[d.column];
        case SeriesKind::VoltagePercent: {
            const double fundamental = raw[d.reference];
            if (!(fundamental > 0)) return kNoValue;
            return static_cast<float>(raw[d.column] / fundamental * 100.0);
        }
        case SeriesKind::VoltageThd:
        case SeriesKind::CurrentThd:
            return distortion(raw, d);
    }
    return kNoValue;
}

std::vector<SeriesDefinition> seriesDefinitions(const std::vector<ResultColumn>& columns,
                                                int feederCount) {
    std::vector<SeriesDefinition> defs;
    auto find = [&](const std::string& name) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].name == name) return static_cast<int>(c);
        return -1;
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const ResultColumn& col = columns[c];
        SeriesDefinition d;
        d.row = rowOf(col.name, unitOf(col.quantity), SeriesKind::Column, col.quantity, col.order,
                      col.feeder);
        d.column = static_cast<int>(c);
        defs.push_back(d);
    }
    // The harmonic columns of one quantity (V, I1, I2, …) up to the 50th order.
    auto harmonicsOf = [&](const std::string& prefix) {
        std::vector<int> out;
        for (int n = 2; n <= 50; ++n)
            if (const int c = find(prefix + "_h" + std::to_string(n)); c >= 0) out.push_back(c);
        return out;
    };
    const int v1 = find("V_h1");
    for (int c : harmonicsOf("V")) {
        SeriesDefinition d;
        d.row = rowOf("V_pct_h" + std::to_string(columns[c].order), "%", SeriesKind::VoltagePercent,
                      ColumnQuantity::VoltageRms, columns[c].order, 0);
        d.column = c;
        d.reference = v1;
        defs.push_back(d);
    }
    SeriesDefinition v;
    v.row = rowOf("V_thd", "%", SeriesKind::VoltageThd, ColumnQuantity::VoltageRms, 0, 0);
    v.reference = v1;
    v.harmonics = harmonicsOf("V");
    defs.push_back(v);
    for (int k = 1; k <= feederCount; ++k) {
        const std::string prefix = "I" + std::to_string(k);
        SeriesDefinition d;
        d.row =
            rowOf(prefix + "_thd", "%", SeriesKind::CurrentThd, ColumnQuantity::CurrentRms, 0, k);
        d.reference = find(prefix + "_h1");
        d.harmonics = harmonicsOf(prefix);
        defs.push_back(d);
    }
    return defs;
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

CampaignData readCampaign(const std::vector<std::string>& names, const CampaignOptions& options) {
    std::vector<SourceFile> files = openFiles(names, options);
    CampaignData data;
    data.files = names;
    data.layout = files.front().layout;
    data.orders = writtenOrders(data.layout.option);
    data.times = mergeInTimeOrder(files);
    const std::size_t records = data.times.size();

    const std::vector<ResultColumn> columns = resultColumns(data.layout);
    std::vector<SeriesDefinition> defs = seriesDefinitions(columns, data.layout.feederCount);
    const std::size_t perBatch = std::max<std::size_t>(
        1, options.valueMemoryBytes / (sizeof(float) * std::max<std::size_t>(records, 1)));

    std::vector<float> raw(columns.size(), 0.0f);
    for (std::size_t first = 0; first < defs.size(); first += perBatch) {
        const std::size_t count = std::min(perBatch, defs.size() - first);
        // The columns this batch reads.
        std::vector<char> wanted(columns.size(), 0);
        for (std::size_t d = first; d < first + count; ++d) {
            if (defs[d].column >= 0) wanted[defs[d].column] = 1;
            if (defs[d].reference >= 0) wanted[defs[d].reference] = 1;
            for (int c : defs[d].harmonics) wanted[c] = 1;
        }
        std::vector<int> needed;
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (wanted[c]) needed.push_back(static_cast<int>(c));

        std::vector<std::vector<float>> values(count, std::vector<float>(records));
        for (const SourceFile& file : files)
            forEachRecord(file, [&](std::int64_t i, ByteReader& r, std::int64_t at) {
                for (int c : needed) raw[c] = readColumn(r, at, columns[c]);
                const std::uint32_t pos = file.position[static_cast<std::size_t>(i)];
                for (std::size_t d = 0; d < count; ++d)
                    values[d][pos] = evaluate(raw, defs[first + d]);
            });
        for (std::size_t d = 0; d < count; ++d) {
            SeriesDefinition& def = defs[first + d];
            // The distortion trends are kept in time order before the statistics
            // reorder the values.
            if (def.row.kind == SeriesKind::VoltageThd) data.voltageThd = values[d];
            if (def.row.kind == SeriesKind::CurrentThd) data.currentThd.push_back(values[d]);
            def.row.stats = describeSeries(values[d]);
            std::vector<float>().swap(values[d]);
        }
    }
    for (SeriesDefinition& d : defs) data.rows.push_back(std::move(d.row));
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

}  // namespace waveharm
