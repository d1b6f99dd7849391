// Recordings of known circuits → conversion (in process and through waveharm-cli) →
// result files read back → RMS values, distortion and angles of the circuit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "output/result_reader.h"
#include "output/result_writer.h"
#include "run/circuit_fixture.h"
#include "run/conversion_driver.h"
#include "support/cli_runner.h"
#include "support/result_records.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

constexpr double kCt = 100;
constexpr double kPt = 60;
constexpr double kSense = 0.1;  // the initial 2 A clamp
const double kVoltsPerPeakCount = kVoltsPerCount * kPt / std::sqrt(2.0);
const double kAmperesPerPeakCount = kCurrentVoltsPerCount * kCt / kSense / std::sqrt(2.0);

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// What a record of the circuit should hold for the orders looked at.
struct Expected {
    std::map<int, double> voltageRms, currentRms;
    std::map<int, double> powerAngleDeg;    ///< row "harmonic power angle" / current-to-voltage
    std::map<int, double> voltageAngleDeg;  ///< superposition angle (single file)
};

constexpr int kOrders[] = {1, 5, 7, 11};

/// The single file: voltage and current columns as the measurement type derives them,
/// averaged over the used phases; power summed over the wattmeter pairs.
Expected expectSingle(const Circuit& circuit, MeasurementType type, double correctionDeg) {
    const auto ch = channelsFor(circuit, type);
    std::vector<ChannelPhasors> v, i;
    int pairs = 1;
    switch (type) {
        case MeasurementType::ThreePhase2M: {
            ChannelPhasors sum = ch[2];
            for (auto [k, z] : ch[3]) sum[k] += z;
            v = {ch[0], ch[1], minus(ch[0], ch[1])};
            i = {ch[2], ch[3], sum};
            pairs = 2;
            break;
        }
        case MeasurementType::SinglePhase3W:
            v = {ch[0], ch[1]};
            i = {ch[2], ch[3]};
            pairs = 2;
            break;
        default:
            v = {ch[0]};
            i = {ch[1]};
            break;
    }
    Expected e;
    for (int k : kOrders) {
        double vs = 0, is = 0;
        for (const auto& c : v) vs += std::abs(at(c, k));
        for (const auto& c : i) is += std::abs(at(c, k));
        e.voltageRms[k] = vs / v.size() * kVoltsPerPeakCount;
        e.currentRms[k] = is / i.size() * kAmperesPerPeakCount;
        Phasor power{}, reference{};
        for (int c = 0; c < pairs; ++c) {
            power += std::conj(at(v[c], k)) * at(i[c], k) * polarDeg(1, correctionDeg);
            reference += at(v[c], k) * polarDeg(1, -k * angleDeg(at(v[c], 1)));
        }
        e.powerAngleDeg[k] = angleDeg(power);
        e.voltageAngleDeg[k] = angleDeg(reference);
    }
    return e;
}

/// One per-phase file: the phase's own voltage and current (R, T, S = phases 0, 2, 1).
Expected expectPhase(const Circuit& circuit, int phase) {
    const ChannelPhasors v = circuit.voltage(phase);
    const ChannelPhasors i = circuit.currentOf(phase);
    Expected e;
    for (int k : kOrders) {
        e.voltageRms[k] = std::abs(at(v, k)) * kVoltsPerPeakCount;
        e.currentRms[k] = std::abs(at(i, k)) * kAmperesPerPeakCount;
        e.powerAngleDeg[k] = angleDeg(std::conj(at(v, k)) * at(i, k));
    }
    return e;
}

double valueAt(const ResultFileContents& file, const std::vector<float>& row, int order) {
    const auto it = std::find(file.orders.begin(), file.orders.end(), order);
    EXPECT_NE(it, file.orders.end()) << "order " << order;
    return row.at(static_cast<std::size_t>(it - file.orders.begin()));
}

int angleAt(const ResultFileContents& file, const std::vector<std::int16_t>& row, int order) {
    const auto it = std::find(file.orders.begin(), file.orders.end(), order);
    return row.at(static_cast<std::size_t>(it - file.orders.begin()));
}

double distortion(const ResultFileContents& file, const std::vector<float>& row) {
    double sum = 0;
    for (std::size_t n = 0; n < file.orders.size(); ++n)
        if (file.orders[n] >= 2) sum += double(row[n]) * row[n];
    return std::sqrt(sum) / valueAt(file, row, 1);
}

