#include "output/record_csv.h"

#include <charconv>
#include <cstdio>

namespace waveharm {

std::string recordCsvHeader(const ResultRecordFormat& format) {
    std::string line = "date,time";
    for (const RecordField& column : format.columns()) line += "," + format.name(column);
    return line + "\n";
}

void appendRecordCsvLine(std::string& out, const RecordView& record,
                         const ResultRecordFormat& format) {
    const CivilDateTime c = record.time();
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d,%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    out += buf;
    for (const RecordField& column : format.columns()) {
        buf[0] = ',';
        // Shortest text with 7 significant digits, as printf's "%.7g" writes it.
        const auto end = column.isI16()
                             ? std::to_chars(buf + 1, std::end(buf), record.whole(column)).ptr
                             : std::to_chars(buf + 1, std::end(buf), record.value(column),
                                             std::chars_format::general, 7)
                                   .ptr;
        out.append(buf, end);
    }
    out += '\n';
}

}  // namespace waveharm
