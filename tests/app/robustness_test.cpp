// Faults an engineer meets in the field, through the conversion driver and through
// waveharm-cli: result files that cannot be created or written (missing folder, a
// folder of the result's name, a full disk, a file size limit), recordings that go
// missing or are damaged after the folder scan, folders full of other files, names
// with blanks and Japanese characters, a very long recording, and values that would
// put NaN or infinity into a result file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "output/record_encoder.h"
#include "output/result_reader.h"
#include "output/result_writer.h"
#include "run/circuit_fixture.h"
#include "run/conversion_driver.h"
#include "support/cli_runner.h"
#include "support/result_records.h"
#include "support/scratch_folder.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

constexpr int kRecordBytes = 256;  // Odd1To49, one feeder

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Runs waveharm-cli with `args`, its output into `log` (see CliOptions).
int runCli(const std::vector<std::string>& args, const fs::path& log, long fileSizeLimit = 0) {
    const CliResult r = testing::runCli(args, {.fileSizeLimit = fileSizeLimit, .directory = {}});
    std::ofstream(log, std::ios::binary) << r.output;
    return r.status;
}

class Quiet : public ConversionObserver {
  public:
    std::vector<std::string> skipped;  ///< "name: reason"
    void onRecordingSkipped(const SkippedRecording& s) override {
        skipped.push_back(s.fileName + ": " + s.reason);
    }
};

class RobustnessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(m_dir / "rec");
        m_settings.setHarmonicOption(HarmonicOption::Odd1To49);
        m_settings.outputUnderOneMinute = true;  // one record per recording
        m_settings.outputFileName = (m_dir / "result.hm1").string();
    }

    /// A recording of the test circuit, one per minute from 10:00.
    RecordingContent circuit(int minute) const {
        return recordingOf(channelsFor(Circuit{}, m_settings.measurementType),
                           {2018, 12, 12, 10, minute, 10});
    }
    void addRecordings(const fs::path& folder, int count) const {
        for (int i = 0; i < count; ++i)
            writeRecording(folder / ("R" + std::to_string(i) + ".MEM"), circuit(i));
    }

    /// Converts `folder` into `output`; returns the summary (throws OutputError).
    ConversionSummary convert(const fs::path& folder, const fs::path& output, Quiet& quiet,
                              const std::function<void()>& afterStart = {}) {
        ConversionSettings settings = m_settings;
        settings.outputFileName = output.string();
        ConversionDriver driver(settings, scanFolder(folder, false), quiet);
        driver.start();
        if (afterStart) afterStart();
        while (driver.step()) {
        }
        driver.finish();
        return driver.summary();
    }

    std::vector<std::string> cliConvert(const fs::path& folder, const std::string& output) const {
        return {"convert", utf8Text(folder), "--output", output, "--harmonics", "odd49"};
    }

    ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    ConversionSettings m_settings;
};

// ---- output faults -----------------------------------------------------------------

TEST_F(RobustnessTest, ResultFileThatCannotBeCreatedStopsTheRunNamingFileAndReason) {
    addRecordings(m_dir / "rec", 2);
    fs::create_directory(m_dir / "taken.hm1");  // a folder of the result's name
    const struct {
        fs::path output;
        const char* reason;
    } cases[] = {
        {m_dir / "no folder" / "result.hm1", "No such file or directory"},
#ifdef _WIN32
        {m_dir / "taken.hm1", "Permission denied"},
#else
        {m_dir / "taken.hm1", "Is a directory"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output.string());
        Quiet quiet;
        try {
            convert(m_dir / "rec", c.output, quiet);
            ADD_FAILURE() << "the run reported success";
        } catch (const OutputError& e) {
            EXPECT_EQ(e.file(), c.output.string());
            EXPECT_EQ(e.reason(), std::string("cannot create the file: ") + c.reason);
        }
        EXPECT_FALSE(fs::exists(m_dir / "no folder"));

        const fs::path log = m_dir / "cli.log";
        const std::string name = (c.output.parent_path() / c.output.stem()).string();
        // Told to replace what is there, so that the creation itself is what fails.
        auto args = cliConvert(m_dir / "rec", name);
        args.push_back("--overwrite");
        EXPECT_EQ(runCli(args, log), 2) << fileText(log);
        const std::string text = fileText(log);
        EXPECT_NE(text.find("waveharm-cli convert: " + c.output.string() +
                            ": cannot create the file: " + c.reason),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("wrote "), std::string::npos) << text;
    }
    EXPECT_TRUE(fs::is_directory(m_dir / "taken.hm1"));
    EXPECT_TRUE(fs::is_empty(m_dir / "taken.hm1"));
}

