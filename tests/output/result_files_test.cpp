// Names, record lengths, the reader's layout rules, and writer → reader round trips.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "input/recording.h"
#include "output/result_reader.h"
#include "output/result_writer.h"
#include "output_test_support.h"
#include "support/result_records.h"

namespace waveharm {
namespace {

using namespace waveharm::testing;

TEST(ResultNaming, StemUpToTheFirstDotOfTheFileNamePlusExtension) {
    EXPECT_EQ(outputFileNameFor("C:\\r\\day1.dat", ".hm2"), "C:\\r\\day1.hm2");
    EXPECT_EQ(outputFileNameFor("C:\\r\\day1.dat", ".ha5"), "C:\\r\\day1.ha5");
    EXPECT_EQ(outputFileNameFor("/data/feb", ".hn3"), "/data/feb.hn3");
    // Dotted folders keep the results inside them.
    EXPECT_EQ(outputFileNameFor("C:\\rev2.1\\out", ".ha4"), "C:\\rev2.1\\out.ha4");
    EXPECT_EQ(outputFileNameFor("rev2.1/out", ".ha4"), "rev2.1/out.ha4");
    EXPECT_EQ(outputFileNameFor("./day1.dat", ".hm1"), "./day1.hm1");
    EXPECT_EQ(outputFileNameFor("../x", ".hm1"), "../x.hm1");
    EXPECT_EQ(outputFileNameFor("/home/u/.local/a.b.c", ".hn2"), "/home/u/.local/a.hn2");
}

TEST(ResultNaming, PhaseLetterAfterTheDotOfTheFirstH) {
    const auto names = phaseFileNames("D:\\data\\feb.hv2");
    EXPECT_EQ(names[0], "D:\\data\\feb.Rhv2");
    EXPECT_EQ(names[1], "D:\\data\\feb.Thv2");
    EXPECT_EQ(names[2], "D:\\data\\feb.Shv2");
    EXPECT_EQ(phaseFileNames("out")[2], "outS");
    EXPECT_EQ(phaseFileNames("D:\\data.1\\feb.hv2")[1], "D:\\data.1\\feb.Thv2");
    EXPECT_EQ(phaseFileNames("a.h/x.hm1")[0], "a.h/x.Rhm1");
}

TEST(ResultNaming, RecordLengthsAndOrders) {
    for (int f = 1; f <= kMaxFeeders; ++f) {
        EXPECT_EQ(recordLength(HarmonicOption::Odd1To49, f), 106 + 150 * f);
        EXPECT_EQ(recordLength(HarmonicOption::WithSuperpositionAngle, f), 206 + 150 * f);
        EXPECT_EQ(recordLength(HarmonicOption::WithUnbalance, f), 118 + 162 * f);
        EXPECT_EQ(recordLength(HarmonicOption::WithAngleAndUnbalance, f), 168 + 162 * f);
        EXPECT_EQ(recordLength(HarmonicOption::HighOrder256, f), 1542 + 1536 * f);
    }
    EXPECT_EQ(recordLength(HarmonicOption::Odd1To49, 1), 256);
    EXPECT_EQ(recordLength(HarmonicOption::HighOrder256, 3), 6150);
    const auto odd = writtenOrders(HarmonicOption::WithUnbalance);
    ASSERT_EQ(odd.size(), 25u);
    EXPECT_EQ(odd.front(), 1);
    EXPECT_EQ(odd[1], 3);
    EXPECT_EQ(odd.back(), 49);
    const auto all = writtenOrders(HarmonicOption::HighOrder256);
    ASSERT_EQ(all.size(), 256u);
    EXPECT_EQ(all[1], 2);
    EXPECT_EQ(all.back(), 256);
}

// ---- Layout from the extension, the options and the size --------------------------

struct LayoutCase {
    const char* name;
    std::int64_t size;
    std::optional<HarmonicOption> option;
    std::optional<int> feeders;
    const char* error;  // a part of the InputError reason, or nullptr when valid
    HarmonicOption expectedOption = HarmonicOption::Odd1To49;
    int expectedFeeders = 1;
    char expectedPhase = 0;
};

class ResultLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ResultLayoutTest, Resolves) {
    const LayoutCase& c = GetParam();
    if (c.error) {
        try {
            resolveResultLayout(c.name, c.size, c.option, c.feeders);
            ADD_FAILURE() << c.name << " accepted";
        } catch (const InputError& e) {
            EXPECT_NE(e.reason().find(c.error), std::string::npos) << e.reason();
        }
        return;
    }
    const ResultLayout l = resolveResultLayout(c.name, c.size, c.option, c.feeders);
    EXPECT_EQ(l.option, c.expectedOption);
    EXPECT_EQ(l.feederCount, c.expectedFeeders);
    EXPECT_EQ(l.phase, c.expectedPhase);
}

constexpr auto kAngle = HarmonicOption::WithSuperpositionAngle;
constexpr auto kUnbal = HarmonicOption::WithUnbalance;
INSTANTIATE_TEST_SUITE_P(
    Table, ResultLayoutTest,
    ::testing::Values(
        LayoutCase{"a.hm1", 512, {}, {}, nullptr}, LayoutCase{"a.hm1", 0, {}, {}, nullptr},
        LayoutCase{"a.hm1", 255, {}, {}, "whole number of records"},
        LayoutCase{"dir.v1/a.hm2", 406, {}, {}, nullptr, HarmonicOption::Odd1To49, 2},
        LayoutCase{"A.SHN3", 6150, {}, {}, nullptr, HarmonicOption::HighOrder256, 3, 'S'},
        LayoutCase{
            "x\\feb.Rhv2", 492, {}, {}, nullptr, HarmonicOption::WithAngleAndUnbalance, 2, 'R'},
        LayoutCase{"a.ha4", 712, {}, {}, nullptr, kAngle, 1},
        LayoutCase{"a.ha4", 1012, {}, 2, nullptr, kAngle, 2},
        LayoutCase{"a.ha4", 0, {}, {}, "feeder count"},
        LayoutCase{"a.ha5", 61880, {}, {}, "feeder count"},  // 1 and 2 feeders both fit
        LayoutCase{"a.Tha5", 604, {}, {}, nullptr, kUnbal, 3, 'T'},
        LayoutCase{"a.xyz", 256, {}, {}, "extension"},
        LayoutCase{"a.hm0", 256, {}, {}, "extension"},
        LayoutCase{"noext", 256, {}, {}, "extension"},
        LayoutCase{"a.xyz", 256, HarmonicOption::Odd1To49, {}, nullptr},
        LayoutCase{"a.hn1", 1536 * 2 + 1542, HarmonicOption::HighOrder256, 2, nullptr,
                   HarmonicOption::HighOrder256, 2},
        LayoutCase{"a.hn1", 0, {}, 10, "1 to 9"}));

TEST(ResultReader, RejectsRecordsOfTheWrongSize) {
    const std::vector<std::byte> bytes(512);
    const ResultRecordFormat format({HarmonicOption::Odd1To49, 1, 0});
    const std::string name = "x.hm1";
    int visited = 0;
    const auto count = [&](const RecordView& r) { visited += r.index() == 3 + visited; };
    EXPECT_THROW(forEachRecord(std::span(bytes).first(300), format, name, 0, count), InputError);
    EXPECT_EQ(visited, 0);  // nothing of a file cut short is taken
    forEachRecord(bytes, format, name, 3, count);
    EXPECT_EQ(visited, 2);
    EXPECT_THROW(ResultFileReader("/nonexistent/x.hm1"), InputError);
}

// Every layout's fields fill the record exactly, each named once, and each can be found.
TEST(ResultRecordFormat, FieldsTileTheRecordAndAreNamedOnce) {
    for (int option = 0; option < 5; ++option)
        for (int feeders = 1; feeders <= kMaxFeeders; ++feeders)
            for (char phase : {'\0', 'R'}) {
                const ResultRecordFormat f({static_cast<HarmonicOption>(option), feeders, phase});
                std::vector<int> owner(static_cast<std::size_t>(f.recordBytes()), -1);
                std::set<std::string> names;
                for (std::size_t c = 0; c < f.columns().size(); ++c) {
                    const RecordField& field = f.columns()[c];
                    for (int b = field.offset; b < field.offset + field.bytes(); ++b) {
                        ASSERT_EQ(owner.at(std::size_t(b)), -1) << f.name(field);
                        owner[std::size_t(b)] = int(c);
                    }
                    EXPECT_TRUE(names.insert(f.name(field)).second) << f.name(field);
                    EXPECT_EQ(f.find(field.kind, field.order, field.feeder, field.phase), int(c));
                }
                EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 6) << "only the stamp";
            }
    const ResultRecordFormat phaseFile({HarmonicOption::WithSuperpositionAngle, 1, 'T'});
    EXPECT_EQ(phaseFile.name(phaseFile.columns().back()), "I1_phase_angle_h49");
}

