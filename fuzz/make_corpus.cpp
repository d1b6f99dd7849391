// waveharm-fuzz-corpus FOLDER: writes the seed corpora of the fuzz harnesses into
// FOLDER/fuzz_<harness>/ (normally fuzz/corpus). Seeds are small recordings of every
// layout (MR8880, 8847, 8841, 8835, 886x, 8840) and result files of every record
// layout written by the conversion run, each prefixed with the option byte(s) its
// harness reads first. The output is the same on every run, so the committed
// corpus only changes when the writers do.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/input_file.h"
#include "exchange/record_writer.h"
#include "input/recording.h"
#include "input/recording_writer.h"
#include "output/result_writer.h"
#include "run/conversion_driver.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;

// A V-connected three-phase circuit on the recorder's channels: the two line voltages
// (R-S, T-S) with a 5th harmonic, then the R and T currents of each feeder lagging by
// 30 degrees with 5th and 7th harmonics. Peaks stay below the range limit.
RecordingContent circuitRecording(const std::string& model, int channels, std::int64_t samples,
                                  int minute) {
    RecordingContent content;
    content.model = model;
    content.frequencyHz = 50;
    content.sampleRateHz = 10000;
    content.totalSamples = samples;
    content.start = CivilDateTime{2018, 12, 12, 10, minute, 10};
    content.noiseSeed = static_cast<std::uint32_t>(channels * 100 + minute);
    for (int c = 0; c < channels; ++c) {
        ChannelSignal s;
        const bool voltage = c < 2;
        const double phase = (c % 2 == 0) ? 30.0 : 90.0;
        const double peak = voltage ? 1400.0 : 600.0 + 50.0 * c;
        s.tones.push_back({1, peak, voltage ? phase : phase - 30.0});
        s.tones.push_back({5, peak * (voltage ? 0.05 : 0.2), 5 * phase});
        if (!voltage) s.tones.push_back({7, peak * 0.1, 7 * phase});
        s.noise = 2;
        s.rangeText = voltage ? "10V" : "50mV";
        content.channels.push_back(s);
    }
    return content;
}

void writeSeed(const fs::path& folder, const std::string& name,
               const std::vector<std::uint8_t>& prefix, const std::vector<std::byte>& body) {
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(prefix.data()),
              static_cast<std::streamsize>(prefix.size()));
    out.write(reinterpret_cast<const char*>(body.data()),
              static_cast<std::streamsize>(body.size()));
    if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
}

struct LayoutSeed {
    const char* model;
    const char* tag;  // file-name friendly model name
};

constexpr LayoutSeed kLayouts[] = {
    {"MR8880", "mr8880"}, {"8847", "8847"}, {"8841", "8841"},
    {"8835", "8835"},     {"8860", "886x"}, {"8840", "8840"},
};

// Header reader and loader: first byte = reading options (bit 0 the 8840 layout,
// bit 1 voltage exchange, bits 2/3 inversions, bit 4 time correction).
void recordingSeeds(const fs::path& out) {
    const fs::path dir = out / "fuzz_recording";
    for (const LayoutSeed& l : kLayouts) {
        const bool is8840 = std::string(l.model) == "8840";
        const std::uint8_t layoutBit = is8840 ? 1 : 0;
        const struct {
            int channels;
            std::int64_t samples;
            std::uint8_t flags;
        } variants[] = {{2, 300, 0}, {4, 400, 2 | 4}, {6, 300, 8 | 16}};
        for (const auto& v : variants) {
            const auto bytes =
                encodeRecording(circuitRecording(l.model, v.channels, v.samples, 15));
            writeSeed(dir, std::string(l.tag) + "_" + std::to_string(v.channels) + "ch",
                      {static_cast<std::uint8_t>(layoutBit | v.flags)}, bytes);
        }
    }
    // A `.MEM` file read with the 8840 option on, and the other way round: both refused.
    writeSeed(dir, "8841_as_8840", {1}, encodeRecording(circuitRecording("8841", 2, 300, 15)));
    writeSeed(dir, "8840_as_mem", {0}, encodeRecording(circuitRecording("8840", 2, 300, 15)));
}