#ifndef _WIN32
// A full disk and a file size limit (/dev/full, RLIMIT_FSIZE) exist on POSIX systems only.
TEST_F(RobustnessTest, FullDiskStopsTheRunAtTheFirstRecord) {
    addRecordings(m_dir / "rec", 3);
    fs::create_symlink("/dev/full", m_dir / "result.hm1");
    Quiet quiet;
    try {
        convert(m_dir / "rec", m_dir / "result.hm1", quiet);
        ADD_FAILURE() << "the run reported success";
    } catch (const OutputError& e) {
        EXPECT_EQ(e.file(), (m_dir / "result.hm1").string());
        EXPECT_EQ(e.reason(), "cannot write a record: No space left on device");
    }

    const fs::path log = m_dir / "cli.log";
    auto args = cliConvert(m_dir / "rec", (m_dir / "result").string());
    args.push_back("--overwrite");  // the full disk stands in the result's place
    EXPECT_EQ(runCli(args, log), 2);
    const std::string text = fileText(log);
    EXPECT_NE(text.find("result.hm1: cannot write a record: No space left on device"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("records written: 0"), std::string::npos) << text;
    EXPECT_NE(text.find("incomplete: "), std::string::npos) << text;
    EXPECT_TRUE(fs::is_symlink(m_dir / "result.hm1"));
}

// A disk that fills up in the middle of a run: the records flushed before the fault
// stay, whole and identical to those of an unhindered run; a record cut short by the
// fault is removed.
TEST_F(RobustnessTest, DiskFillingUpMidRunKeepsEveryRecordAlreadyWritten) {
    addRecordings(m_dir / "rec", 5);
    Quiet quiet;
    convert(m_dir / "rec", m_dir / "full.hm1", quiet);
    const std::string complete = fileText(m_dir / "full.hm1");
    ASSERT_EQ(complete.size(), 5u * kRecordBytes);

    // Through the driver in a child process whose files may not grow past 2.5 records.
    const long limit = 2 * kRecordBytes + kRecordBytes / 2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &cap);
        Quiet inChild;
        try {
            convert(m_dir / "rec", m_dir / "driver.hm1", inChild);
        } catch (const OutputError& e) {
            ::_exit(e.reason() == "cannot write a record: File too large" ? 2 : 3);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(fileText(m_dir / "driver.hm1"), complete.substr(0, 2 * kRecordBytes));

    const fs::path log = m_dir / "cli.log";
    EXPECT_EQ(runCli(cliConvert(m_dir / "rec", (m_dir / "cli").string()), log, limit), 2);
    const std::string text = fileText(log);
    EXPECT_NE(text.find("cli.hm1: cannot write a record: File too large"), std::string::npos)
        << text;
    EXPECT_NE(text.find("records written: 2"), std::string::npos) << text;
    EXPECT_EQ(fileText(m_dir / "cli.hm1"), complete.substr(0, 2 * kRecordBytes));
    EXPECT_EQ(readResultFile((m_dir / "cli.hm1").string()).records.size(), 2u);
}
#endif

// ---- input faults during a run -----------------------------------------------------

// Recordings that change between the folder scan and their turn in the run are each
// reported and skipped; the records are exactly those of the readable recordings.
TEST_F(RobustnessTest, RecordingsDamagedAfterTheScanAreSkippedAndTheRunGoesOn) {
    addRecordings(m_dir / "rec", 6);
    fs::create_directories(m_dir / "readable");
    for (const char* name : {"R0.MEM", "R5.MEM"})
        fs::copy_file(m_dir / "rec" / name, m_dir / "readable" / name);
    Quiet quiet;
    const ConversionSummary summary = convert(m_dir / "rec", m_dir / "result.hm1", quiet, [&] {
        const fs::path rec = m_dir / "rec";
        fs::remove(rec / "R1.MEM");
        fs::resize_file(rec / "R2.MEM", fs::file_size(rec / "R2.MEM") / 2);
        fs::remove(rec / "R3.MEM");
        fs::create_directory(rec / "R3.MEM");
        fs::remove(rec / "R4.MEM");
#ifndef _WIN32
        fs::create_symlink(rec / "gone.MEM", rec / "R4.MEM");
#endif
    });
    EXPECT_EQ(summary.analysed, 2);
    EXPECT_EQ(summary.skipped, 4);
    ASSERT_EQ(quiet.skipped.size(), 4u);
    const std::string rec = (m_dir / "rec").string();
    EXPECT_EQ(quiet.skipped[0], "R1.MEM: cannot be opened");
    EXPECT_EQ(quiet.skipped[1].rfind("R2.MEM: ", 0), 0u) << quiet.skipped[1];
    EXPECT_NE(quiet.skipped[1].find("declares 4000 samples but the file holds only"),
              std::string::npos)
        << quiet.skipped[1];
    EXPECT_EQ(quiet.skipped[2], "R3.MEM: is a folder, not a recording");
    EXPECT_EQ(quiet.skipped[3], "R4.MEM: cannot be opened");

    Quiet readable;
    convert(m_dir / "readable", m_dir / "readable.hm1", readable);
    EXPECT_EQ(fileText(m_dir / "result.hm1"), fileText(m_dir / "readable.hm1"));
    EXPECT_EQ(fs::file_size(m_dir / "result.hm1"), 2u * kRecordBytes);
}

TEST_F(RobustnessTest, ThousandsOfOtherFilesAreReportedOneByOne) {
    addRecordings(m_dir / "rec", 2);
    fs::create_directories(m_dir / "readable");
    addRecordings(m_dir / "readable", 2);
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        std::ofstream(m_dir / "rec" / ("junk" + n + ".MEM"), std::ios::binary) << "junk " << n;
        if (i % 3 == 0) std::ofstream(m_dir / "rec" / ("notes" + n + ".txt")) << n;
    }
#ifdef _WIN32
    const int pipes = 0;  // a Windows folder holds no pipes
#else
    // A pipe named like a recording: opening it would wait for a writer forever.
    ASSERT_EQ(::mkfifo((m_dir / "rec" / "PIPE.MEM").c_str(), 0644), 0);
    const int pipes = 1;
#endif
    Quiet quiet;
    const ConversionSummary summary = convert(m_dir / "rec", m_dir / "result.hm1", quiet);
    EXPECT_EQ(summary.analysed, 2);
    EXPECT_EQ(summary.skipped, 3000 + pipes);  // the .txt files are not listed at all
    ASSERT_EQ(quiet.skipped.size(), 3000u + pipes);
    EXPECT_EQ(std::count_if(quiet.skipped.begin(), quiet.skipped.end(),
                            [](const std::string& s) { return s.rfind("junk", 0) == 0; }),
              3000);
    EXPECT_EQ(
        std::count(quiet.skipped.begin(), quiet.skipped.end(), "PIPE.MEM: is not a regular file"),
        pipes);

    Quiet readable;
    convert(m_dir / "readable", m_dir / "readable.hm1", readable);
    EXPECT_EQ(fileText(m_dir / "result.hm1"), fileText(m_dir / "readable.hm1"));

    const fs::path log = m_dir / "cli.log";
    EXPECT_EQ(runCli(cliConvert(m_dir / "rec", (m_dir / "cli").string()), log), 1);
    const std::string text = fileText(log);
    EXPECT_EQ(text.find("warning: PIPE.MEM: skipped: is not a regular file") != std::string::npos,
              pipes == 1);
    EXPECT_NE(text.find("recordings analysed: 2, skipped: " + std::to_string(3000 + pipes)),
              std::string::npos);
    EXPECT_EQ(fileText(m_dir / "cli.hm1"), fileText(m_dir / "readable.hm1"));
}