// ---- Writer → reader over every option, both writers, one and three feeders ------------

using RoundTripParam = std::tuple<HarmonicOption, int, MeasurementType>;

class RoundTripTest : public ::testing::TestWithParam<RoundTripParam> {};

// Whole-degree test angles spread over −179..179.
int angleOf(int n, int k, int salt) { return (n * salt + k * 40) % 359 - 179; }
double rad(int degrees) { return degrees * std::numbers::pi / 180; }

// Two recordings' worth of sums whose quotients and angles are known exactly.
void fillInterval(IntervalAggregate& iv, int feeders) {
    for (int n = 1; n <= iv.orders; ++n) {
        iv.voltageRms[n] = 2.0f * (100 + n);
        iv.voltageX[n] = static_cast<float>(std::cos(rad(angleOf(n, 0, 11))));
        iv.voltageY[n] = static_cast<float>(std::sin(rad(angleOf(n, 0, 11))));
        iv.currentRefX[n] = static_cast<float>(std::cos(rad(angleOf(n, 0, 13))));
        iv.currentRefY(0, n) = static_cast<float>(std::sin(rad(angleOf(n, 0, 13))));
        for (int p = 0; p < 3; ++p) {
            iv.voltagePhasorRe(p, n) = 2.0f * (100 + n);  // along the x-axis
            iv.anglePhasorVoltageIm(p, n) = iv.voltageX[n];
            iv.anglePhasorVoltageRe(p, n) = iv.voltageY[n];
            iv.anglePhasorCurrentIm(p, n) = iv.currentRefX[n];
            iv.anglePhasorCurrentRe(p, n) = iv.currentRefY(0, n);
        }
        for (int k = 0; k < feeders; ++k) {
            const double theta = rad(angleOf(n, k, 7));
            iv.currentRms(k, n) = 2.0f * (10 * k + n);
            iv.activePower(k, n) = static_cast<float>(std::cos(theta));
            iv.reactivePower(k, n) = static_cast<float>(std::sin(theta));
            for (int p = 0; p < 3; ++p) {  // the current lags the voltage by theta
                iv.currentPhasorRe(k, p, n) =
                    static_cast<float>(2 * (10 * k + n) * std::cos(theta));
                iv.currentPhasorIm(k, p, n) =
                    static_cast<float>(-2 * (10 * k + n) * std::sin(theta));
            }
        }
    }
    iv.voltageRmsByPhase = {2, 4, 6};
    for (int k = 0; k < feeders; ++k)
        for (int j = 0; j < 3; ++j) iv.currentRmsByPhase(j, k) = 2.0f * (3 * k + j + 1);
    iv.intervalState = 2;
}

