#pragma once
// The information `info` prints for a record of another instrument (COMTRADE, CSV).

#include <filesystem>

#include "exchange/channel_record.h"
#include "settings/conversion_settings.h"

namespace waveharm::cli {

/// Prints the record's information, channels, rate segments, the stretch the analysis
/// reads and the channel map proposed for measurement type `type`.
void printChannelRecord(const std::filesystem::path& path, const ChannelRecord& record,
                        MeasurementType type);

}  // namespace waveharm::cli
