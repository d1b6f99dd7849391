// A recording read from the disk in pieces holds what decoding the whole file from memory
// gives, for every layout, reads only a small part of a long recording, and reports a
// file cut short exactly as the whole read does.
#include "input/file_pieces.h"

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

TEST(FilePieces, AFileShortenedWhileOpenIsACleanReadError) {
    testing::ScratchFolder folder;
    const auto path = folder / "rec.MEM";
    const std::vector<std::byte> bytes(200000, std::byte{7});
    writeBytes(path, bytes, bytes.size());
    FilePieces file;
    file.open(path, "rec.MEM");
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

}  // namespace
}  // namespace waveharm
