#include "run/record_reading.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "engine/analyzer.h"
#include "exchange/analysed_stretch.h"
#include "exchange/channel_map.h"
#include "exchange/comtrade.h"
#include "exchange/csv_record.h"
#include "exchange/record_folder.h"
#include "input/header_text.h"

namespace waveharm {

ChannelRecord readChannelRecord(const std::filesystem::path& path, const RecordInput& input) {
    if (input.format == RecordFormat::Csv) return readCsvRecord(path, CsvOptions{input.csvRate});
    return readComtrade(path);
}

ConversionSettings settingsForRecords(const ConversionSettings& settings) {
    ConversionSettings analysis = settings;
    analysis.channelMap.fill(0);
    const int used = std::min(2 * settings.feederCount + 2, kChannelMapSize);
    for (int e = 0; e < used; ++e)
        analysis.channelMap[static_cast<std::size_t>(e)] = static_cast<std::int16_t>(e + 1);
    analysis.currentSenseOhms.fill(1);
    if (!settings.records.ratiosGiven) {
        analysis.ptRatio = 1;
        analysis.ctRatio.fill(1);
    }
    return analysis;
}

namespace {

// The map quantity of channel-map entry e: 0 R-S, 1 T-S, 2f and 2f+1 feeder f's R and T.
int quantityOfEntry(int e) { return e < 2 ? e : currentQuantity(e / 2, e % 2); }

// Where entry e's values go and whether they are negated: the voltages exchanged and
// inverted, a feeder's currents inverted, as the recorder's own files are read.
struct Placement {
    int entry = 0;  ///< the entry whose slot receives the values
    bool negate = false;
};

Placement placementOf(int e, const ConversionSettings& s) {
    if (e >= 2) return {e, s.invertCurrent[static_cast<std::size_t>(e / 2 - 1)]};
    const int target = s.swapVoltages ? 1 - e : e;
    return {target, s.invertVoltage[static_cast<std::size_t>(target)]};
}

ChannelSource sourceOf(const ChannelRecord& record, const RecordChannelMap& map, int quantity,
                       const std::string& name) {
    const std::string& expression = map.expressions[static_cast<std::size_t>(quantity)];
    if (expression.empty())
        throw InputError(ErrorKind::NoChannel, name, -1,
                         "the channel map names no channel for " + quantityKey(quantity));
    try {
        return resolveChannel(record, expression);
    } catch (const std::invalid_argument& e) {
        throw InputError(ErrorKind::NoChannel, name, -1,
                         quantityKey(quantity) + "=" + expression + ": " + e.what());
    }
}

bool clippedAt(const RecordChannel& ch, double v) {
    return v <= ch.clippedBelow || v >= ch.clippedAbove;
}

// Fills `column` with the source's values over the stretch; the samples at their format's
// limit are counted into `clipped`.
void fillColumn(const ChannelRecord& record, const ChannelSource& source,
                const AnalysedStretch& stretch, bool asWritten, bool negate,
                std::span<double> column, std::int64_t& clipped, const std::string& what,
                const std::string& name) {
    const RecordChannel& plus = record.channels[static_cast<std::size_t>(source.plus)];
    const RecordChannel* minus =
        source.minus >= 0 ? &record.channels[static_cast<std::size_t>(source.minus)] : nullptr;
    for (std::int64_t row = stretch.first; row < stretch.end; ++row) {
        const double v = sourceValue(record, source, row, asWritten);
        if (!std::isfinite(v))
            throw InputError(ErrorKind::NotAnalysable, name, -1,
                             what + " misses a sample at row " + std::to_string(row) +
                                 " of the analysed stretch");
        const auto r = static_cast<std::size_t>(row);
        clipped += clippedAt(plus, record.column(source.plus)[r]) ||
                   (minus && clippedAt(*minus, record.column(source.minus)[r]));
        column[static_cast<std::size_t>(row - stretch.first)] = negate ? -v : v;
    }
}

void fillHeader(const ChannelRecord& record, const AnalysedStretch& stretch,
                const ConversionSettings& settings, int slots, RecorderFileHeader& h) {
    h = RecorderFileHeader{};
    h.model = record.format;
    h.recordFormat = record.format;
    h.channelCount = static_cast<std::int16_t>(slots);
    h.countsPerDiv = 1;
    h.totalSamples = stretch.count();
    h.samplingRateKHz = stretch.rate / 1000;
    h.recordTimeMs = static_cast<double>(h.totalSamples - 1) / h.samplingRateKHz;
    h.timeAxisText = numberText(stretch.rate) + " S/s";
    if (record.start) {
        h.startTimeUncorrected = record.start->whole;
        h.startTime = h.startTimeUncorrected.plusHours(settings.timeOffsetHours);
    }
    h.rangePerDiv.fill(1);
}

}  // namespace

void recordingFromRecord(const ChannelRecord& record, const std::string& name,
                         const ConversionSettings& settings, Recording& into) {
    const AnalysedStretch stretch = chooseStretch(record);
    if (stretch.segment < 0)
        throw InputError(ErrorKind::NotAnalysable, name, -1,
                         "no rate segment holds two periods of the fundamental");
    const ConversionSettings analysis = settingsForRecords(settings);
    const RecordChannelMap map =
        settings.records.channelMap.empty()
            ? proposeChannelMap(record, settings.measurementType, settings.feederCount)
            : settings.records.channelMap;
    const int step = pairedChannels(settings.measurementType) ? 1 : 2;
    const int lastEntry = 2 * (settings.feederCount - 1) + 3;
    int slots = 0;
    for (int e = 0; e <= lastEntry; e += step) slots = std::max(slots, sourceSlot(analysis, e) + 1);
    fillHeader(record, stretch, settings, slots, into.header);
    into.samples.resetReal(stretch.count(), slots);
    for (int e = 0; e <= lastEntry; e += step) {
        const int quantity = quantityOfEntry(e);
        const ChannelSource source = sourceOf(record, map, quantity, name);
        const Placement place = placementOf(e, settings);
        const int slot = sourceSlot(analysis, place.entry);
        ChannelSlotInfo& info = into.header.slots[static_cast<std::size_t>(slot)];
        info.name = quantityKey(quantityOfEntry(place.entry));
        info.rangeText = map.expressions[static_cast<std::size_t>(quantity)];
        info.channelInUse = true;
        fillColumn(record, source, stretch, settings.records.ratiosGiven, place.negate,
                   into.samples.realColumn(slot), into.header.clippedSamples,
                   quantityKey(quantity) + "=" + info.rangeText, name);
    }
}

WaveformFileList scanInputFolder(const std::filesystem::path& folder,
                                 const ConversionSettings& settings, int jobs) {
    if (settings.records.format == RecordFormat::Recorder)
        return scanFolder(folder, settings.wevFiles, jobs);
    return scanRecordFolder(folder, settings.records.format);
}

int recordFeederCount(const ChannelRecord& record, const ConversionSettings& settings) {
    const RecordChannelMap map = settings.records.channelMap.empty()
                                     ? proposeChannelMap(record, settings.measurementType)
                                     : settings.records.channelMap;
    return std::max(1, mappedFeeders(map, settings.measurementType));
}

void readRecordRecording(const std::filesystem::path& path, const ConversionSettings& settings,
                         Recording& into) {
    const ChannelRecord record = readChannelRecord(path, settings.records);
    recordingFromRecord(record, utf8Text(path.filename()), settings, into);
}

}  // namespace waveharm