void expectRecord(const ResultFileContents& file, const ResultRecord& r, const Expected& e,
                  bool superposition, const std::string& what) {
    SCOPED_TRACE(what);
    const double v1 = e.voltageRms.at(1), i1 = e.currentRms.at(1);
    for (int k : kOrders) {
        SCOPED_TRACE("order " + std::to_string(k));
        const double vTolerance = k == 1 ? v1 * 1e-3 : v1 * 2e-3;
        const double iTolerance = k == 1 ? i1 * 1e-3 : i1 * 2e-3;
        EXPECT_NEAR(valueAt(file, r.voltageRms, k), e.voltageRms.at(k), vTolerance);
        EXPECT_NEAR(valueAt(file, r.currentRms.at(0), k), e.currentRms.at(k), iTolerance);
        // Angles are only defined where the circuit has both quantities of the order.
        if (e.voltageRms.at(k) < v1 * 0.01 || e.currentRms.at(k) < i1 * 0.01) continue;
        const double angleTolerance = k == 1 ? 1.0 : 2.0;
        EXPECT_NEAR(angleDiffDeg(angleAt(file, r.currentAngleDeg.at(0), k), e.powerAngleDeg.at(k)),
                    0, angleTolerance);
        if (superposition && e.voltageAngleDeg.count(k)) {
            EXPECT_NEAR(angleDiffDeg(angleAt(file, r.voltageAngleDeg, k), e.voltageAngleDeg.at(k)),
                        0, angleTolerance);
        }
    }
    // Orders the circuit does not have stay near zero.
    EXPECT_LT(valueAt(file, r.voltageRms, 3), v1 * 1e-3);
    double vSum = 0, iSum = 0;
    for (int k : kOrders)
        if (k > 1) {
            vSum += e.voltageRms.at(k) * e.voltageRms.at(k);
            iSum += e.currentRms.at(k) * e.currentRms.at(k);
        }
    EXPECT_NEAR(distortion(file, r.voltageRms), std::sqrt(vSum) / v1, 2e-3);
    EXPECT_NEAR(distortion(file, r.currentRms.at(0)), std::sqrt(iSum) / i1, 2e-3);
}

struct Case {
    const char* name;
    MeasurementType type;
    HarmonicOption option;
    int phaseCorrectionIndex;  ///< 2 = none
    const char* cliOptions;
};

class EndToEnd : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override { fs::create_directories(m_dir / "rec"); }

    // Three recordings of the same circuit: the first makes the 10:15 record, the
    // second waits in the interval and the third closes it as the 10:16 record, an
    // average over two recordings.
    void writeRecordings() {
        const auto channels = channelsFor(m_circuit, GetParam().type);
        const CivilDateTime times[] = {
            {2018, 12, 12, 10, 15, 10}, {2018, 12, 12, 10, 15, 50}, {2018, 12, 12, 10, 16, 5}};
        int n = 0;
        for (const auto& t : times) {
            RecordingContent content = recordingOf(channels, t);
            content.noiseSeed = static_cast<std::uint32_t>(++n);
            writeRecording(m_dir / "rec" / ("R" + std::to_string(n) + ".MEM"), content);
        }
    }

    ConversionSettings settingsByHand() const {
        const Case& c = GetParam();
        ConversionSettings s;
        s.measurementType = c.type;
        s.setHarmonicOption(c.option);
        s.setFeederCount(1);
        if (channelsPerFeeder(c.type) == 1) s.channelMap = {1, 3, 2, 4};
        s.setPhaseCorrectionIndex(c.phaseCorrectionIndex);
        s.ctRatio.fill(static_cast<float>(kCt));
        s.outputFileName = (m_dir / "driver").string() + s.outputExtension();
        return s;
    }

    ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    Circuit m_circuit;
};

