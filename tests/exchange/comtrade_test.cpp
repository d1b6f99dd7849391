// COMTRADE records: every revision and data type written and read back, the fields whose
// meaning differs between revisions, and malformed files refused with their line.

#include "exchange/comtrade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "base/error.h"
#include "exchange/record_writer.h"

namespace waveharm {
namespace {

std::span<const std::byte> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// Three channels of a 50 Hz circuit with a fifth harmonic, at two rates, one value missing.
ChannelRecord sample() {
    ChannelRecord r;
    r.station = "Sub A";
    r.device = "DFR 7";
    r.lineFrequency = 50;
    r.segments = {{2000, 0, 120}, {400, 120, 140}};
    r.sampleCount = 140;
    const char* names[] = {"VA", "VB", "IA"};
    const char* units[] = {"kV", "kV", "A"};
    for (int c = 0; c < 3; ++c) {
        RecordChannel ch;
        ch.number = c + 1;
        ch.rawName = ch.name = names[c];
        ch.phase = c == 1 ? "B" : "A";
        ch.unit = units[c];
        r.channels.push_back(ch);
    }
    r.values.resize(3 * 140);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 140; ++i) {
            const double t = i / 2000.0 - 2 * std::numbers::pi * c / 3;
            r.column(c)[i] =
                (c == 2 ? 400.0 : 6.6) * (std::sin(2 * std::numbers::pi * 50 * t) +
                                          0.04 * std::sin(2 * std::numbers::pi * 250 * t));
        }
    r.column(1)[7] = std::numeric_limits<double>::quiet_NaN();
    r.start = RecordTime::from(CivilDateTime{2024, 3, 9, 13, 5, 7}, 0.25);
    r.triggerSeconds = 0.02;
    return r;
}

struct Variant {
    ComtradeRevision revision;
    ComtradeDataType type;
    bool combined = false;
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << revisionText(v.revision) << "_" << dataTypeText(v.type) << (v.combined ? "_cff" : "");
}

class EveryRevisionAndType : public ::testing::TestWithParam<Variant> {};

TEST_P(EveryRevisionAndType, ReadsBackWhatWasWritten) {
    const Variant v = GetParam();
    ChannelRecord in = sample();
    // 1991's binary data have no mark for a missing value.
    const bool marksMissing =
        v.revision != ComtradeRevision::Rev1991 || v.type != ComtradeDataType::Binary;
    if (!marksMissing) in.column(1)[7] = 0;
    ComtradeWriteOptions options{v.revision, v.type, 3,
                                 v.revision == ComtradeRevision::Rev1991 ? 1.0 : 2200.0};
    ChannelRecord out;
    if (v.combined) {
        out = parseComtradeCombined(writeComtradeCombined(in, options), "r.cff");
    } else {
        const ComtradeFiles files = writeComtrade(in, options);
        out = parseComtrade(bytesOf(files.cfg), "r.cfg", files.dat, "r.dat");
    }
    ASSERT_EQ(out.channels.size(), 3u);
    EXPECT_EQ(out.station, "Sub A");
    EXPECT_EQ(out.format.find("COMTRADE"), 0u);
    ASSERT_EQ(out.segments.size(), 2u);
    EXPECT_EQ(out.segments[1].rate, 400);
    EXPECT_EQ(out.segments[1].first, 120);
    EXPECT_EQ(out.sampleCount, 140);
    EXPECT_EQ(formatDateTimeText(out.start->whole), "2024/03/09 13:05:07");
    EXPECT_NEAR(out.start->fraction, 0.25, 1e-9);
    EXPECT_NEAR(*out.triggerSeconds, 0.02, 1e-9);
    EXPECT_EQ(out.channels[1].phase, "B");
    EXPECT_EQ(out.channels[0].unit, "kV");
    EXPECT_EQ(out.channels[1].missingSamples, marksMissing ? 1 : 0);
    EXPECT_EQ(std::isnan(out.column(1)[7]), marksMissing);
    for (int c = 0; c < 3; ++c) {
        // Values come back in primary units within the integer formats' quantisation.
        const double k = out.channels[c].toPrimary;
        EXPECT_EQ(out.channels[c].secondaryValues, options.secondaryRatio != 1);
        for (int i = 0; i < 140; ++i) {
            if (c == 1 && i == 7) continue;
            EXPECT_NEAR(out.column(c)[i] * k, in.column(c)[i], 1e-4 * (c == 2 ? 400 : 6.6))
                << "channel " << c << " sample " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Comtrade, EveryRevisionAndType,
    ::testing::Values(Variant{ComtradeRevision::Rev1991, ComtradeDataType::Ascii},
                      Variant{ComtradeRevision::Rev1991, ComtradeDataType::Binary},
                      Variant{ComtradeRevision::Rev1999, ComtradeDataType::Ascii},
                      Variant{ComtradeRevision::Rev1999, ComtradeDataType::Binary},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Ascii},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Binary},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Binary32},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Float32},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Ascii, true},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Binary, true},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Binary32, true},
                      Variant{ComtradeRevision::Rev2013, ComtradeDataType::Float32, true}));

