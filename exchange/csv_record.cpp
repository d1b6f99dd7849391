#include "exchange/csv_record.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/input_file.h"
#include "base/utf8_path.h"
#include "exchange/record_text.h"

namespace waveharm {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

struct CsvLayout {
    char separator = ',';
    std::vector<std::string> names;
    int timeColumn = -1;
};

std::string lowerLetters(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string_view unquoted(std::string_view field) {
    field = trimmed(field);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = trimmed(field.substr(1, field.size() - 2));
    return field;
}

// The fields of one row, into `fields` (kept between rows).
void splitRow(std::string_view line, char separator, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = line.find(separator, begin);
        fields.push_back(unquoted(line.substr(begin, end - begin)));
        if (end == std::string_view::npos) return;
        begin = end + 1;
    }
}

bool isTimeName(std::string_view name) {
    const std::string lower = lowerLetters(name);
    return lower == "t" || lower.starts_with("time") || lower.starts_with("date") || lower == "s" ||
           lower == "sec" || lower == "seconds";
}

CsvLayout readLayout(TextLines& lines, std::string_view header) {
    CsvLayout layout;
    // Excel's "sep=;" line names the separator before the header.
    if (lowerLetters(header).starts_with("sep=") && header.size() >= 5) {
        layout.separator = header[4];
        header = lines.next("the header row");
    } else if (header.find(';') != std::string_view::npos) {
        layout.separator = ';';
    } else if (header.find(',') == std::string_view::npos &&
               header.find('\t') != std::string_view::npos) {
        layout.separator = '\t';
    }
    std::vector<std::string_view> fields;
    splitRow(header, layout.separator, fields);
    if (!fields.empty() && fields.back().empty() && fields.size() > 1) fields.pop_back();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].empty())
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "column " + std::to_string(i + 1) + " of the header row has no name");
        if (realNumber(fields[i], layout.separator == ';'))
            lines.fail(ErrorKind::NotARecording,
                       "the first row holds numbers, not the names "
                       "of the columns");
        layout.names.emplace_back(fields[i]);
        if (layout.timeColumn < 0 && isTimeName(fields[i])) layout.timeColumn = static_cast<int>(i);
    }
    if (layout.names.size() < (layout.timeColumn < 0 ? 1u : 2u))
        lines.fail(ErrorKind::NoChannel, "the header row names no channel");
    return layout;
}

// "yyyy-mm-dd hh:mm:ss.fffffffff" (or with "/" and "T", a "Z" at the end).
std::optional<RecordTime> stampTime(std::string_view t) {
    if (!t.empty() && (t.back() == 'Z' || t.back() == 'z')) t.remove_suffix(1);
    if (t.size() < 19 || (t[10] != ' ' && t[10] != 'T')) return std::nullopt;
    const char dash = t[4];
    if ((dash != '-' && dash != '/') || t[7] != dash) return std::nullopt;
    const auto y = digitsValue(t.substr(0, 4), 4);
    const auto m = digitsValue(t.substr(5, 2), 2);
    const auto d = digitsValue(t.substr(8, 2), 2);
    if (!y || !m || !d) return std::nullopt;
    CivilDateTime c;
    c.year = *y;
    c.month = *m;
    c.day = *d;
    double fraction = 0;
    int digits = 0;
    if (!isCalendarDate(c) || !clockTime(t.substr(11), c, fraction, digits)) return std::nullopt;
    return RecordTime::from(c, fraction);
}

// The rows' times in seconds: numbers, or stamps counted from the first (which is then
// the record's start).
class TimeColumn {
  public:
    void read(const TextLines& lines, std::string_view field, bool decimalComma) {
        if (m_seconds.empty()) m_stamps = !realNumber(field, decimalComma) && stampTime(field);
        if (m_stamps) {
            const auto t = stampTime(field);
            if (!t)
                lines.fail(ErrorKind::InvalidHeaderValue,
                           "time '" + shownName(field) + "' is not yyyy-mm-dd hh:mm:ss");
            if (!m_start) m_start = *t;
            m_seconds.push_back(t->secondsSince(*m_start));
            m_lines.push_back(lines.lineNumber());
            return;
        }
        const auto v = realNumber(field, decimalComma);
        if (!v)
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "time '" + shownName(field) + "' is not a number of seconds");
        m_seconds.push_back(*v);
        m_lines.push_back(lines.lineNumber());
    }
    const std::optional<RecordTime>& start() const { return m_start; }

    /// The rate the times give: they must advance evenly.
    double rate(const std::string& name) const {
        const auto& t = m_seconds;
        if (t.size() < 2)
            throw InputError(ErrorKind::InvalidHeaderValue, name, -1,
                             "one row tells no sampling rate");
        const double mean = (t.back() - t.front()) / static_cast<double>(t.size() - 1);
        for (std::size_t i = 1; i < t.size(); ++i) {
            if (evenStep(t[i] - t[i - 1], mean)) continue;
            throw InputError(
                ErrorKind::InvalidHeaderValue, name, -1,
                "line " + std::to_string(m_lines[i]) + ": the time column does not advance evenly");
        }
        return 1 / mean;
    }

  private:
    std::vector<double> m_seconds;
    std::vector<int> m_lines;
    std::optional<RecordTime> m_start;
    bool m_stamps = false;
};

// Rows of data in the rest of the text (blank lines not counted), to size the record.
std::int64_t countRows(TextLines lines) {
    std::int64_t rows = 0;
    while (const auto line = lines.tryNext())
        if (!trimmed(*line).empty()) ++rows;
    return rows;
}

struct RowContext {
    const CsvLayout& layout;
    std::vector<std::string_view> fields;
    TimeColumn time;
};

