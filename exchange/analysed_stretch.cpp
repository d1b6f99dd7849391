#include "exchange/analysed_stretch.h"

#include <cmath>

namespace waveharm {

namespace {

constexpr double kLowestFundamentalHz = 45;
constexpr std::int64_t kSearchReach = 111;  // the crossing search's 100-sample look ahead and sum
// Periods between a disturbance's start and the trigger it causes: the detection time of
// recorders and relays, up to a few cycles.
constexpr double kTriggerMarginPeriods = 3;

}  // namespace

std::int64_t minimumAnalysedSamples(double rate) {
    return static_cast<std::int64_t>(std::ceil(2 * rate / kLowestFundamentalHz)) + kSearchReach;
}

std::optional<std::int64_t> triggerRow(const ChannelRecord& record) {
    if (!record.triggerSeconds) return std::nullopt;
    double segmentStart = 0;
    for (const RateSegment& s : record.segments) {
        const double length = static_cast<double>(s.count()) / s.rate;
        const double into = *record.triggerSeconds - segmentStart;
        // The row at or just before the trigger; a trigger on a sample (to a millionth of a
        // sample) is that sample.
        if (into < length)
            return s.first + static_cast<std::int64_t>(std::floor(into * s.rate + 1e-6));
        segmentStart += length;
    }
    return std::nullopt;
}

AnalysedStretch chooseStretch(const ChannelRecord& record) {
    AnalysedStretch stretch;
    for (std::size_t i = 0; i < record.segments.size(); ++i) {
        const RateSegment& s = record.segments[i];
        if (s.count() < minimumAnalysedSamples(s.rate) || s.rate <= stretch.rate) continue;
        stretch.segment = static_cast<int>(i);
        stretch.first = s.first;
        stretch.end = s.end;
        stretch.rate = s.rate;
    }
    if (stretch.segment < 0) return stretch;
    // The steady part before a fault: the rows up to the trigger, when they are enough.
    // A recorder triggers some cycles after a disturbance begins, so the stretch ends
    // that much earlier still where it stays long enough.
    const auto trigger = triggerRow(record);
    if (!trigger || *trigger <= stretch.first || *trigger >= stretch.end) return stretch;
    const auto margin = static_cast<std::int64_t>(
        std::ceil(kTriggerMarginPeriods * stretch.rate / kLowestFundamentalHz));
    for (const std::int64_t end : {*trigger - margin, *trigger}) {
        if (end - stretch.first < minimumAnalysedSamples(stretch.rate)) continue;
        stretch.end = end;
        stretch.beforeTrigger = true;
        break;
    }
    return stretch;
}

}  // namespace waveharm
