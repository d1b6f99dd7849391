#include "display/run_texts.h"

namespace waveharm {

const char* stageText(RunStage stage) {
    switch (stage) {
        case RunStage::Reading:
            return "データ読み込み中";
        case RunStage::CheckingFrequency:
            return "周波数確認中";
        case RunStage::RangeOver:
            return "レンジオーバー";
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