// A small record written by hand: two analog channels (one of secondary values), one
// digital, four samples at 1 kS/s.
const char kConfig[] =
    "Station,Dev,1999\r\n"
    "3,2A,1D\r\n"
    "1,VA,A,Bus,kV,0.1,0.5,0,-32767,32767,66,0.11,S\r\n"
    "2,IA,A,Line,A,0.01,0,0,-32767,32767,600,5,P\r\n"
    "1,CB,,,0\r\n"
    "50\r\n"
    "1\r\n"
    "1000,4\r\n"
    "01/02/2024,10:20:30.000000\r\n"
    "01/02/2024,10:20:30.002000\r\n"
    "ASCII\r\n"
    "1\r\n";
const char kData[] = "1,0,100,-50,0\r\n2,1000,200,-100,1\r\n3,2000,-100,,0\r\n4,3000,0,0,1\r\n";

TEST(ComtradeFields, ScalingRatiosDatesAndStampsFollowTheRevision) {
    ChannelRecord r = parseComtrade(bytesOf(kConfig), "a.cfg", bytesOf(kData), "a.dat");
    EXPECT_DOUBLE_EQ(r.column(0)[1], 0.1 * 200 + 0.5);  // a·x + b
    EXPECT_DOUBLE_EQ(r.channels[0].toPrimary, 600);     // 66 / 0.11
    EXPECT_DOUBLE_EQ(r.channels[1].toPrimary, 1);
    EXPECT_EQ(r.channels[1].missingSamples, 1);
    EXPECT_EQ(formatDateTimeText(r.start->whole), "2024/02/01 10:20:30");  // dd/mm/yyyy

    // 1991 writes the month first and its analog lines stop after the maximum.
    std::string old = kConfig;
    old.replace(old.find(",1999"), 5, "");
    old.replace(old.find(",66,0.11,S"), 10, "");
    old.replace(old.find(",600,5,P"), 8, "");
    old.replace(old.find("\r\n1\r\n", old.find("ASCII")), 5, "\r\n");
    r = parseComtrade(bytesOf(old), "a.cfg", bytesOf(kData), "a.dat");
    EXPECT_EQ(formatDateTimeText(r.start->whole), "2024/01/02 10:20:30");  // mm/dd/yy

    // No rate: the stamps give it. A 2013 record to the nanosecond stamps in ns, and its
    // time codes put the start in the recorder's local time.
    std::string modern = kConfig;
    modern.replace(modern.find("1999"), 4, "2013");
    modern.replace(modern.find("1\r\n1000,4"), 9, "0\r\n0,4");
    modern.replace(modern.find("30.000000"), 9, "30.000000000");
    modern += "-5h30,+9\r\n0,0\r\n";
    const std::string nanos = "1,0,1,1,0\n2,250,1,1,0\n3,500,1,1,0\n4,750,1,1,0\n";
    r = parseComtrade(bytesOf(modern), "a.cfg", bytesOf(nanos), "a.dat");
    EXPECT_DOUBLE_EQ(r.segments.at(0).rate, 4e6);
    EXPECT_EQ(formatDateTimeText(r.start->whole), "2024/02/02 00:50:30");
}

