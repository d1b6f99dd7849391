// A recording read from the disk in pieces holds what decoding the whole file from memory
// gives, for every layout, reads only a small part of a long recording, and reports a
// file cut short exactly as the whole read does.
#include "base/file_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "input/recording.h"
#include "input/recording_writer.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

constexpr std::int64_t kSamples = 100000;
constexpr RowRange kRows{5000, 5600};

std::vector<std::byte> recordingBytes(const std::string& model) {
    RecordingContent c;
    c.model = model;
    c.totalSamples = kSamples;
    c.channels.push_back({{{1, 1000, 0}}});
    c.channels.push_back({{{1, 900, -60}}});
    c.channels.push_back({{{1, 700, -30}, {5, 90, 10}}, 0, 2});
    c.channels.push_back({{{1, 650, -90}, {7, 40, 0}}, 0, 2});
    return encodeRecording(c);
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::byte>& bytes,
                std::size_t count) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}

class FilePiecesTest : public ::testing::TestWithParam<const char*> {
  protected:
    ReadOptions options() const {
        ReadOptions o;
        o.wevFiles = std::string(GetParam()) == "8840";
        o.invertCurrent[0] = true;
        return o;
    }
    testing::ScratchFolder m_folder;
};

TEST_P(FilePiecesTest, RowsReadInPiecesMatchTheWholeFileDecodedFromMemory) {
    const auto bytes = recordingBytes(GetParam());
    const auto path = m_folder / "rec.MEM";
    writeBytes(path, bytes, bytes.size());
    const ReadOptions read = options();

    Recording fromDisk;
    FilePieces file;
    readRecording(
        path, read, [](const RecorderFileHeader&) { return kRows; }, fromDisk, file);
    RecorderFileHeader header = parseHeader(bytes, read, "rec.MEM");
    const SampleTable fromMemory = decodeSamples(bytes, header, read, "rec.MEM", kRows);

    EXPECT_EQ(fromDisk.header.totalSamples, header.totalSamples);
    EXPECT_EQ(fromDisk.header.rangePerDiv, header.rangePerDiv);
    EXPECT_EQ(fromDisk.header.channelScale, header.channelScale);
    ASSERT_EQ(fromDisk.samples.channelCount(), fromMemory.channelCount());
    for (int slot = 0; slot < fromMemory.channelCount(); ++slot) {
        const auto a = fromDisk.samples.column(slot);
        const auto b = fromMemory.column(slot);
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "slot " << slot;
    }
    EXPECT_LT(file.bytesFetched(), static_cast<std::int64_t>(bytes.size()) / 4)
        << "the header and 600 rows of " << bytes.size() << " bytes";

    // Rows beyond those chosen: the whole table, as from memory.
    readRecording(path, read, {}, fromDisk, file);
    const SampleTable whole = decodeSamples(bytes, header, read, "rec.MEM");
    for (int slot = 0; slot < whole.channelCount(); ++slot) {
        const auto a = fromDisk.samples.column(slot);
        const auto b = whole.column(slot);
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "slot " << slot;
    }
}

