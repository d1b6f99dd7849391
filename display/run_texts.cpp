#include "display/run_texts.h"

#include <cstdio>

namespace waveharm {

namespace {

// "m:ss", or "h:mm:ss" from an hour on.
std::string clockText(std::chrono::milliseconds t) {
    const long long s = (t.count() + 500) / 1000;
    char buf[32];
    if (s >= 3600) {
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    }
    return buf;
}

}  // namespace

std::string progressText(int done, int total, std::chrono::milliseconds elapsed,
                         std::optional<std::chrono::milliseconds> left, bool paused) {
    std::string text =
        std::to_string(done) + " / " + std::to_string(total) + " 件　経過 " + clockText(elapsed);
    if (paused) return text + "　" + kPausedText;
    if (left && done < total) text += "　残り 約 " + clockText(*left);
    return text;
}

const char* stageText(RunStage stage) {
    switch (stage) {
        case RunStage::Reading:
            return "データ読み込み中";
        case RunStage::CheckingFrequency:
            return "周波数確認中";
        case RunStage::RangeOver:
            return "レンジオーバー";
        case RunStage::Clipped:
            return "波形クリップ";
        case RunStage::Transforming:
            return "ＦＦＴ演算中";
        case RunStage::Computing:
            return "各種演算中";
        case RunStage::Displaying:
            return "データ表示中";
    }
    return "";
}

std::string startTimeText(const RecorderFileHeader& header) {
    return header.dateText() + "  " + header.timeText();
}

std::string recordStampText(DateTime stamp) {
    return formatDateText(stamp) + "  " + formatTimeText(stamp).substr(0, 5);
}

}  // namespace waveharm