TEST(ComtradeFields, BinaryStampsMayWrapAndLimitsCountAsClipped) {
    std::string cfg = kConfig;
    cfg.replace(cfg.find("ASCII"), 5, "BINARY");
    cfg.replace(cfg.find("1\r\n1000,4"), 9, "0\r\n0,4");
    std::vector<std::byte> dat;
    const std::uint32_t stamps[] = {0xFFFFFC18u, 0, 1000, 2000};  // wraps after the first
    const std::int16_t values[][2] = {{32767, 1}, {-32767, 2}, {-32768, 3}, {0, 4}};
    for (int i = 0; i < 4; ++i) {
        for (const std::uint32_t v : {std::uint32_t(i + 1), stamps[i]})
            for (int k = 0; k < 4; ++k) dat.push_back(std::byte((v >> (8 * k)) & 0xFF));
        for (const std::int16_t v : values[i]) {
            dat.push_back(std::byte(v & 0xFF));
            dat.push_back(std::byte((v >> 8) & 0xFF));
        }
        dat.insert(dat.end(), 2, std::byte{0});  // the digital channel's status word
    }
    const ChannelRecord r = parseComtrade(bytesOf(cfg), "b.cfg", dat, "b.dat");
    EXPECT_DOUBLE_EQ(r.segments.at(0).rate, 1000);
    EXPECT_EQ(r.channels[0].clippedSamples, 2);
    EXPECT_EQ(r.channels[0].missingSamples, 1);  // -32768 marks a missing value
    EXPECT_TRUE(std::isnan(r.column(0)[2]));
}

// A malformed configuration or data file: the edit that breaks it, the line the error
// must name and a part of its reason.
struct Malformed {
    const char* name;
    bool inData;  ///< the edit is to the data file
    const char* find;
    const char* replace;
    int line;  ///< 0: the error names no line
    const char* reason;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class MalformedComtrade : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedComtrade, IsRefusedNamingTheFileAndLine) {
    const Malformed m = GetParam();
    std::string cfg = kConfig, dat = kData;
    std::string& target = m.inData ? dat : cfg;
    const std::size_t at = target.find(m.find);
    ASSERT_NE(at, std::string::npos) << m.find;
    target.replace(at, std::string_view(m.find).size(), m.replace);
    try {
        parseComtrade(bytesOf(cfg), "bad.cfg", bytesOf(dat), "bad.dat");
        FAIL() << "accepted";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file(), m.inData ? "bad.dat" : "bad.cfg");
        if (m.line > 0) {
            EXPECT_EQ(e.reason().find("line " + std::to_string(m.line) + ":"), 0u) << e.what();
        }
        EXPECT_NE(e.reason().find(m.reason), std::string::npos) << e.what();
    }
}

