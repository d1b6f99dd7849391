#pragma once
// Records of other instruments (COMTRADE, CSV) made into recordings the analysis reads as
// it reads the recorder's own: the analysed stretch of the record, each quantity of the
// channel map in the slot the recorder's channel layout gives it, in volts and amperes.

#include <filesystem>
#include <string>

#include "exchange/channel_record.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Reads a record in the format `input` names (a `.cfg` with its `.dat`, a `.cff`, or a
/// CSV file at `input.csvRate`). Throws InputError.
ChannelRecord readChannelRecord(const std::filesystem::path& path, const RecordInput& input);

/// The settings the analysis of records runs under: the channel layout of the feeder count
/// (each quantity in its own slot), no current sense (the values are amperes), and the PT
/// and CT ratios only where the user gives them (else each record's own ratios have made
/// the values primary).
ConversionSettings settingsForRecords(const ConversionSettings& settings);

/// The record's analysed stretch as a recording under `settings` (the user's, not
/// `settingsForRecords`): the quantities of the channel map (or, without one, of the
/// proposal for the measurement type), exchanged and inverted as the settings say.
/// `name` names the file in errors. Throws InputError: NoChannel when the map names a
/// channel the record does not hold or leaves a needed quantity out, NotAnalysable when
/// no segment holds two periods or a used channel misses samples in the stretch.
void recordingFromRecord(const ChannelRecord& record, const std::string& name,
                         const ConversionSettings& settings, Recording& into);

/// The folder's files of the settings' format in start-time order: the recorder's own
/// (`scanFolder`, `jobs` threads) or records of other instruments.
WaveformFileList scanInputFolder(const std::filesystem::path& folder,
                                 const ConversionSettings& settings, int jobs = 1);

/// Feeders a record offers under the settings: those its channel map (or, without one,
/// the proposal for the measurement type) gives currents for, at least 1.
int recordFeederCount(const ChannelRecord& record, const ConversionSettings& settings);

/// Reads a record and makes it a recording (both of the above). Throws InputError.
void readRecordRecording(const std::filesystem::path& path, const ConversionSettings& settings,
                         Recording& into);

}  // namespace waveharm