std::string roundTripName(const ::testing::TestParamInfo<RoundTripParam>& info) {
    static const char* kOptions[] = {"odd49", "angle", "unbalance", "angleUnbalance", "h256"};
    const auto& [option, feeders, type] = info.param;
    return std::string(kOptions[static_cast<int>(option)]) + "_" + std::to_string(feeders) +
           (type == MeasurementType::ThreePhase3M ? "_phaseFiles" : "_singleFile");
}

TEST_P(RoundTripTest, EveryFieldComesBack) {
    const auto [option, feeders, type] = GetParam();
    ScratchFolder dir;
    auto settings =
        settingsFor(type, option, feeders,
                    outputFileNameFor(dir.file("trip"), resultExtension(option, feeders)));
    auto w = ResultWriter::open(settings);
    auto iv = intervalFor(option, feeders);
    fillInterval(iv, feeders);
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 9, 5, 0), iv));
    w->close();

    const bool phaseFiles = type == MeasurementType::ThreePhase3M;
    ASSERT_EQ(w->fileNames().size(), phaseFiles ? 3u : 1u);
    if (phaseFiles) {
        EXPECT_EQ(w->fileNames()[1], phaseFileNames(settings.outputFileName)[1]);
    }
    for (const std::string& name : w->fileNames()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::filesystem::file_size(name), std::uintmax_t(recordLength(option, feeders)));
        const auto file = readResultFile(name);
        EXPECT_EQ(file.layout.feederCount, feeders);
        ASSERT_EQ(file.records.size(), 1u);
        const ResultRecord& r = file.records[0];
        EXPECT_EQ(r.dateField, 181212.0f);
        EXPECT_EQ(r.timeField, 905);
        const bool voltageAngles = option != HarmonicOption::Odd1To49 && option != kUnbal;
        EXPECT_EQ(r.voltageAngleDeg.size(), voltageAngles ? file.orders.size() : 0u);
        EXPECT_EQ(r.firstCurrentAngleDeg.empty(), option != kAngle);
        for (std::size_t i = 0; i < file.orders.size(); ++i) {
            const int n = file.orders[i];
            ASSERT_FLOAT_EQ(r.voltageRms[i], 100.0f + n) << "order " << n;
            if (voltageAngles) {
                ASSERT_EQ(r.voltageAngleDeg[i], angleOf(n, 0, 11));
            }
            if (option == kAngle) {
                ASSERT_EQ(r.firstCurrentAngleDeg[i], angleOf(n, 0, 13));
            }
            for (int k = 0; k < feeders; ++k) {
                ASSERT_NEAR(r.currentRms[k][i], 10.0f * k + n, 1e-4f * (10 * k + n));
                ASSERT_EQ(r.currentAngleDeg[k][i], angleOf(n, k, 7)) << "order " << n;
            }
        }
        EXPECT_EQ(r.hasUnbalance,
                  option == kUnbal || option == HarmonicOption::WithAngleAndUnbalance);
        if (r.hasUnbalance) {
            EXPECT_EQ(r.voltageRmsByPhase, (std::array<float, 3>{1, 2, 3}));
            for (int k = 0; k < feeders; ++k)
                EXPECT_EQ(r.currentRmsByPhase[k],
                          (std::array<float, 3>{3.0f * k + 1, 3.0f * k + 2, 3.0f * k + 3}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, RoundTripTest,
                         ::testing::Combine(::testing::Values(HarmonicOption::Odd1To49, kAngle,
                                                              kUnbal,
                                                              HarmonicOption::WithAngleAndUnbalance,
                                                              HarmonicOption::HighOrder256),
                                            ::testing::Values(1, 3),
                                            ::testing::Values(MeasurementType::ThreePhase2M,
                                                              MeasurementType::ThreePhase3M)),
                         roundTripName);

}  // namespace
}  // namespace waveharm