const Malformed kMalformed[] = {
    {"UnknownRevision", false, "1999", "1998", 1, "revision year '1998'"},
    {"CountsDisagree", false, "3,2A,1D", "4,2A,1D", 2, "do not make the total of 4"},
    {"CountWithoutLetter", false, "2A", "2", 2, "does not end in A"},
    {"ChannelOutOfOrder", false, "1,VA", "2,VA", 3, "channel number 2 is not analog channel 1"},
    {"MultiplierNotANumber", false, "0.1,0.5", "O.1,0.5", 3, "multiplier a 'O.1'"},
    {"AnalogLineTooShort", false, ",600,5,P", ",600,5", 4, "has 12 fields, not 13"},
    {"NoPrimarySecondaryMark", false, ",S\r", ",X\r", 3, "mark 'X' is not P or S"},
    {"SecondaryWithoutRatio", false, "66,0.11,S", "66,0,S", 3, "positive primary"},
    {"MinimumAboveMaximum", false, "-32767,32767,600", "32767,-32767,600", 4, "minimum"},
    {"DigitalNumber", false, "1,CB", "x,CB", 5, "channel number 'x'"},
    {"NegativeFrequency", false, "\n50\r", "\n-50\r", 6, "line frequency is negative"},
    {"RateCount", false, "\n1\r\n1000", "\nI\r\n1000", 7, "number of sampling rates 'I'"},
    {"RateLineOneField", false, "1000,4", "1000", 8, "has 1 fields, not 2"},
    {"LastSampleZero", false, "1000,4", "1000,0", 8, "last sample number 0 lies outside"},
    {"NegativeRate", false, "1000,4", "-1000,4", 8, "is not positive"},
    {"StartDate", false, "01/02/2024,10:20:30.000", "32/02/2024,10:20:30.000", 9,
     "is not dd/mm/yyyy"},
    {"TriggerTime", false, "10:20:30.002", "25:20:30.002", 10, "is not hh:mm:ss"},
    {"DataType", false, "ASCII", "BINARY16", 11, "'BINARY16' is not ASCII"},
    {"TimeMultiplier", false, "ASCII\r\n1", "ASCII\r\n0", 12, "not positive"},
    {"EndsEarly", false,
     "01/02/2024,10:20:30.000000\r\n01/02/2024,10:20:30.002000\r\nASCII\r\n1\r\n", "", 0,
     "ends after line 8, before the start time"},
    {"ValueNotANumber", true, "200,", "2OO,", 2, "value '2OO' of analog channel 1"},
    {"LineShortOfValues", true, "3,2000,-100,,0", "3,2000,-100", 3, "ends before analog"},
    {"DigitalState", true, "4,3000,0,0,1", "4,3000,0,0,2", 4, "state '2' of digital channel 1"},
    {"SampleTooMany", true, "4,3000,0,0,1\r\n", "4,3000,0,0,1\r\n5,4000,0,0,0\r\n", 5,
     "beyond the configuration's 4"},
    {"SampleTooFew", true, "4,3000,0,0,1\r\n", "", 0, "ends after sample 3 of 4"},
    {"SampleNumber", true, "3,2000", "three,2000", 3, "sample number 'three'"},
};

INSTANTIATE_TEST_SUITE_P(Comtrade, MalformedComtrade, ::testing::ValuesIn(kMalformed));

TEST(MalformedComtradeBinary, ShortDataAndBrokenCombinedFilesAreRefused) {
    ChannelRecord r = sample();
    const ComtradeWriteOptions options{ComtradeRevision::Rev2013, ComtradeDataType::Float32};
    ComtradeFiles files = writeComtrade(r, options);
    files.dat.pop_back();
    EXPECT_THROW(
        try {
            parseComtrade(bytesOf(files.cfg), "c.cfg", files.dat, "c.dat");
        } catch (const InputError& e) {
            EXPECT_NE(e.reason().find("ends after sample 139 of 140"), std::string::npos);
            throw;
        },
        InputError);

    std::vector<std::byte> cff = writeComtradeCombined(r, options);
    const std::string text(reinterpret_cast<const char*>(cff.data()), 2000);
    const std::size_t count = text.find("BINARY: ") + 8;
    cff[count] = std::byte{'9'};  // a byte count far beyond the file
    EXPECT_THROW(parseComtradeCombined(cff, "c.cff"), InputError);
    EXPECT_THROW(parseComtradeCombined(bytesOf("--- file type: DAT ASCII ---\n1,0,1\n"), "d.cff"),
                 InputError);
}

}  // namespace
}  // namespace waveharm