void readRow(const TextLines& lines, std::string_view line, std::int64_t row, RowContext& context,
             ChannelRecord& record) {
    const CsvLayout& layout = context.layout;
    auto& fields = context.fields;
    splitRow(line, layout.separator, fields);
    if (fields.size() == layout.names.size() + 1 && fields.back().empty()) fields.pop_back();
    if (fields.size() != layout.names.size())
        lines.fail(ErrorKind::InvalidHeaderValue, "the row has " + std::to_string(fields.size()) +
                                                      " columns, the header " +
                                                      std::to_string(layout.names.size()));
    const bool decimalComma = layout.separator == ';';
    int channel = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (static_cast<int>(i) == layout.timeColumn) {
            context.time.read(lines, fields[i], decimalComma);
            continue;
        }
        double& value = record.column(channel)[static_cast<std::size_t>(row)];
        if (fields[i].empty()) {
            value = kMissing;
            ++record.channels[static_cast<std::size_t>(channel)].missingSamples;
        } else if (const auto v = realNumber(fields[i], decimalComma)) {
            value = *v;
        } else {
            lines.fail(ErrorKind::InvalidHeaderValue, "value '" + shownName(fields[i]) +
                                                          "' of column '" + layout.names[i] +
                                                          "' is not a number");
        }
        ++channel;
    }
}

}  // namespace

ChannelRecord parseCsvRecord(std::span<const std::byte> bytes, const std::string& name,
                             const CsvOptions& options) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t bom = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    TextLines lines(text.substr(bom), name, 1, static_cast<std::int64_t>(bom));
    std::string_view header = lines.next("the header row");
    while (trimmed(header).empty()) header = lines.next("the header row");
    const CsvLayout layout = readLayout(lines, header);
    if (options.rate && !(*options.rate > 0))
        throw InputError(ErrorKind::InvalidHeaderValue, name, -1, "the rate is not positive");
    if (!options.rate && layout.timeColumn < 0)
        throw InputError(ErrorKind::InvalidHeaderValue, name, -1,
                         "no time column (a column named 'time') and no rate given");
    ChannelRecord record;
    record.format = "CSV";
    for (std::size_t i = 0; i < layout.names.size(); ++i) {
        if (static_cast<int>(i) == layout.timeColumn) continue;
        RecordChannel ch;
        ch.number = static_cast<int>(record.channels.size()) + 1;
        ch.rawName = layout.names[i];
        ch.name = shownName(ch.rawName);
        ch.unit = unitInName(ch.name);
        record.channels.push_back(ch);
    }
    const auto channels = static_cast<std::int64_t>(record.channels.size());
    record.sampleCount = countRows(lines);
    if (record.sampleCount == 0)
        throw InputError(ErrorKind::FileTooShort, name, static_cast<std::int64_t>(text.size()),
                         "no row of samples follows the header row");
    if (record.sampleCount > kMaxRecordValues / channels)
        lines.fail(ErrorKind::InvalidHeaderValue, "more rows than a record can hold");
    record.values.assign(static_cast<std::size_t>(record.sampleCount * channels), 0.0);
    RowContext context{layout, {}, {}};
    std::int64_t row = 0;
    while (const auto line = lines.tryNext()) {
        if (trimmed(*line).empty()) continue;
        readRow(lines, *line, row++, context, record);
    }
    const double rate = options.rate ? *options.rate : context.time.rate(name);
    record.segments.push_back({rate, 0, record.sampleCount});
    record.start = context.time.start();
    return record;
}

std::optional<RecordTime> csvStartTime(std::span<const std::byte> head, bool whole) {
    std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    TextLines lines(text, "");
    std::optional<std::string_view> header = lines.tryNext();
    while (header && trimmed(*header).empty()) header = lines.tryNext();
    if (!header) return std::nullopt;
    const CsvLayout layout = readLayout(lines, *header);
    if (layout.timeColumn < 0) return std::nullopt;
    std::optional<std::string_view> row = lines.tryNext();
    while (row && trimmed(*row).empty()) row = lines.tryNext();
    // The first row must be whole: a head that ends within it tells nothing.
    const bool ended = lines.position() > 0 &&
                       (text[lines.position() - 1] == '\n' || text[lines.position() - 1] == '\r');
    if (!row || (!ended && !whole)) return std::nullopt;
    std::vector<std::string_view> fields;
    splitRow(*row, layout.separator, fields);
    if (static_cast<std::size_t>(layout.timeColumn) >= fields.size()) return std::nullopt;
    return stampTime(fields[static_cast<std::size_t>(layout.timeColumn)]);
}

ChannelRecord readCsvRecord(const std::filesystem::path& path, const CsvOptions& options) {
    const std::vector<std::byte> bytes = readFileBytes(path, "record");
    return parseCsvRecord(bytes, utf8Text(path.filename()), options);
}

std::string unitInName(std::string_view name) {
    static constexpr std::string_view kUnits[] = {"V", "kV", "mV", "A", "kA", "mA"};
    const auto known = [](std::string_view t) {
        for (const std::string_view u : kUnits)
            if (sameLetters(t, u)) return std::string(u);
        return std::string();
    };
    name = trimmed(name);
    const std::size_t open = name.find_last_of("[(");
    if (open != std::string_view::npos) {
        const std::size_t close = name.find_first_of("])", open);
        if (close != std::string_view::npos)
            return std::string(trimmed(name.substr(open + 1, close - open - 1)));
    }
    const std::size_t cut = name.find_last_of("_ ");
    if (cut == std::string_view::npos) return "";
    return known(name.substr(cut + 1));
}

}  // namespace waveharm
