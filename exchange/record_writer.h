#pragma once
// Writes records in the exchange formats: COMTRADE of every revision and data type, as a
// configuration with its data file or as one combined file, and CSV. The demo folders, the
// tests and the fuzzers' seed inputs are made with it; the readers read them back.

#include <cstddef>
#include <string>
#include <vector>

#include "exchange/channel_record.h"
#include "exchange/comtrade.h"

namespace waveharm {

struct ComtradeWriteOptions {
    ComtradeRevision revision = ComtradeRevision::Rev1999;
    ComtradeDataType dataType = ComtradeDataType::Binary;
    int digitalCount = 0;  ///< digital channels written (always 0)
    /// Write secondary values with this primary/secondary ratio per channel (1: primary).
    double secondaryRatio = 1;
};

struct ComtradeFiles {
    std::string cfg;
    std::vector<std::byte> dat;
};

/// A record's channels, segments, start and trigger as a configuration and a data file.
/// Integer formats scale each channel to use most of their range; missing values (NaN)
/// are written as the format's missing mark. The channels' clip and missing counts are
/// not read.
ComtradeFiles writeComtrade(const ChannelRecord& record, const ComtradeWriteOptions& options);

/// The same as a 2013 combined file (the options' revision is taken as 2013).
std::vector<std::byte> writeComtradeCombined(const ChannelRecord& record,
                                             ComtradeWriteOptions options);

/// A record as CSV: a time column "time" in seconds (or none), then one column per
/// channel named after it; ';' with decimal commas or ',' with decimal points.
std::string writeCsv(const ChannelRecord& record, char separator = ',', bool timeColumn = true);

}  // namespace waveharm
