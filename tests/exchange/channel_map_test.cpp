// The channel map: quantities named by channel number, name or difference, resolved on a
// record, and the proposal read from phase and unit fields or from names.

#include "exchange/channel_map.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace waveharm {
namespace {

// Channels given as name, phase, circuit and unit; every value is the channel's number.
ChannelRecord recordOf(std::initializer_list<std::array<const char*, 4>> channels) {
    ChannelRecord r;
    r.sampleCount = 1;
    for (const auto& [name, phase, circuit, unit] : channels) {
        RecordChannel ch;
        ch.number = static_cast<int>(r.channels.size()) + 1;
        ch.rawName = ch.name = name;
        ch.phase = phase;
        ch.circuit = circuit;
        ch.unit = unit;
        r.channels.push_back(ch);
        r.values.push_back(ch.number);
    }
    return r;
}

TEST(ChannelMap, ParsesKeysAndResolvesNumbersNamesAndDifferences) {
    RecordChannelMap map;
    parseChannelMap("vrs=#1-#2, VTS = VC-B-VB ,I7S=-#3", map);
    EXPECT_EQ(map.text(), "VRS=#1-#2,VTS=VC-B-VB,I7S=-#3");
    EXPECT_THROW(parseChannelMap("I8R=#1", map), std::invalid_argument);
    EXPECT_THROW(parseChannelMap("VRS", map), std::invalid_argument);
    EXPECT_THROW(parseChannelMap("VRS=", map), std::invalid_argument);

    ChannelRecord r = recordOf({{"VA", "", "", "kV"}, {"VB", "", "", "kV"}, {"VC-B", "", "", "V"}});
    r.channels[0].toPrimary = 10;
    // A name holding '-' is found whole before the text is split at a '-'.
    const ChannelSource ts = resolveChannel(r, "VC-B-VB");
    EXPECT_EQ(ts.plus, 2);
    EXPECT_EQ(ts.minus, 1);
    EXPECT_DOUBLE_EQ(sourceValue(r, ts, 0), 3 - 2000);  // kV counts 1000
    EXPECT_DOUBLE_EQ(sourceValue(r, resolveChannel(r, "#1-VB"), 0), 10000 - 2000);
    EXPECT_DOUBLE_EQ(sourceValue(r, resolveChannel(r, "#1-VB"), 0, true), 1000 - 2000);
    EXPECT_DOUBLE_EQ(sourceValue(r, resolveChannel(r, "-#3"), 0), -3);
    for (const char* bad : {"#0", "#4", "VD", "VA-VD", "#"})
        EXPECT_THROW(resolveChannel(r, bad), std::invalid_argument) << bad;
    r.channels[1].name = "VA";  // two channels shown alike: only the number tells them apart
    EXPECT_EQ(resolveChannel(r, "VA").plus, 0) << "the name as written comes first";
    r.channels[1].rawName = "VA";
    EXPECT_THROW(resolveChannel(r, "VA"), std::invalid_argument);
}

TEST(ChannelMap, ProposesFromPhaseAndUnitFields) {
    const ChannelRecord r = recordOf({{"IA_G1", "A", "GER 1", "A"},
                                      {"IB_G1", "B", "GER 1", "A"},
                                      {"IC_G1", "C", "GER 1", "A"},
                                      {"VA_G1", "A", "GER 1", "kV"},
                                      {"VB_G1", "B", "GER 1", "kV"},
                                      {"VC_G1", "C", "GER 1", "kV"},
                                      {"VN_G1", "N", "GER 1", "kV"},
                                      {"I1", "R", "TF 8", "A"},
                                      {"I2", "S", "TF 8", "A"},
                                      {"I3", "T", "TF 8", "A"},
                                      {"VDC", "", "G1", "V"}});
    EXPECT_EQ(proposeChannelMap(r, MeasurementType::ThreePhase2M).text(),
              "VRS=VA_G1-VB_G1,VTS=VC_G1-VB_G1,I1R=IA_G1,I1T=IC_G1,I2R=I1,I2T=I3");
    const RecordChannelMap three = proposeChannelMap(r, MeasurementType::ThreePhase3M, 1);
    EXPECT_EQ(three.text(), "VRS=VA_G1-VB_G1,VTS=VC_G1-VB_G1,I1R=IA_G1,I1T=IC_G1,I1S=IB_G1");
    EXPECT_EQ(mappedFeeders(three, MeasurementType::ThreePhase3M), 1);
}

TEST(ChannelMap, ProposesFromNamesAndLineVoltages) {
    // No phase or circuit fields: the words of the names tell phase and group.
    const ChannelRecord named = recordOf({{"HV IR", "", "", "A"},
                                          {"HV IS", "", "", "A"},
                                          {"HV IT", "", "", "A"},
                                          {"HV IN", "", "", "A"},
                                          {"HV Bus VR", "", "", "V"},
                                          {"HV Bus VS", "", "", "V"},
                                          {"HV Bus VT", "", "", "V"},
                                          {"IBIAS", "", "", "A"}});
    EXPECT_EQ(proposeChannelMap(named, MeasurementType::ThreePhase2M).text(),
              "VRS=HV Bus VR-HV Bus VS,VTS=HV Bus VT-HV Bus VS,I1R=HV IR,I1T=HV IT");
    // Line voltages as the record holds them, one negated; names that cannot be typed
    // are given by number.
    ChannelRecord lines = recordOf({{"VAB", "", "", "kV"},
                                    {"VBC", "", "", "kV"},
                                    {"x", "A", "F1", "A"},
                                    {"y", "C", "F1", "A"}});
    lines.channels[2].name = "?";
    EXPECT_EQ(proposeChannelMap(lines, MeasurementType::ThreePhase2M).text(),
              "VRS=VAB,VTS=-VBC,I1R=#3,I1T=y");
    EXPECT_TRUE(
        proposeChannelMap(recordOf({{"IA", "", "", ""}}), MeasurementType::ThreePhase2M).empty());
}

}  // namespace
}  // namespace waveharm