// Full analysis: byte 0 = measurement type + 5 × sync mode + 20 × interpolation mode (bit 7
// the 8840 layout), byte 1 = harmonic option + 5 × transform size index.
void analysisSeeds(const fs::path& out) {
    const fs::path dir = out / "fuzz_analysis";
    int variant = 0;
    for (const LayoutSeed& l : kLayouts) {
        const bool is8840 = std::string(l.model) == "8840";
        for (int type = 0; type < 5; ++type) {
            // Single-phase two-wire and one-wattmeter types measure one current per feeder.
            const int channels = (type == 0 || type == 3) ? 3 : (type == 4 ? 6 : 4);
            const int sync = variant % 4;
            const int option = (variant + type) % 5;
            const int size = variant % 3;
            ++variant;
            const std::uint8_t b0 =
                static_cast<std::uint8_t>(type + 5 * sync) | (is8840 ? 0x80 : 0);
            const std::uint8_t b1 = static_cast<std::uint8_t>(option + 5 * size);
            const auto bytes = encodeRecording(circuitRecording(l.model, channels, 500, 15));
            writeSeed(dir, std::string(l.tag) + "_type" + std::to_string(type), {b0, b1}, bytes);
        }
        // The accurate window on a record of 10 periods: the period fit and the kernel.
        const std::uint8_t accurate = static_cast<std::uint8_t>(2 + 20) | (is8840 ? 0x80 : 0);
        writeSeed(dir, std::string(l.tag) + "_accurate", {accurate, 4 + 5 * 2},
                  encodeRecording(circuitRecording(l.model, 4, 2000, 15)));
    }
}

class Quiet : public ConversionObserver {};

// Result files written by a real run over two recordings (one record each).
std::vector<std::vector<std::byte>> resultFiles(const fs::path& scratch, MeasurementType type,
                                                HarmonicOption option, int feeders) {
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    WaveformFileList files;
    files.folder = scratch;
    for (int m = 0; m < 2; ++m) {
        const std::string name = "R" + std::to_string(m) + ".MEM";
        const RecordingContent content = circuitRecording("8841", 2 + 2 * feeders, 500, 15 + m);
        writeRecording(scratch / name, content);
        files.names.push_back(name);
        files.startTimes.push_back(DateTime::fromCivil(content.start));
    }
    ConversionSettings settings;
    settings.measurementType = type;
    settings.setHarmonicOption(option);
    settings.setFeederCount(feeders);
    applyChannelLayout(settings, feeders);
    settings.outputFileName = (scratch / ("result" + resultExtension(option, feeders))).string();
    Quiet quiet;
    ConversionDriver driver(settings, files, quiet);
    driver.start();
    while (driver.step()) {
    }
    driver.finish();
    if (driver.summary().analysed != 2) throw std::runtime_error("seed recordings not analysed");
    std::vector<std::vector<std::byte>> contents;
    for (const std::string& name : driver.summary().files)
        contents.push_back(readFileBytes(name, "result file"));
    return contents;
}

// Result reader: byte 0 = harmonic option (bits 0-2; 7 = from the name), feeder count
// (bits 3-6; 0 = from the name or the size), per-phase name (bit 7).
void resultSeeds(const fs::path& out, const fs::path& scratch) {
    const fs::path dir = out / "fuzz_result_reader";
    for (int option = 0; option < 5; ++option) {
        const int feeders = option == 4 ? 1 : 1 + option % 3;
        const auto o = static_cast<HarmonicOption>(option);
        const auto single = resultFiles(scratch, MeasurementType::ThreePhase2M, o, feeders);
        const auto b0 = static_cast<std::uint8_t>(option | (feeders << 3));
        writeSeed(dir, "single_option" + std::to_string(option), {b0}, single.at(0));
        const auto phases = resultFiles(scratch, MeasurementType::ThreePhase3M, o, feeders);
        writeSeed(dir, "phase_option" + std::to_string(option),
                  {static_cast<std::uint8_t>(b0 | 0x80)}, phases.at(0));
    }
    // The layout told by the name (".ha4") and the feeder count by the size.
    const auto ha4 = resultFiles(scratch, MeasurementType::ThreePhase2M,
                                 HarmonicOption::WithSuperpositionAngle, 1);
    writeSeed(dir, "ha4_from_name", {7}, ha4.at(0));
    fs::remove_all(scratch);
}