TEST_P(EndToEnd, DriverAndCliWriteTheCircuitsValues) {
    const Case& c = GetParam();
    writeRecordings();

    const ConversionSettings settings = settingsByHand();
    ConversionObserver quiet;
    ConversionDriver driver(settings, scanFolder(m_dir / "rec", false), quiet);
    driver.start();
    while (driver.step()) {
    }
    driver.finish();
    EXPECT_EQ(driver.summary().analysed, 3);
    EXPECT_EQ(driver.summary().recordsWritten, 2);

    std::vector<std::string> cli{"convert",  (m_dir / "rec").string(),
                                 "--output", (m_dir / "cli.dat").string(),
                                 "--ct",     "100"};
    for (const std::string& option : words(c.cliOptions)) cli.push_back(option);
    const CliResult run = runCli(cli);
    ASSERT_EQ(run.status, 0) << run.output;

    const std::vector<std::string> driverFiles = driver.summary().files;
    ConversionSettings cliSettings = settings;
    cliSettings.outputFileName = (m_dir / "cli").string() + settings.outputExtension();
    std::vector<std::string> cliFiles{cliSettings.outputFileName};
    if (c.type == MeasurementType::ThreePhase3M) {
        const auto names = phaseFileNames(cliSettings.outputFileName);
        cliFiles.assign(names.begin(), names.end());
    }
    ASSERT_EQ(driverFiles.size(), cliFiles.size());
    for (std::size_t f = 0; f < cliFiles.size(); ++f) {
        EXPECT_NE(run.output.find(cliFiles[f]), std::string::npos)
            << "the converter names the files it wrote";
        EXPECT_EQ(fileText(driverFiles[f]), fileText(cliFiles[f])) << cliFiles[f];
    }

    const bool superposition = c.option == HarmonicOption::HighOrder256 ||
                               c.option == HarmonicOption::WithSuperpositionAngle;
    if (c.type != MeasurementType::ThreePhase3M) {
        const ResultFileContents file = readResultFile(driverFiles[0]);
        ASSERT_EQ(file.records.size(), 2u);
        EXPECT_EQ(file.records[0].timeField, 1015);
        EXPECT_EQ(file.records[1].timeField, 1016);
        EXPECT_FLOAT_EQ(file.records[1].dateField, 181212.0f);
        const double correction = phaseCorrectionDegreesFor(c.phaseCorrectionIndex);
        const Expected e = expectSingle(m_circuit, c.type, correction);
        for (const auto& r : file.records) expectRecord(file, r, e, superposition, c.name);
        return;
    }
    // Per-phase files R, T, S carry phases R, T and S.
    const int phaseOf[3] = {0, 2, 1};
    std::vector<ResultFileContents> files;
    for (int f = 0; f < 3; ++f) {
        files.push_back(readResultFile(driverFiles[f]));
        ASSERT_EQ(files[f].records.size(), 2u);
        for (const auto& r : files[f].records)
            expectRecord(files[f], r, expectPhase(m_circuit, phaseOf[f]), false, driverFiles[f]);
    }
    // The voltage phase angles of the three files are 120° apart (R leads T by 240°).
    const int r1 = angleAt(files[0], files[0].records[0].voltageAngleDeg, 1);
    const int t1 = angleAt(files[1], files[1].records[0].voltageAngleDeg, 1);
    const int s1 = angleAt(files[2], files[2].records[0].voltageAngleDeg, 1);
    EXPECT_NEAR(angleDiffDeg(t1, r1), 120, 1);
    EXPECT_NEAR(angleDiffDeg(s1, r1), -120, 1);
}

INSTANTIATE_TEST_SUITE_P(
    MeasurementTypes, EndToEnd,
    ::testing::Values(Case{"ThreePhase2M", MeasurementType::ThreePhase2M,
                           HarmonicOption::HighOrder256, 2, "--type 3p2m"},
                      Case{"ThreePhase1M", MeasurementType::ThreePhase1M,
                           HarmonicOption::WithSuperpositionAngle, 3,
                           "--type 3p1m --harmonics angle --phase-correction 30"},
                      Case{"SinglePhase3W", MeasurementType::SinglePhase3W,
                           HarmonicOption::Odd1To49, 2, "--type 1p3w --harmonics odd49"},
                      Case{"ThreePhase3M", MeasurementType::ThreePhase3M,
                           HarmonicOption::HighOrder256, 2, "--type 3p3m"}),
    [](const auto& test) { return std::string(test.param.name); });

class CliRun : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(m_dir / "rec"); }
    void write(const std::string& name, CivilDateTime t) {
        writeRecording(m_dir / "rec" / name,
                       recordingOf(channelsFor(Circuit{}, MeasurementType::ThreePhase2M), t));
    }
    CliResult convert(const std::string& options) const {
        std::vector<std::string> args{"convert", (m_dir / "rec").string(), "--output",
                                      (m_dir / "out" / "result").string()};
        for (const std::string& option : words(options)) args.push_back(option);
        return runCli(args);
    }
    ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(CliRun, UnreadableRecordingInTheMiddleKeepsTheOthers) {
    write("A.MEM", {2018, 12, 12, 10, 15, 10});
    write("B.MEM", {2018, 12, 12, 10, 16, 10});
    write("C.MEM", {2018, 12, 12, 10, 17, 10});
    // B keeps its header (and its place in time order) but loses most of its samples.
    fs::resize_file(m_dir / "rec" / "B.MEM", fs::file_size(m_dir / "rec" / "B.MEM") / 2);
    fs::create_directories(m_dir / "out");

    const CliResult run = convert("--harmonics odd49");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string& log = run.output;
    EXPECT_NE(log.find("B.MEM"), std::string::npos) << log;
    EXPECT_NE(log.find("skipped: 1"), std::string::npos) << log;
    const ResultFileContents file = readResultFile((m_dir / "out" / "result.hm1").string());
    ASSERT_EQ(file.records.size(), 2u);
    EXPECT_EQ(file.records[0].timeField, 1015);
    EXPECT_EQ(file.records[1].timeField, 1017);
}

