// CSV records: separators, decimal commas, the time column or a given rate, units in the
// column names, and rows that cannot be read refused with their line and column.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/error.h"
#include "exchange/csv_record.h"
#include "exchange/record_writer.h"

namespace waveharm {
namespace {

std::span<const std::byte> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

ChannelRecord parse(std::string_view text, const CsvOptions& options = {}) {
    return parseCsvRecord(bytesOf(text), "r.csv", options);
}

TEST(CsvRecord, ReadsTheWrittenRecordWithEitherSeparator) {
    ChannelRecord in;
    in.segments = {{10000, 0, 50}};
    in.sampleCount = 50;
    for (const char* name : {"Va [kV]", "Ia (A)"}) {
        RecordChannel ch;
        ch.rawName = ch.name = name;
        in.channels.push_back(ch);
    }
    in.values.resize(100);
    for (int i = 0; i < 100; ++i) in.values[i] = std::sin(0.1 * i) * 1234.5678;
    for (const char separator : {',', ';'}) {
        const ChannelRecord out = parse(writeCsv(in, separator));
        ASSERT_EQ(out.channels.size(), 2u) << separator;
        EXPECT_NEAR(out.segments.at(0).rate, 10000, 1e-6);
        EXPECT_EQ(out.channels[0].unit, "kV");
        EXPECT_EQ(out.channels[1].unit, "A");
        EXPECT_EQ(out.values, in.values);  // shortest round-trip text, either decimal mark
        EXPECT_FALSE(out.start);
    }
    // Without a time column the rate must be given.
    const std::string noTime = writeCsv(in, ',', false);
    EXPECT_EQ(parse(noTime, {5000.0}).segments.at(0).rate, 5000);
    EXPECT_THROW(parse(noTime), InputError);
}

TEST(CsvRecord, DateTimeStampsGiveTheStartAndTheRate) {
    const ChannelRecord r = parse(
        "Time_UTC,MODAQ_Va_V,MODAQ_Ia_I\n"
        "2020-02-24 18:15:21.499998208,1.5,-2\n"
        "2020-02-24 18:15:21.500018208,2.5,,\n"
        "2020-02-24 18:15:21.500038209,3.5,-4\n");
    EXPECT_EQ(formatDateTimeText(r.start->whole), "2020/02/24 18:15:21");
    EXPECT_NEAR(r.start->fraction, 0.499998208, 1e-12);
    EXPECT_NEAR(r.segments.at(0).rate, 2 / 40.001e-6, 1e-3);
    EXPECT_EQ(r.channels[0].unit, "V");
    EXPECT_EQ(r.channels[1].unit, "");  // "_I" names the quantity, not a unit
    EXPECT_EQ(r.channels[1].missingSamples, 1);
    EXPECT_TRUE(std::isnan(r.column(1)[1]));
}

struct BadCsv {
    const char* name;
    const char* text;
    const char* reason;
};

void PrintTo(const BadCsv& c, std::ostream* os) { *os << c.name; }

class BadCsvs : public ::testing::TestWithParam<BadCsv> {};

TEST_P(BadCsvs, AreRefusedWithTheirLine) {
    try {
        parse(GetParam().text);
        FAIL() << "accepted";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file(), "r.csv");
        EXPECT_NE(e.reason().find(GetParam().reason), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Csv, BadCsvs,
    ::testing::Values(
        BadCsv{"Empty", "", "before the header row"},
        BadCsv{"NumbersForNames", "0,1,2\n1,2,3\n", "line 1: the first row holds numbers"},
        BadCsv{"UnnamedColumn", "time,,Ia\n0,1,2\n", "line 1: column 2 of the header"},
        BadCsv{"ValueNotANumber", "time;Va\n0;1,5\n0,1;x\n", "line 3: value 'x' of column 'Va'"},
        BadCsv{"PointInCommaFile", "time;Va\n0;1,5\n0,1;1.5,0\n", "line 3: value '1.5,0'"},
        BadCsv{"ShortRow", "time,Va,Ia\n0,1,2\n0.1,1\n", "line 3: the row has 2 columns"},
        BadCsv{"TimeJumps", "t,Va\n0,1\n1,1\n2,1\n4,1\n5,1\n", "line 5: the time column does not"},
        BadCsv{"TimeNotANumber", "time,Va\n0,1\nnoon,1\n", "line 3: time 'noon'"},
        BadCsv{"NoTimeNoRate", "Va,Vb\n1,2\n", "no time column"}));

}  // namespace
}  // namespace waveharm
