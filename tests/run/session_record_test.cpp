// The session on a folder of records of another instrument: the earliest made current
// with the channel map proposed from its phases and units, an entry the record does not
// hold shown as the reason it cannot be analysed, and the proposal again.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "exchange/record_writer.h"
#include "run/session.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

// Phase voltages and currents of a 50 Hz feeder, 0.3 s at 3200 S/s.
ChannelRecord feederRecord(int minute) {
    ChannelRecord r;
    r.sampleCount = 960;
    r.segments = {{3200, 0, 960}};
    r.start = RecordTime::from(CivilDateTime{2024, 5, 1, 10, minute, 0}, 0);
    const char* names[] = {"UA", "UB", "UC", "IA", "IB", "IC"};
    for (int c = 0; c < 6; ++c) {
        RecordChannel ch;
        ch.number = c + 1;
        ch.rawName = ch.name = names[c];
        ch.unit = c < 3 ? "V" : "A";
        r.channels.push_back(ch);
        for (int i = 0; i < 960; ++i)
            r.values.push_back((c < 3 ? 100 : 5) *
                               std::sin(2 * std::numbers::pi * (50.0 * i / 3200 - (c % 3) / 3.0)));
    }
    return r;
}

TEST(SessionRecords, ProposeTheMapAndShowWhatItCannotName) {
    const testing::ScratchFolder folder;
    for (const int minute : {5, 3}) {
        const ComtradeFiles f = writeComtrade(feederRecord(minute), {});
        const std::string stem = "r" + std::to_string(minute);
        std::ofstream(folder / (stem + ".cfg"), std::ios::binary) << f.cfg;
        std::ofstream(folder / (stem + ".dat"), std::ios::binary)
            .write(reinterpret_cast<const char*>(f.dat.data()), std::streamsize(f.dat.size()));
    }
    Session session;
    session.scanFolder(folder.path());
    session.setRecordFormat(RecordFormat::Comtrade);
    ASSERT_EQ(session.files().count(), 2);
    EXPECT_EQ(session.currentFileName(), "r3.cfg");
    ASSERT_NE(session.recording(), nullptr);
    EXPECT_EQ(session.settings().records.channelMap.text(), "VRS=UA-UB,VTS=UC-UB,I1R=IA,I1T=IC");
    EXPECT_EQ(session.offeredFeederCounts(), 1);
    EXPECT_EQ(session.analysisSettings().ptRatio, 1) << "the record's values are primary";

    session.setChannelMapEntry(currentQuantity(1, 1), "ID");
    EXPECT_EQ(session.recording(), nullptr);
    ASSERT_TRUE(session.readError());
    EXPECT_NE(session.readError()->reason.find("ID"), std::string::npos);
    EXPECT_NE(session.record(), nullptr) << "its channels stay for the map";
    EXPECT_TRUE(session.proposeChannelMap());
    EXPECT_NE(session.recording(), nullptr);
}

}  // namespace
}  // namespace waveharm
