#include "input/recording.h"

#include <algorithm>
#include <cassert>

#include "input/layouts.h"

namespace waveharm {

SampleTable::SampleTable(std::int64_t totalSamples, int channelCount)
    : m_samples(totalSamples), m_channels(channelCount) {
    assert(totalSamples >= 0 && channelCount >= 0 && "sample table dimensions");
    m_data.assign(static_cast<std::size_t>((totalSamples + 1) * channelCount), 0);
    m_loaded = {0, totalSamples};
}

void SampleTable::reset(std::int64_t totalSamples, int channelCount, RowRange rows) {
    assert(totalSamples >= 0 && channelCount >= 0 && "sample table dimensions");
    const auto size = static_cast<std::size_t>((totalSamples + 1) * channelCount);
    if (m_real || totalSamples != m_samples || channelCount != m_channels ||
        m_data.size() != size) {
        *this = SampleTable(totalSamples, channelCount);
    } else if (!m_loaded.empty()) {
        // Only the rows decoded last time can be other than 0.
        for (int slot = 0; slot < m_channels; ++slot) {
            const auto held =
                column(slot).subspan(static_cast<std::size_t>(m_loaded.first),
                                     static_cast<std::size_t>(m_loaded.end - m_loaded.first));
            std::fill(held.begin(), held.end(), std::int16_t{0});
        }
    }
    m_loaded = rows;
}

std::size_t SampleTable::index(std::int64_t i, int slot) const {
    assert(i >= 0 && i <= m_samples && slot >= 0 && slot < m_channels && "sample index");
    return static_cast<std::size_t>(slot * (m_samples + 1) + i);
}

std::span<const std::int16_t> SampleTable::column(int slot) const {
    assert(!m_real && "a table of counts");
    return {m_data.data() + index(0, slot), static_cast<std::size_t>(m_samples + 1)};
}

std::span<std::int16_t> SampleTable::column(int slot) {
    assert(!m_real && "a table of counts");
    return {m_data.data() + index(0, slot), static_cast<std::size_t>(m_samples + 1)};
}

void SampleTable::resetReal(std::int64_t totalSamples, int channelCount) {
    assert(totalSamples >= 0 && channelCount >= 0 && "sample table dimensions");
    *this = SampleTable();
    m_samples = totalSamples;
    m_channels = channelCount;
    m_loaded = {0, totalSamples};
    m_real = true;
    m_realData.assign(static_cast<std::size_t>((totalSamples + 1) * channelCount), 0.0);
}

std::span<const double> SampleTable::realColumn(int slot) const {
    assert(m_real && "a table of real values");
    return {m_realData.data() + index(0, slot), static_cast<std::size_t>(m_samples + 1)};
}

std::span<double> SampleTable::realColumn(int slot) {
    assert(m_real && "a table of real values");
    return {m_realData.data() + index(0, slot), static_cast<std::size_t>(m_samples + 1)};
}

ReadOptions ReadOptions::from(const ConversionSettings& settings) {
    ReadOptions o;
    o.wevFiles = settings.wevFiles;
    o.timeOffsetHours = settings.timeOffsetHours;
    o.swapVoltages = settings.swapVoltages;
    o.invertVoltage = settings.invertVoltage;
    o.invertCurrent = settings.invertCurrent;
    o.channelsPerFeeder = waveharm::channelsPerFeeder(settings.measurementType);
    return o;
}

int maxFeederCount(const RecorderFileHeader& header, MeasurementType type) {
    const int perFeeder = header.recorderFamily == 40 ? 2 : channelsPerFeeder(type);
    const int m = (header.channelCount - perFeeder) / perFeeder;
    // A recording's channels carry the currents of at most seven feeders (ch3 to ch16);
    // the same cap holds for the settings screen, `convert` and `info`.
    return std::clamp(m, 1, kMaxChannelFeeders);
}

namespace {

RecorderFileHeader parseHeaderFrom(ByteReader& reader, const ReadOptions& options) {
    return options.wevFiles ? detail::parse8840Header(reader, options)
                            : detail::parseMemHeader(reader, options);
}

void decodeSamplesFrom(ByteReader& reader, RecorderFileHeader& header, const ReadOptions& options,
                       std::optional<RowRange> rows, SampleTable& table) {
    RowRange span{0, header.totalSamples};
    if (rows) {
        span.first = std::clamp<std::int64_t>(rows->first, 0, header.totalSamples);
        span.end = std::clamp<std::int64_t>(rows->end, span.first, header.totalSamples);
    }
    switch (header.recorderFamily) {
        case 40:
            detail::decode8840(reader, header, options, span, table);
            break;
        case 86:
            detail::decode886x(reader, header, options, span, table);
            break;
        case 80:
        case 47:
        case 41:
            detail::decodeFrames(reader, header, options, span, table);
            break;
        default:
            throw InputError(ErrorKind::NotARecording, reader.file(), -1,
                             "recorder family " + std::to_string(header.recorderFamily) +
                                 " has no known sample layout");
    }
    detail::applyVoltageNegation(table, options);
}

}  // namespace

RecorderFileHeader parseHeader(std::span<const std::byte> bytes, const ReadOptions& options,
                               const std::string& name) {
    ByteReader reader(bytes, name);
    return parseHeaderFrom(reader, options);
}

SampleTable decodeSamples(std::span<const std::byte> bytes, RecorderFileHeader& header,
                          const ReadOptions& options, const std::string& name,
                          std::optional<RowRange> rows) {
    SampleTable table;
    decodeSamples(bytes, header, options, name, rows, table);
    return table;
}

void decodeSamples(std::span<const std::byte> bytes, RecorderFileHeader& header,
                   const ReadOptions& options, const std::string& name,
                   std::optional<RowRange> rows, SampleTable& table) {
    ByteReader reader(bytes, name);
    decodeSamplesFrom(reader, header, options, rows, table);
}

Recording readRecording(const std::filesystem::path& path, const ReadOptions& options,
                        const RowChooser& rows) {
    Recording r;
    FilePieces file;
    readRecording(path, options, rows, r, file);
    return r;
}

void readRecording(const std::filesystem::path& path, const ReadOptions& options,
                   const RowChooser& rows, Recording& into, FilePieces& file) {
    const std::string name = utf8Text(path.filename());
    file.open(path, utf8Text(path), "recording");
    ByteReader reader(file, name);
    try {
        into.header = parseHeaderFrom(reader, options);
        decodeSamplesFrom(reader, into.header, options,
                          rows ? rows(into.header) : std::optional<RowRange>{}, into.samples);
    } catch (...) {
        // A recording refused is not held open until the next one is read.
        file.close();
        throw;
    }
    file.close();
}

RecorderFileHeader readHeader(const std::filesystem::path& path, const ReadOptions& options) {
    FilePieces file;
    return readHeader(path, options, file);
}

RecorderFileHeader readHeader(const std::filesystem::path& path, const ReadOptions& options,
                              FilePieces& file) {
    file.open(path, utf8Text(path), "recording");
    ByteReader reader(file, utf8Text(path.filename()));
    try {
        RecorderFileHeader header = parseHeaderFrom(reader, options);
        file.close();
        return header;
    } catch (...) {
        file.close();
        throw;
    }
}

}  // namespace waveharm
