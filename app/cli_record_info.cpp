// waveharm-cli info on a record of another instrument (COMTRADE, CSV): its information,
// its channels with their numbers, names, phases, units and ratios, its rate segments and
// the stretch the analysis reads, and the channel map proposed for it.

#include "app/cli_record_info.h"

#include <cmath>
#include <cstdio>

#include "base/utf8_path.h"
#include "exchange/analysed_stretch.h"
#include "exchange/channel_map.h"
#include "input/header_text.h"

namespace waveharm::cli {

namespace {

std::string secondsText(std::int64_t rows, double rate) {
    return numberText(std::round(static_cast<double>(rows) / rate * 1e4) / 1e4) + " s";
}

void printSegments(const ChannelRecord& r) {
    std::printf("ｻﾝﾌﾟﾘﾝｸﾞ\n");
    for (const RateSegment& s : r.segments)
        std::printf("  %s S/s  rows %lld..%lld (%s)\n", numberText(s.rate).c_str(),
                    static_cast<long long>(s.first), static_cast<long long>(s.end - 1),
                    secondsText(s.count(), s.rate).c_str());
    const AnalysedStretch a = chooseStretch(r);
    if (a.segment < 0) {
        std::printf("  解析区間: none (no segment holds two periods)\n");
        return;
    }
    std::printf("  解析区間: rows %lld..%lld at %s S/s%s\n", static_cast<long long>(a.first),
                static_cast<long long>(a.end - 1), numberText(a.rate).c_str(),
                a.beforeTrigger ? ", before the trigger" : "");
}

std::string ratioText(const RecordChannel& ch) {
    if (ch.primaryRating <= 0 && ch.secondaryRating <= 0) return "";
    return numberText(ch.primaryRating) + "/" + numberText(ch.secondaryRating) +
           (ch.secondaryValues ? " S" : " P");
}

void printChannels(const ChannelRecord& r) {
    std::printf("チャンネル\n  %4s  %-24s %-5s %-6s %-16s %s\n", "#", "name", "phase", "unit",
                "ratio", "circuit");
    for (const RecordChannel& ch : r.channels) {
        std::printf("  %4d  %-24s %-5s %-6s %-16s %s", ch.number, ch.name.c_str(), ch.phase.c_str(),
                    ch.unit.c_str(), ratioText(ch).c_str(), ch.circuit.c_str());
        if (ch.clippedSamples > 0)
            std::printf("  (%lld samples clipped)", static_cast<long long>(ch.clippedSamples));
        if (ch.missingSamples > 0)
            std::printf("  (%lld samples missing)", static_cast<long long>(ch.missingSamples));
        std::printf("\n");
    }
}

}  // namespace

void printChannelRecord(const std::filesystem::path& path, const ChannelRecord& r,
                        MeasurementType type) {
    std::printf("入力ファイル情報: %s\n", utf8Text(path.filename()).c_str());
    std::printf("  形式: %s\n", r.format.c_str());
    if (!r.station.empty() || !r.device.empty())
        std::printf("  記録場所: %s  %s\n", r.station.c_str(), r.device.c_str());
    if (r.start) {
        std::printf("  測定年月日: %s\n", formatDateText(r.start->whole).c_str());
        std::printf("  測定開始時間: %s\n", formatTimeText(r.start->whole).c_str());
    }
    if (r.triggerSeconds)
        std::printf("  トリガ: %s after the start\n",
                    (numberText(*r.triggerSeconds) + " s").c_str());
    if (r.lineFrequency > 0)
        std::printf("  系統周波数: %s Hz\n", numberText(r.lineFrequency).c_str());
    std::printf("  全ｻﾝﾌﾟﾙ数: %lld\n", static_cast<long long>(r.sampleCount));
    printSegments(r);
    printChannels(r);
    const RecordChannelMap proposal = proposeChannelMap(r, type);
    std::printf("チャンネル割当 (proposed): %s\n",
                proposal.empty() ? "none: give --map" : proposal.text().c_str());
}

}  // namespace waveharm::cli
