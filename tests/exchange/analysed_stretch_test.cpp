// The stretch of a disturbance record the analysis reads: the first segment at the highest
// rate that is long enough, cut at the trigger where enough precedes it.

#include "exchange/analysed_stretch.h"

#include <gtest/gtest.h>

namespace waveharm {
namespace {

ChannelRecord segmented(std::initializer_list<RateSegment> segments,
                        std::optional<double> trigger) {
    ChannelRecord r;
    r.segments = segments;
    r.sampleCount = r.segments.back().end;
    r.triggerSeconds = trigger;
    return r;
}

TEST(AnalysedStretch, FirstLongSegmentAtTheHighestRateUpToTheTrigger) {
    // A line-fault record: 3200 S/s, a stretch at 50 S/s, 3200 S/s again, 50 S/s.
    const auto fault = [](std::optional<double> trigger) {
        return segmented({{3200, 0, 1280}, {50, 1280, 1316}, {3200, 1316, 2788}, {50, 2788, 3077}},
                         trigger);
    };
    AnalysedStretch s = chooseStretch(fault(0.2));
    EXPECT_EQ(s.segment, 0);
    EXPECT_EQ(s.end, 640 - 214);  // three periods of 45 Hz before the trigger
    EXPECT_TRUE(s.beforeTrigger);
    EXPECT_EQ(chooseStretch(fault(0.1)).end, 320) << "no room for the margin: up to the trigger";
    EXPECT_EQ(*triggerRow(fault(1.2)), 1316 + 256);  // 0.4 s at 3200, 0.72 s at 50, then 0.08 s
    // Too little before the trigger (minimumAnalysedSamples: 143 + 111 at 3200 S/s), or the
    // trigger in another segment: the whole segment.
    s = chooseStretch(fault(0.05));
    EXPECT_EQ(s.end, 1280);
    EXPECT_FALSE(s.beforeTrigger);
    EXPECT_EQ(chooseStretch(fault(1.2)).end, 1280);
    EXPECT_EQ(chooseStretch(fault(std::nullopt)).end, 1280);
    // A first segment too short for two periods is passed over.
    s = chooseStretch(segmented({{4000, 0, 200}, {1000, 200, 2000}, {4000, 2000, 2600}}, 0.0));
    EXPECT_EQ(s.segment, 2);
    EXPECT_EQ(s.rate, 4000);
    EXPECT_EQ(chooseStretch(segmented({{4000, 0, 200}}, std::nullopt)).segment, -1);
}

}  // namespace
}  // namespace waveharm
