#include "ui/run_summary.h"

#include <filesystem>
#include <system_error>

#include "base/utf8_path.h"
#include "display/error_texts.h"

namespace waveharm {

namespace {

std::string fullPath(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(utf8Path(name), ec);
    return ec ? name : utf8Text(p.lexically_normal());
}

std::string count(int n) { return std::to_string(n) + " 件"; }

}  // namespace

std::string skippedRecordingText(const SkippedRecording& skipped) {
    return readErrorMessage(skipped.kind, skipped.fileName, skipped.offset, "");
}

std::string runSummaryText(const ConversionSummary& summary, RunEnd end) {
    std::string text;
    switch (end) {
        case RunEnd::Finished:
            text = "変換が終わりました。\n";
            break;
        case RunEnd::Ended:
            text = "「終了」で変換を打ち切りました。保存間隔の途中の記録は書き込まれていません。\n";
            break;
        case RunEnd::Stopped:
            text = "結果ファイルに書き込めないため変換を中止しました。\n";
            break;
    }
    text += "\n解析した記録：" + count(summary.analysed) + "\n";
    text += "読み込めなかった記録：" + count(summary.skipped) + "\n";
    for (const SkippedRecording& s : summary.skippedRecordings)
        text += "　" + skippedRecordingText(s) + "\n";
    text += "レンジオーバーの記録：" + count(summary.rangeOver) + "\n";
    text += "書き込んだレコード：" + count(summary.recordsWritten) + "\n";
    text += "結果ファイル：\n";
    if (summary.files.empty()) text += "　（なし）\n";
    for (const std::string& f : summary.files) text += "　" + fullPath(f) + "\n";
    return text;
}

}  // namespace waveharm