// A small record of another instrument: two line voltages and a current at 4 kS/s, a
// stretch at a lower rate after it, the trigger after a few periods.
ChannelRecord exchangeRecord() {
    ChannelRecord r;
    r.station = "Seed";
    r.device = "DFR";
    r.lineFrequency = 50;
    r.segments = {{4000, 0, 240}, {400, 240, 260}};
    r.sampleCount = 260;
    const char* names[] = {"VAB", "VCB", "IA"};
    for (int c = 0; c < 3; ++c) {
        RecordChannel ch;
        ch.number = c + 1;
        ch.rawName = ch.name = names[c];
        ch.phase = c < 2 ? "AB" : "A";
        ch.unit = c < 2 ? "kV" : "A";
        r.channels.push_back(ch);
    }
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 260; ++i)
            r.values.push_back((c < 2 ? 6.6 : 200) * std::sin(i * 0.0785398 + c * 2.0944));
    r.start = RecordTime::from(CivilDateTime{2023, 5, 12, 19, 45, 25}, 0.5);
    r.triggerSeconds = 0.04;
    return r;
}

std::vector<std::byte> textBytes(std::string_view text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

// Exchange readers: byte 0 = form (0 configuration + data, bytes 1-2 the configuration's
// length; 1 combined file; 2 CSV; 3 CSV at a given rate).
void exchangeSeeds(const fs::path& out) {
    const fs::path dir = out / "fuzz_exchange";
    const ChannelRecord record = exchangeRecord();
    const ComtradeRevision revisions[] = {ComtradeRevision::Rev1991, ComtradeRevision::Rev1999,
                                          ComtradeRevision::Rev2013};
    const ComtradeDataType types[] = {ComtradeDataType::Ascii, ComtradeDataType::Binary,
                                      ComtradeDataType::Binary32, ComtradeDataType::Float32};
    for (const ComtradeRevision revision : revisions) {
        for (const ComtradeDataType type : types) {
            const bool wide =
                type == ComtradeDataType::Binary32 || type == ComtradeDataType::Float32;
            if (wide && revision != ComtradeRevision::Rev2013) continue;
            const ComtradeWriteOptions options{revision, type, 3, 1};
            const ComtradeFiles files = writeComtrade(record, options);
            const auto size = static_cast<std::uint16_t>(files.cfg.size());
            std::vector<std::byte> body = textBytes(files.cfg);
            body.insert(body.end(), files.dat.begin(), files.dat.end());
            const std::string tag = std::string(revisionText(revision)) + "_" + dataTypeText(type);
            writeSeed(
                dir, tag,
                {0, static_cast<std::uint8_t>(size & 0xFF), static_cast<std::uint8_t>(size >> 8)},
                body);
            if (revision == ComtradeRevision::Rev2013)
                writeSeed(dir, tag + "_cff", {1}, writeComtradeCombined(record, options));
        }
    }
    writeSeed(dir, "csv_comma", {2}, textBytes(writeCsv(record, ',')));
    writeSeed(dir, "csv_semicolon", {2}, textBytes(writeCsv(record, ';')));
    writeSeed(dir, "csv_rate", {3}, textBytes(writeCsv(record, ',', false)));
}

}  // namespace
}  // namespace waveharm

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: waveharm-fuzz-corpus FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    try {
        const fs::path out = argv[1];
        waveharm::recordingSeeds(out);
        waveharm::analysisSeeds(out);
        waveharm::exchangeSeeds(out);
        waveharm::resultSeeds(out, fs::temp_directory_path() / "waveharm_fuzz_corpus_scratch");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "waveharm-fuzz-corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