TEST_F(CliRun, InvalidOptionsStopBeforeAnythingIsWritten) {
    write("A.MEM", {2018, 12, 12, 10, 15, 10});
    fs::create_directories(m_dir / "out");
    for (const char* options :
         {"--ct 0", "--feeders 2", "--samples 512", "--channels 1,1,2,3",
          "--type 3p2m --phase-correction 30", "--bogus", "--time-offset 1e300",
          "--time-offset nan", "--time-offset inf", "--time-offset 49"}) {
        const CliResult run = convert(options);
        EXPECT_EQ(run.status, 2) << options;
        const std::string& log = run.output;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_TRUE(fs::is_empty(m_dir / "out")) << options;
    }
}

TEST_F(CliRun, DottedNamesAndFoldersGetExactlyTheChosenFiles) {
    write("A.MEM", {2018, 12, 12, 10, 15, 10});
    const fs::path work = m_dir / "work";
    fs::create_directories(work / "rev2.1");
    fs::create_directories(work / "a.h");
    for (const char* options : {"odd49 --output ./day1.dat", "angle --output rev2.1/out",
                                "odd49 --type 3p3m --output a.h/x"}) {
        std::vector<std::string> args{"convert", (m_dir / "rec").string(), "--harmonics"};
        for (const std::string& option : words(options)) args.push_back(option);
        EXPECT_EQ(runCli(args, {.directory = work}).status, 0) << options;
    }
    std::set<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(work))
        if (entry.is_regular_file())
            written.insert(fs::relative(entry.path(), work).generic_string());
    EXPECT_EQ(written, (std::set<std::string>{"day1.hm1", "rev2.1/out.ha4", "a.h/x.Rhm1",
                                              "a.h/x.Thm1", "a.h/x.Shm1"}));
}

// The linear mode is the default and writes the same bytes whether named or not; the
// accurate mode writes the same records with its own values.
TEST_F(CliRun, InterpolationChoiceReachesTheResultFiles) {
    write("A.MEM", {2018, 12, 12, 10, 15, 10});
    write("B.MEM", {2018, 12, 12, 10, 16, 10});
    fs::create_directories(m_dir / "out");
    std::map<std::string, std::string> written;
    for (const char* mode : {"", "linear", "sinc"}) {
        const std::string name = std::string("mode") + mode;
        std::vector<std::string> args{"convert",     (m_dir / "rec").string(),
                                      "--output",    (m_dir / "out" / name).string(),
                                      "--harmonics", "odd49"};
        if (*mode) args.insert(args.end(), {"--interpolation", mode});
        const CliResult run = runCli(args);
        ASSERT_EQ(run.status, 0) << run.output;
        written[mode] = (m_dir / "out" / (name + ".hm1")).string();
    }
    EXPECT_EQ(fileText(written[""]), fileText(written["linear"]));
    EXPECT_NE(fileText(written["sinc"]), fileText(written["linear"]));
    EXPECT_EQ(readResultFile(written["sinc"]).records.size(), 2u);
}

TEST_F(CliRun, ResultFolderThatDoesNotExistIsAnOutputError) {
    write("A.MEM", {2018, 12, 12, 10, 15, 10});
    const CliResult run = convert("");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("result.hn1"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace waveharm

namespace waveharm {
namespace {

// `check` on demo campaigns: sound, and with feeder 2's R clamp reversed (ch5) and
// feeder 3's R and T exchanged (ch7, ch8); the fix of the exchange as an option.
TEST(CliCheck, NamesTheFeederOfEachFindingAndExitsByTheVerdict) {
    ScratchFolder scratch;
    const fs::path sound = scratch.path() / "sound", wrong = scratch.path() / "wrong";
    DemoOptions demo;
    demo.feeders = 3;
    demo.count = 2;
    writeDemoCampaign(sound, demo);
    demo.invertedChannels = {5};
    demo.exchangedChannels = {{7, 8}};
    writeDemoCampaign(wrong, demo);

    const CliResult good = runCli({"check", sound.string()});
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_NE(good.output.find("F3 入力電流,I3r="), std::string::npos) << good.output;
    EXPECT_NE(good.output.find("結線の誤りは見つかりません"), std::string::npos);

    const CliResult bad = runCli({"check", wrong.string()});
    EXPECT_EQ(bad.status, 1) << bad.output;
    EXPECT_NE(bad.output.find("F2: R 相 (ch5) の電流が逆向きです"), std::string::npos)
        << bad.output;
    EXPECT_NE(bad.output.find("F3: R 相と T 相の電流が入れ替わっています"), std::string::npos);
    EXPECT_NE(bad.output.find("→ F3 の R 相と T 相のチャンネル入替"), std::string::npos);

    EXPECT_EQ(runCli({"check"}).status, 2);
    EXPECT_EQ(runCli({"check", sound.string(), "--feeders", "9"}).status, 2);
    EXPECT_EQ(runCli({"check", (scratch.path() / "none").string()}).status, 2);
}

}  // namespace
}  // namespace waveharm
