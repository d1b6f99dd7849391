// Records of other instruments through waveharm-cli: the options that select them and map
// their channels, and a folder of COMTRADE records of several revisions and data types
// converted in start-time order into result files that hold the recorded circuit.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "app/cli_convert_options.h"
#include "exchange/record_writer.h"
#include "output/result_reader.h"
#include "support/cli_runner.h"
#include "support/result_records.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

using namespace waveharm::testing;

TEST(RecordOptions, SelectTheFormatAndMapAndRefuseRecorderOptions) {
    cli::ConvertOptions o = cli::parseConvertOptions(
        words("in --output r --comtrade --map VRS=#1-#2,VTS=#3-#2,I1R=IA,I1T=IC --pt 6600"));
    EXPECT_EQ(o.settings.records.format, RecordFormat::Comtrade);
    EXPECT_EQ(o.settings.records.channelMap.text(), "VRS=#1-#2,VTS=#3-#2,I1R=IA,I1T=IC");
    EXPECT_TRUE(cli::resolveConvertSettings(o, 1).records.ratiosGiven);
    o = cli::parseConvertOptions(words("in --output r --csv --rate 50000"));
    EXPECT_EQ(o.settings.records.csvRate, 50000);
    EXPECT_FALSE(cli::resolveConvertSettings(o, 1).records.ratiosGiven);
    for (const char* bad :
         {"--rate 5000", "--map VRS=#1", "--comtrade --8840", "--comtrade --clamp 5",
          "--csv --channels 1,2,3,4", "--comtrade --map VRS", "--comtrade --map I8R=#1"}) {
        EXPECT_THROW(cli::parseConvertOptions(words(std::string("in --output r ") + bad)),
                     cli::UsageError)
            << bad;
    }
}

constexpr double kLineVolts = 6600, kAmperes = 200, kHz = 50, kRate = 3200;

// A 6.6 kV feeder at 50 Hz: phase voltages with 3 % of the fifth order, currents of 200 A
// lagging by 30° with 10 %; 0.4 s at 3200 S/s, triggered at 0.3 s.
ChannelRecord circuitRecord(int minute) {
    ChannelRecord r;
    r.station = "Sub";
    r.device = "DFR";
    r.lineFrequency = kHz;
    r.sampleCount = 1280;
    r.segments = {{kRate, 0, 1280}};
    r.start = RecordTime::from(CivilDateTime{2024, 5, 1, 10, minute, 0}, 0.25);
    r.triggerSeconds = 0.3;
    const char* names[] = {"VA", "VB", "VC", "IA", "IB", "IC"};
    for (int c = 0; c < 6; ++c) {
        RecordChannel ch;
        ch.number = c + 1;
        ch.rawName = ch.name = names[c];
        ch.phase = std::string(1, "ABC"[c % 3]);
        ch.unit = c < 3 ? "kV" : "A";
        r.channels.push_back(ch);
    }
    const double w = 2 * std::numbers::pi * kHz;
    for (int c = 0; c < 6; ++c) {
        const double peak =
            c < 3 ? kLineVolts / std::sqrt(3.0) * std::sqrt(2.0) / 1000 : kAmperes * std::sqrt(2.0);
        const double lag = c < 3 ? 0 : std::numbers::pi / 6;
        const double fifth = c < 3 ? 0.03 : 0.10;
        for (int i = 0; i < 1280; ++i) {
            const double a = w * i / kRate - 2 * std::numbers::pi / 3 * (c % 3) - lag;
            r.values.push_back(peak * (std::sin(a) + fifth * std::sin(5 * a)));
        }
    }
    return r;
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

TEST(RecordConversion, AFolderOfEveryKindOfCOMTRADERecordIsConvertedInTimeOrder) {
    const ScratchFolder folder;
    // Names out of time order, one record per revision and data type (one combined file).
    const ComtradeFiles old =
        writeComtrade(circuitRecord(2), {ComtradeRevision::Rev1991, ComtradeDataType::Ascii, 0, 1});
    writeBytes(folder / "a.cfg", old.cfg);
    writeBytes(folder / "A.DAT", {reinterpret_cast<const char*>(old.dat.data()), old.dat.size()});
    const ComtradeFiles secondary = writeComtrade(
        circuitRecord(0), {ComtradeRevision::Rev1999, ComtradeDataType::Binary, 3, 60});
    writeBytes(folder / "c.cfg", secondary.cfg);
    writeBytes(folder / "c.dat",
               {reinterpret_cast<const char*>(secondary.dat.data()), secondary.dat.size()});
    const auto combined = writeComtradeCombined(
        circuitRecord(1), {ComtradeRevision::Rev2013, ComtradeDataType::Float32, 0, 1});
    writeBytes(folder / "b.cff", {reinterpret_cast<const char*>(combined.data()), combined.size()});

    const CliResult run =
        runCli({"convert", folder.path().string(), "--comtrade", "--interpolation", "sinc",
                "--output", (folder / "r").string(), "--jobs", "2"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("records analysed: 3, skipped: 0, clipped: 0"), std::string::npos)
        << run.output;
    const ResultFileContents result = readResultFile((folder / "r.hn1").string());
    ASSERT_EQ(result.records.size(), 3u);
    const auto index = [&](int order) {
        return std::find(result.orders.begin(), result.orders.end(), order) - result.orders.begin();
    };
    for (int m = 0; m < 3; ++m) {
        const ResultRecord& r = result.records[static_cast<std::size_t>(m)];
        EXPECT_EQ(r.timeField, 1000 + m) << "records in start-time order";
        // Primary volts and amperes, whatever the file's values and ratios.
        EXPECT_NEAR(r.voltageRms[index(1)], kLineVolts, kLineVolts * 0.003) << m;
        EXPECT_NEAR(r.voltageRms[index(5)], 0.03 * kLineVolts, kLineVolts * 0.0005) << m;
        EXPECT_NEAR(r.currentRms[0][index(1)], kAmperes, kAmperes * 0.003) << m;
        EXPECT_NEAR(r.currentRms[0][index(5)], 0.1 * kAmperes, kAmperes * 0.001) << m;
    }
}

}  // namespace
}  // namespace waveharm
