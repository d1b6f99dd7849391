// The public records of real instruments in ../shared/realdata (next to the project's
// folder; every developer and the CI have it): each is read whole, with its rate
// segments, trigger and channel scaling. The tests are skipped where the folder is absent.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "exchange/analysed_stretch.h"
#include "exchange/comtrade.h"
#include "exchange/csv_record.h"

namespace waveharm {
namespace {

const std::filesystem::path kRealData =
    std::filesystem::path(WAVEHARM_SOURCE_DIR) / ".." / "shared" / "realdata";

struct RealRecord {
    const char* path;
    const char* format;
    std::size_t channels;
    std::int64_t samples;
    double rate;          ///< of the analysed stretch
    std::int64_t before;  ///< rows of the analysed stretch (three periods before the trigger)
    const char* start;
};

void PrintTo(const RealRecord& r, std::ostream* os) { *os << r.path; }

class RealRecords : public ::testing::TestWithParam<RealRecord> {};

TEST_P(RealRecords, AreReadWholeWithTheirSegmentsAndTrigger) {
    const RealRecord& want = GetParam();
    const std::filesystem::path path = kRealData / want.path;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "needs ../shared/realdata";
    const ChannelRecord r = path.extension() == ".csv" ? readCsvRecord(path) : readComtrade(path);
    EXPECT_EQ(r.format, want.format);
    EXPECT_EQ(r.channels.size(), want.channels);
    EXPECT_EQ(r.sampleCount, want.samples);
    EXPECT_EQ(formatDateTimeText(r.start->whole), want.start);
    const AnalysedStretch s = chooseStretch(r);
    EXPECT_NEAR(s.rate, want.rate, 0.01);
    EXPECT_EQ(s.count(), want.before);
    for (const RecordChannel& ch : r.channels) {
        EXPECT_EQ(ch.missingSamples, 0) << ch.name;
        EXPECT_EQ(ch.clippedSamples, 0) << ch.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Realdata, RealRecords,
    ::testing::Values(RealRecord{"hydro_dfr_5760hz/test1.cfg", "COMTRADE 1999 BINARY", 6, 24768,
                                 5760, 1344, "2007/06/25 19:13:57"},
                      RealRecord{"hydro_dfr_5760hz/test2.cfg", "COMTRADE 1999 BINARY", 26, 13248,
                                 5760, 1344, "2007/01/01 12:22:50"},
                      RealRecord{"hydro_dfr_5760hz/test3.cfg", "COMTRADE 1999 BINARY", 31, 24768,
                                 5760, 1344, "2007/06/25 19:13:57"},
                      RealRecord{"jp_steel_ret670_60hz/Comtrade1.cfg", "COMTRADE 2013 FLOAT32", 23,
                                 7200, 1200, 1119, "2023/07/27 09:19:53"},
                      RealRecord{"cn_220kv_fault_50hz/xtz.cfg", "COMTRADE 1999 BINARY", 48, 3077,
                                 3200, 425, "2023/05/12 19:45:25"},
                      RealRecord{"cn_220kv_fault_50hz/ygz.cfg", "COMTRADE 1999 BINARY", 96, 2830,
                                 3200, 425, "2023/05/12 19:45:32"},
                      RealRecord{"cn_220kv_fault_50hz/ymz.cfg", "COMTRADE 1999 BINARY", 80, 2977,
                                 4000, 320, "2023/05/12 19:45:26"},
                      RealRecord{"mhkit_modaq_60hz/2020224_181521_PowRaw.csv", "CSV", 6, 8000,
                                 49999.45, 8000, "2020/02/24 18:15:21"}));

}  // namespace
}  // namespace waveharm