// On Windows the names pass through the wide command line and the wide file calls.
TEST_F(RobustnessTest, NamesWithBlanksAndJapaneseCharactersAreReadAndWritten) {
    const fs::path folder = m_dir / u8"計測 データ";
    fs::create_directories(folder);
    writeRecording(folder / u8"記録 1.MEM", circuit(0));
    writeRecording(folder / u8"Mesure n°2.MEM", circuit(1));
    EXPECT_EQ(scanFolder(folder, false).names,
              (std::vector<std::string>{"記録 1.MEM", "Mesure n°2.MEM"}));
    const fs::path log = m_dir / "cli.log";
    const fs::path output = m_dir / u8"結果 フォルダ";
    fs::create_directories(output);
    ASSERT_EQ(runCli(cliConvert(folder, utf8Text(output / u8"変電所 A")), log), 0) << fileText(log);
    const std::string result = utf8Text(output / u8"変電所 A.hm1");
    EXPECT_NE(fileText(log).find("wrote " + result), std::string::npos) << fileText(log);
    const auto contents = readResultFile(result);
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0].timeField, 1000);
    EXPECT_EQ(contents.records[1].timeField, 1001);
    const CliResult dump = testing::runCli({"dump", result});
    EXPECT_EQ(dump.status, 0) << dump.output;
    EXPECT_EQ(std::count(dump.output.begin(), dump.output.end(), '\n'), 3) << dump.output;
}

