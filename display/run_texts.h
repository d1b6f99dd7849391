#pragma once
// The texts of a conversion run's events: the stage label, the start time of the
// recording in progress and the minute a record is stamped with.

#include <chrono>
#include <optional>
#include <string>

#include "input/recording.h"
#include "run/conversion_driver.h"

namespace waveharm {

/// The stage label of the analysis window: "データ読み込み中", "周波数確認中",
/// "レンジオーバー", "ＦＦＴ演算中", "各種演算中", "データ表示中".
const char* stageText(RunStage stage);

/// The stage label while the run is held.
inline constexpr const char* kPausedText = "中断中";

/// The analysis window's progress: "1234 / 10080 件　経過 0:12　残り 約 1:40"; while
/// the run is held "中断中" stands in place of the time left.
std::string progressText(int done, int total, std::chrono::milliseconds elapsed,
                         std::optional<std::chrono::milliseconds> left, bool paused);

/// The recording's start, "yy/mm/dd(aaa)  hh:mm:ss".
std::string startTimeText(const RecorderFileHeader& header);

/// The minute a record is stamped with, "yy/mm/dd(aaa)  hh:mm".
std::string recordStampText(DateTime stamp);

}  // namespace waveharm
