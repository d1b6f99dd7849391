// The folder scan: name pattern, quick start times, time-order sort and the
// rename of duplicate names.

#include "input/folder_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "input/recording.h"
#include "input/recording_writer.h"
#include "input_test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace waveharm {
namespace {

DateTime at(int hour, int minute = 0) {
    return DateTime::fromCivil({2018, 12, 12, hour, minute, 0});
}

TEST(TimeOrder, SortsByStartTime) {
    std::vector<std::string> names{"a", "b", "c"};
    std::vector<DateTime> times{at(10), at(9), at(11)};
    sortByStartTime(names, times);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(times.front(), at(9));
    EXPECT_EQ(times.back(), at(11));
}

TEST(TimeOrder, EqualTimesKeepListingOrder) {
    // Unrecognised files (zero time) come first, in listing order; so do equal times
    // even when an earlier entry has to move past them.
    std::vector<std::string> names{"p", "q", "zero1", "r", "zero2", "s"};
    std::vector<DateTime> times{at(10), at(10), DateTime{}, at(9), DateTime{}, at(10)};
    sortByStartTime(names, times);
    EXPECT_EQ(names, (std::vector<std::string>{"zero1", "zero2", "r", "p", "q", "s"}));
}

TEST(DuplicateNames, NextFreeAutoName) {
    int counter = 5000;
    std::set<std::string> taken{"AUTO5002.MEM", "AUTO5003.MEM"};
    const auto isTaken = [&](const std::string& n) { return taken.count(n) > 0; };
    EXPECT_EQ(nextAutoName(counter, isTaken), "AUTO5001.MEM");
    EXPECT_EQ(nextAutoName(counter, isTaken), "AUTO5004.MEM");
    EXPECT_EQ(nextAutoName(counter, isTaken, ".wav"), "AUTO5005.wav") << "8840 files keep theirs";
    EXPECT_EQ(counter, 5005);
}

TEST(FolderPattern, CaseInsensitiveExtensions) {
    EXPECT_TRUE(matchesRecordingPattern("A.MEM", false));
    EXPECT_TRUE(matchesRecordingPattern("a.mem", false));
    EXPECT_TRUE(matchesRecordingPattern("x.y.Mem", false));
    EXPECT_FALSE(matchesRecordingPattern(".mem", false));
    EXPECT_FALSE(matchesRecordingPattern("a.memo", false));
    EXPECT_FALSE(matchesRecordingPattern("a.wav", false));
    EXPECT_TRUE(matchesRecordingPattern("a.WAV", true));
    EXPECT_TRUE(matchesRecordingPattern("a.wev", true));
    EXPECT_FALSE(matchesRecordingPattern("a.MEM", true));
}

RecordingContent recordingAt(const std::string& model, int hour) {
    RecordingContent content;
    content.model = model;
    content.totalSamples = 10;
    content.start = {2018, 12, 12, hour, 0, 0};
    content.channels.resize(2);
    return content;
}

TEST(FolderScan, ListsRecordingsInTimeOrder) {
    const auto dir = testing::freshFolder("scan");
    writeRecording(dir / "a.MEM", recordingAt("8841", 10));
    writeRecording(dir / "b.mem", recordingAt("8860", 9));
    writeRecording(dir / "c.MEM", recordingAt("MR8880", 11));
    std::ofstream(dir / "notes.txt") << "not a recording";
    std::ofstream(dir / "broken.MEM") << "HW but nothing else";
    std::filesystem::create_directory(dir / "sub.MEM");
    const WaveformFileList list = scanFolder(dir, false);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.names, (std::vector<std::string>{"broken.MEM", "b.mem", "a.MEM", "c.MEM"}));
    EXPECT_TRUE(list.startTimes[0].isZero());
    EXPECT_EQ(list.startTimes[1], at(9));
    EXPECT_EQ(list.startTimes[3], at(11));
    EXPECT_EQ(list.pathOf(1), dir / "b.mem");
    ASSERT_EQ(list.problems.size(), 1u);
    EXPECT_EQ(list.problems[0].text(), "broken.MEM: not a recognised recorder waveform file");
    EXPECT_EQ(list.problems[0].kind, ErrorKind::NotARecording);
    EXPECT_EQ(list.startText(0), "-");
    EXPECT_EQ(list.firstStartText(), "2018/12/12 09:00:00");
    EXPECT_EQ(list.lastStartText(), "2018/12/12 11:00:00");
    std::filesystem::remove_all(dir);
}

TEST(FolderScan, Layout8840FilesAreOrderedByTheirOwnStartTime) {
    const auto dir = testing::freshFolder("scan8840");
    writeRecording(dir / "a.wev", recordingAt("8840", 10));
    writeRecording(dir / "b.WAV", recordingAt("8840", 9));
    writeRecording(dir / "c.MEM", recordingAt("8841", 8));
    const WaveformFileList list = scanFolder(dir, true);
    EXPECT_EQ(list.names, (std::vector<std::string>{"b.WAV", "a.wev"}));
    EXPECT_EQ(list.startTimes[0], at(9));
    std::filesystem::remove_all(dir);
}