TEST_P(FilePiecesTest, AFileCutShortFailsAsTheWholeReadDoes) {
    const auto bytes = recordingBytes(GetParam());
    const auto path = m_folder / "rec.MEM";
    writeBytes(path, bytes, bytes.size() - 3);
    const std::vector<std::byte> cut(bytes.begin(), bytes.end() - 3);
    const ReadOptions read = options();
    std::string expected;
    try {
        RecorderFileHeader h = parseHeader(cut, read, "rec.MEM");
        decodeSamples(cut, h, read, "rec.MEM", kRows);
    } catch (const InputError& e) {
        expected = e.what();
    }
    ASSERT_FALSE(expected.empty()) << "a recording 3 bytes short is refused";
    try {
        readRecording(path, read, [](const RecorderFileHeader&) { return kRows; });
        ADD_FAILURE() << "read in pieces accepted a file cut short";
    } catch (const InputError& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FilePiecesTest,
                         ::testing::Values("MR8880", "8847", "8841", "8860", "8840"));

// Sixteen channels (eight on the 8840) of 20 000 samples, read one layout after another
// through one reader as a run does: what the whole file gives, from a small part of it.
RecordingContent wideRecording(const std::string& model) {
    RecordingContent c;
    c.model = model;
    c.totalSamples = 20000;
    c.pretriggerPercent = 46;
    for (int k = 0; k < (model == "8840" ? 8 : 16); ++k)
        c.channels.push_back({{{1, 900.0 - 40 * k, 17.0 * k}, {5, 60, 0}}, 3.0 * k, 2});
    return c;
}

constexpr RowRange kWideRows{9100, 9900};
const char* const kLayouts[] = {"MR8880", "8847", "8841", "8860", "8840"};

ReadOptions wideOptions(const std::string& model) {
    ReadOptions o;
    o.wevFiles = model == "8840";
    o.swapVoltages = true;
    o.invertVoltage[1] = true;
    return o;
}

TEST(FilePieces, OneReaderAcrossLayoutsFetchesTheHeaderAndTheRowsOnly) {
    testing::ScratchFolder folder;
    FilePieces file;
    for (const std::string model : kLayouts) {
        SCOPED_TRACE(model);
        const ReadOptions read = wideOptions(model);
        const auto bytes = encodeRecording(wideRecording(model));
        const auto path = folder / "wide.MEM";
        writeBytes(path, bytes, bytes.size());
        RecorderFileHeader header = parseHeader(bytes, read, "wide.MEM");
        const SampleTable whole = decodeSamples(bytes, header, read, "wide.MEM");

        Recording r;
        readRecording(
            path, read, [](const RecorderFileHeader&) { return kWideRows; }, r, file);
        EXPECT_EQ(r.header.model, header.model);
        EXPECT_EQ(r.header.channelCount, header.channelCount);
        EXPECT_EQ(r.header.sampleOffset, header.sampleOffset);
        EXPECT_EQ(r.header.startTime, header.startTime);
        EXPECT_EQ(r.header.rangePerDiv, header.rangePerDiv);
        EXPECT_EQ(r.header.channelScale, header.channelScale);
        for (int slot = 0; slot < whole.channelCount(); ++slot)
            for (std::int64_t i = kWideRows.first; i < kWideRows.end; ++i)
                ASSERT_EQ(r.samples.at(i, slot), whole.at(i, slot)) << slot << " " << i;
        // The header's piece and 800 rows of 20 000: every 8840 channel's rows as asked.
        EXPECT_LT(file.bytesFetched(), static_cast<std::int64_t>(bytes.size()) / 6);

        EXPECT_EQ(readHeader(path, read, file).totalSamples, 20000);
        EXPECT_LE(file.bytesFetched(), 32 * 1024) << "one piece for the header";
    }
}

// Cut inside the header, inside a 886x chain, inside or after the rows asked for: the
// kind, byte and reason of the whole-file read, or a read as good as it.
TEST(FilePieces, FilesCutAnywhereFailAsTheWholeReadDoes) {
    testing::ScratchFolder folder;
    FilePieces file;
    for (const std::string model : kLayouts) {
        const ReadOptions read = wideOptions(model);
        const auto full = encodeRecording(wideRecording(model));
        const std::int64_t data = parseHeader(full, read, "cut.MEM").sampleOffset;
        const std::int64_t n = static_cast<std::int64_t>(full.size());
        for (const std::int64_t length : {std::int64_t{100}, std::int64_t{700}, data - 5, data + 40,
                                          data + 300, n / 2, n - 1}) {
            SCOPED_TRACE(model + " cut at " + std::to_string(length));
            const std::vector<std::byte> cut(full.begin(), full.begin() + length);
            writeBytes(folder / "cut.MEM", cut, cut.size());
            std::string fromMemory = "read", fromDisk = "read";
            try {
                RecorderFileHeader h = parseHeader(cut, read, "cut.MEM");
                decodeSamples(cut, h, read, "cut.MEM", kWideRows);
            } catch (const InputError& e) {
                fromMemory = std::to_string(int(e.kind())) + " " + e.what();
            }
            try {
                Recording r;
                readRecording(
                    folder / "cut.MEM", read, [](const RecorderFileHeader&) { return kWideRows; },
                    r, file);
            } catch (const InputError& e) {
                fromDisk = std::to_string(int(e.kind())) + " " + e.what();
            }
            EXPECT_EQ(fromDisk, fromMemory);
        }
    }
}

TEST(FilePieces, AFileShortenedWhileOpenIsACleanReadError) {
    testing::ScratchFolder folder;
    const auto path = folder / "rec.MEM";
    const std::vector<std::byte> bytes(200000, std::byte{7});
    writeBytes(path, bytes, bytes.size());
    FilePieces file;
    file.open(path, "rec.MEM", "recording");
    EXPECT_EQ(file.at(0, 10)[9], std::byte{7});
    std::filesystem::resize_file(path, 1000);
    try {
        file.at(150000, 100);
        ADD_FAILURE() << "bytes past the new end were handed out";
    } catch (const InputError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::CannotRead);
        EXPECT_EQ(e.file(), "rec.MEM");
    }
}

TEST(FilePieces, RowsStartingInTheHeadersPieceFetchOnlyTheirRest) {
    testing::ScratchFolder folder;
    std::vector<std::byte> bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::byte(i * 7 % 251);
    writeBytes(folder / "rec.MEM", bytes, bytes.size());
    FilePieces file;
    file.open(folder / "rec.MEM", "rec.MEM", "recording");
    file.at(10, 4);  // a header field: the file's first 32 KB
    const std::byte* rows = file.at(30000, 10000);
    EXPECT_TRUE(std::equal(rows, rows + 10000, bytes.begin() + 30000));
    EXPECT_EQ(file.bytesFetched(), 40000);
}

}  // namespace
}  // namespace waveharm
