#pragma once
// What each fuzz harness does with one input, shared by the harnesses and by the
// test that replays the committed corpora and regression inputs. Malformed input
// must end in the reader's or the analysis's own error; anything else (a crash, a
// hang, an invariant broken by an accepted input) is a fault. Broken invariants
// abort, so that the fuzzer keeps the input.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/analyzer.h"
#include "exchange/comtrade.h"
#include "exchange/csv_record.h"
#include "input/recording.h"
#include "output/result_reader.h"
#include "output/result_writer.h"

namespace waveharm::fuzzing {

/// Whether the input was read (or analysed) or refused with an input/analysis error.
enum class Outcome { Empty, Accepted, Refused };

/// Header reader and sample loader of every layout. Byte 0 chooses the reading
/// options (bit 0 the 8840 layout, bit 1 voltage exchange, bits 2/3 inversions, bit 4
/// a time-difference correction); the rest is the file.
inline Outcome readRecordingInput(std::span<const std::uint8_t> data) {
    if (data.empty()) return Outcome::Empty;
    ReadOptions options;
    const std::uint8_t flags = data[0];
    options.wevFiles = (flags & 1) != 0;
    options.swapVoltages = (flags & 2) != 0;
    options.invertVoltage[0] = (flags & 4) != 0;
    options.invertCurrent[0] = (flags & 8) != 0;
    options.timeOffsetHours = (flags & 16) ? 9.0 : 0.0;
    const auto bytes = std::as_bytes(data.subspan(1));
    try {
        RecorderFileHeader header = parseHeader(bytes, options, "fuzz.MEM");
        const SampleTable samples = decodeSamples(bytes, header, options, "fuzz.MEM");
        if (samples.totalSamples() != header.totalSamples) std::abort();
        return Outcome::Accepted;
    } catch (const InputError&) {
        return Outcome::Refused;
    }
}

/// One recording through the whole analysis: header, samples, period, resampling,
/// transforms and quantities. Byte 0 = measurement type + 5 × sync mode + 20 × the
/// interpolation mode (bit 7 the 8840 layout), byte 1 = harmonic option + 5 × transform
/// size index.
inline Outcome analyseRecordingInput(std::span<const std::uint8_t> data) {
    if (data.size() < 2) return Outcome::Empty;
    ConversionSettings settings;
    const int choice = data[0] & 0x7F;
    settings.measurementType = static_cast<MeasurementType>(choice % 5);
    settings.syncMode = static_cast<SyncMode>((choice / 5) % 4);
    settings.interpolation = static_cast<InterpolationMode>((choice / 20) % 2);
    settings.wevFiles = (data[0] & 0x80) != 0;
    settings.setHarmonicOption(static_cast<HarmonicOption>(data[1] % 5));
    if (settings.harmonicOption() != HarmonicOption::HighOrder256)
        settings.setSampleCount(256 << ((data[1] / 5) % 3));
    const ReadOptions options = ReadOptions::from(settings);
    const auto bytes = std::as_bytes(data.subspan(2));
    try {
        Recording recording;
        recording.header = parseHeader(bytes, options, "fuzz.MEM");
        recording.samples = decodeSamples(bytes, recording.header, options, "fuzz.MEM");
        const int offered = maxFeederCount(recording.header, settings.measurementType);
        const int feeders = std::clamp(offered, 1, kMaxChannelFeeders);
        settings.setFeederCount(feeders);
        applyChannelLayout(settings, feeders);
        Analyzer analyzer(settings);
        WindowWaveforms window;
        HarmonicResult result;
        analyzer.analyze(recording, window, result);
        // An analysed recording never carries a non-finite value to the writers.
        for (int k = 0; k <= result.orders; ++k)
            if (!std::isfinite(result.voltageRms[k])) std::abort();
        return Outcome::Accepted;
    } catch (const InputError&) {
        return Outcome::Refused;
    } catch (const AnalysisError&) {
        return Outcome::Refused;
    }
}

/// The result-file reader. Byte 0 chooses how the layout is told: the harmonic option
/// (bits 0-2; 5 and above = from the name), the feeder count (bits 3-6; 0 = from the
/// name or the size, 10 and above out of range) and a per-phase name (bit 7).
inline Outcome readResultInput(std::span<const std::uint8_t> data) {
    if (data.empty()) return Outcome::Empty;
    const std::uint8_t choice = data[0];
    std::optional<HarmonicOption> option;
    if ((choice & 7) < 5) option = static_cast<HarmonicOption>(choice & 7);
    std::optional<int> feeders;
    if (((choice >> 3) & 15) != 0) feeders = (choice >> 3) & 15;
    // Names whose extension tells a layout, and one that tells none.
    static const char* const kNames[] = {"fuzz.hm2", "fuzz.Rhv3", "fuzz.ha4", "fuzz.dat"};
    const std::string name = kNames[(choice >> 7) + (option ? 0 : 2)];
    const auto bytes = std::as_bytes(data.subspan(1));
    try {
        const ResultRecordFormat format(
            resolveResultLayout(name, static_cast<std::int64_t>(bytes.size()), option, feeders));
        // Every record of a file the reader accepts is read whole, as dump and the
        // campaign read it: its time stamp and every column.
        std::vector<float> values(format.columns().size());
        std::size_t records = 0;
        forEachRecord(bytes, format, name, 0, [&](const RecordView& r) {
            r.time();
            r.values(format, values);
            ++records;
        });
        if (records * static_cast<std::size_t>(format.recordBytes()) != bytes.size()) std::abort();
        return Outcome::Accepted;
    } catch (const InputError&) {
        return Outcome::Refused;
    }
}

/// Whether a record the exchange readers accepted holds what it claims: a value for every
/// channel and row, and rate segments that cover the rows in order at positive rates.
inline bool wellFormed(const ChannelRecord& r) {
    if (r.channels.empty() || r.sampleCount < 1) return false;
    if (r.values.size() != r.channels.size() * static_cast<std::size_t>(r.sampleCount))
        return false;
    std::int64_t end = 0;
    for (const RateSegment& s : r.segments) {
        if (s.first != end || s.end <= s.first || !std::isfinite(s.rate) || s.rate <= 0)
            return false;
        end = s.end;
    }
    return end == r.sampleCount;
}

/// The COMTRADE and CSV readers. Byte 0 chooses the form: 0 a configuration and its data
/// file (bytes 1-2 the configuration's length, little-endian, then the configuration, then
/// the data), 1 a combined file, 2 CSV, 3 CSV read at a given rate; the rest is the input.
inline Outcome readExchangeInput(std::span<const std::uint8_t> data) {
    if (data.empty()) return Outcome::Empty;
    const int form = data[0] % 4;
    auto bytes = std::as_bytes(data.subspan(1));
    try {
        ChannelRecord record;
        if (form == 0) {
            if (bytes.size() < 2) return Outcome::Empty;
            const std::size_t cfgSize = std::min<std::size_t>(
                bytes.size() - 2, std::to_integer<std::size_t>(bytes[0]) |
                                      (std::to_integer<std::size_t>(bytes[1]) << 8));
            const auto cfg = bytes.subspan(2, cfgSize);
            record = parseComtrade(cfg, "fuzz.cfg", bytes.subspan(2 + cfgSize), "fuzz.dat");
        } else if (form == 1) {
            record = parseComtradeCombined(bytes, "fuzz.cff");
        } else {
            CsvOptions options;
            if (form == 3) options.rate = 10000;
            record = parseCsvRecord(bytes, "fuzz.csv", options);
        }
        if (!wellFormed(record)) std::abort();
        return Outcome::Accepted;
    } catch (const InputError&) {
        return Outcome::Refused;
    }
}

}  // namespace waveharm::fuzzing
