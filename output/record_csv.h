#pragma once
// Result records as CSV text, one line per record after a header naming every column,
// as `waveharm-cli dump` prints them and the campaign view exports them.

#include <string>

#include "output/record_format.h"
#include "output/result_reader.h"

namespace waveharm {

/// "date,time," and the name of every column of `format`, ending in "\n".
std::string recordCsvHeader(const ResultRecordFormat& format);

/// Appends the record's line: "yyyy-mm-dd,hh:mm", then every column of `format` (floats
/// with 7 significant digits, angles as whole degrees), ending in "\n". Throws
/// InputError when the record's stamp names no real minute.
void appendRecordCsvLine(std::string& out, const RecordView& record,
                         const ResultRecordFormat& format);

}  // namespace waveharm