TEST(FolderScan, UnreadableFilesStayListedAndAreReported) {
    const auto dir = testing::freshFolder("unreadable");
    writeRecording(dir / "a.MEM", recordingAt("8841", 10));
#ifdef _WIN32
    // A file another program holds open without sharing (a copy still under way).
    std::ofstream(dir / "dangling.MEM") << "being copied";
    const HANDLE held = CreateFileW((dir / "dangling.MEM").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const WaveformFileList list = scanFolder(dir, false);
    CloseHandle(held);
#else
    std::filesystem::create_symlink(dir / "missing", dir / "dangling.MEM");
    const WaveformFileList list = scanFolder(dir, false);
#endif
    EXPECT_EQ(list.names, (std::vector<std::string>{"dangling.MEM", "a.MEM"}));
    ASSERT_EQ(list.problems.size(), 1u);
    EXPECT_EQ(list.problems[0].text(), "dangling.MEM: cannot be opened");
    std::filesystem::remove_all(dir);
}

TEST(FolderScan, AnyNumberOfThreadsGivesTheSameList) {
    const auto dir = testing::freshFolder("threads");
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "R%03d.MEM", i);
        writeRecording(dir / name, recordingAt(i % 3 ? "8841" : "8860", (7 * i) % 24));
    }
    std::ofstream(dir / "R050.MEM") << "not a recording";
    std::ofstream(dir / "R077.MEM") << "";
    const WaveformFileList one = scanFolder(dir, false);
    ASSERT_EQ(one.problems.size(), 2u);
    for (const int jobs : {2, 3, 8}) {
        const WaveformFileList many = scanFolder(dir, false, jobs);
        EXPECT_EQ(many.names, one.names) << jobs << " threads";
        EXPECT_TRUE(many.startTimes == one.startTimes) << jobs << " threads";
        ASSERT_EQ(many.problems.size(), one.problems.size());
        for (std::size_t i = 0; i < one.problems.size(); ++i)
            EXPECT_EQ(many.problems[i].text(), one.problems[i].text());
    }
    std::filesystem::remove_all(dir);
}

TEST(FolderScan, EmptyAndMissingFolders) {
    const auto dir = testing::freshFolder("empty");
    EXPECT_EQ(scanFolder(dir, false).count(), 0);
    std::filesystem::remove_all(dir);
    EXPECT_THROW(scanFolder(dir, false), InputError);
}

TEST(QuickStartTime, NeedsARecognisedHeader) {
    const auto bytes = encodeRecording(recordingAt("8847", 7));
    EXPECT_EQ(quickStartTime(bytes), std::optional<DateTime>(at(7)));
    auto renamed = bytes;
    testing::putField(renamed, 0, 2, "8808");
    EXPECT_FALSE(quickStartTime(renamed));
    EXPECT_FALSE(quickStartTime(std::span(bytes).first(100)));
    const auto wev = encodeRecording(recordingAt("8840", 7));
    EXPECT_FALSE(quickStartTime(wev, false));
    EXPECT_EQ(quickStartTime(wev, true), std::optional<DateTime>(at(7)));
}

TEST(QuickStartTime, ReadsTheDateFieldAsTheHeaderReaderDoes) {
    auto bytes = encodeRecording(recordingAt("8841", 7));
    testing::putField(bytes, 0, 7, "2019-11-28");
    const DateTime start = *quickStartTime(bytes);
    EXPECT_EQ(start, DateTime::fromCivil({2019, 11, 28, 7, 0, 0}));
    EXPECT_EQ(start, parseHeader(bytes, ReadOptions{}, "x.MEM").startTimeUncorrected);
    testing::putField(bytes, 0, 7, "2019-13-28");
    EXPECT_THROW(quickStartTime(bytes), InputError);
}

TEST(FolderScan, UndatedRecordingsAreReportedAndShownWithoutADate) {
    const auto dir = testing::freshFolder("undated");
    auto bytes = encodeRecording(recordingAt("8841", 7));
    testing::putField(bytes, 0, 8, "25:61:00");
    std::ofstream(dir / "bad.MEM", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const WaveformFileList list = scanFolder(dir, false);
    ASSERT_EQ(list.problems.size(), 1u);
    EXPECT_EQ(list.problems[0].text(), "bad.MEM: start time \"25:61:00\" cannot be converted");
    EXPECT_EQ(list.problems[0].kind, ErrorKind::InvalidHeaderValue);
    EXPECT_EQ(list.firstDatedIndex(), -1);
    EXPECT_EQ(list.firstStartText(), "-");
    EXPECT_EQ(list.lastStartText(), "-");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace waveharm