// A recorder's longest record length on all sixteen channels: 1 000 000 samples × 16
// channels (32 MB of samples), seven feeders.
TEST_F(RobustnessTest, MillionSampleSixteenChannelRecordingIsAnalysed) {
    RecordingContent content = circuit(0);
    content.totalSamples = 1000000;
    while (content.channels.size() < 16)
        content.channels.push_back(content.channels[2 + content.channels.size() % 2]);
    writeRecording(m_dir / "rec" / "LONG.MEM", content);
    EXPECT_GT(fs::file_size(m_dir / "rec" / "LONG.MEM"), 32000000u);
    m_settings.setFeederCount(7);
    applyChannelLayout(m_settings, 7);
    Quiet quiet;
    const ConversionSummary summary = convert(m_dir / "rec", m_dir / "long.hm7", quiet);
    EXPECT_EQ(summary.analysed, 1) << (quiet.skipped.empty() ? "" : quiet.skipped[0]);
    const auto contents = readResultFile((m_dir / "long.hm7").string());
    ASSERT_EQ(contents.records.size(), 1u);
    // Every feeder carries the same circuit current.
    const float first = contents.records[0].currentRms[0][0];
    EXPECT_GT(first, 0.0f);
    for (const auto& feeder : contents.records[0].currentRms)
        EXPECT_NEAR(feeder[0], first, first * 1e-4);
}

// ---- values ------------------------------------------------------------------------

TEST_F(RobustnessTest, RecordingsThatWouldGiveNonFiniteValuesAreSkipped) {
    RecordingContent dead = circuit(0);  // no voltage on the R-S and T-S channels
    for (int c = 0; c < 2; ++c) {
        dead.channels[c].tones.clear();
        dead.channels[c].raw.assign(static_cast<std::size_t>(dead.totalSamples), 0);
    }
    writeRecording(m_dir / "rec" / "DEAD.MEM", dead);
    Quiet quiet;
    ConversionSummary summary = convert(m_dir / "rec", m_dir / "dead.hm1", quiet);
    EXPECT_EQ(summary.analysed, 0);
    ASSERT_EQ(quiet.skipped.size(), 1u);
    EXPECT_EQ(quiet.skipped[0],
              "DEAD.MEM: the R-S line voltage has no fundamental (dead voltage channel)");
    EXPECT_EQ(fs::file_size(m_dir / "dead.hm1"), 0u);

    // A CT ratio near the largest single-precision number overflows the currents.
    fs::remove(m_dir / "rec" / "DEAD.MEM");
    addRecordings(m_dir / "rec", 1);
    m_settings.ctRatio[0] = std::numeric_limits<float>::max();
    Quiet huge;
    summary = convert(m_dir / "rec", m_dir / "huge.hm1", huge);
    EXPECT_EQ(summary.analysed, 0);
    ASSERT_EQ(huge.skipped.size(), 1u);
    EXPECT_EQ(huge.skipped[0], "R0.MEM: the analysis gave a value out of the number range");
    EXPECT_EQ(fs::file_size(m_dir / "huge.hm1"), 0u);
}

// The last line of defence: an interval whose values overflow when averaged or
// combined is refused by the writer, and the records before it stay.
TEST_F(RobustnessTest, WriterRefusesNonFiniteValues) {
    for (const MeasurementType type :
         {MeasurementType::ThreePhase2M, MeasurementType::ThreePhase3M}) {
        SCOPED_TRACE(static_cast<int>(type));
        ConversionSettings settings = m_settings;
        settings.measurementType = type;
        const int orders = settings.maxHarmonicOrder();
        IntervalAggregate interval;
        interval.allocate(orders, 1);
        auto writer = ResultWriter::open(settings);
        interval.intervalState = 1;
        interval.voltageRms[1] = 100;
        interval.voltagePhasorRe(0, 1) = 100;
        ASSERT_TRUE(writer->offer(DateTime::fromCivil({2018, 12, 12, 10, 0, 0}), interval));

        interval.intervalState = 1;
        interval.voltageRms[3] = std::numeric_limits<float>::infinity();
        interval.currentRms(0, 5) = std::numeric_limits<float>::quiet_NaN();
        // Finite phasor parts whose magnitude exceeds the single-precision range.
        interval.voltagePhasorRe(1, 1) = interval.voltagePhasorIm(1, 1) = 3e38f;
        try {
            writer->offer(DateTime::fromCivil({2018, 12, 12, 10, 1, 0}), interval);
            ADD_FAILURE() << "a non-finite value was written";
        } catch (const OutputError& e) {
            EXPECT_EQ(e.file(), writer->fileNames().front());
            EXPECT_EQ(e.reason(),
                      "record not written: a value of the record is not a finite number");
        }
        writer->close();
        for (const std::string& name : writer->fileNames())
            EXPECT_EQ(fs::file_size(name), static_cast<std::uintmax_t>(kRecordBytes)) << name;
    }
}

}  // namespace
}  // namespace waveharm
