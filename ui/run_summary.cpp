#include "ui/run_summary.h"

#include <filesystem>
#include <system_error>

#include "base/utf8_path.h"
#include "display/error_texts.h"
#include "display/run_texts.h"

namespace waveharm {

namespace {

std::string fullPath(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(utf8Path(name), ec);
    return ec ? name : utf8Text(p.lexically_normal());
}

std::string count(int n) { return std::to_string(n) + " 件"; }

std::string stoppedText(std::optional<RunFault> fault) {
    switch (fault.value_or(RunFault::Writing)) {
        case RunFault::OpeningFiles:
            return "結果ファイルを作成できないため変換を中止しました。\n";
        case RunFault::Writing:
            return "結果ファイルに書き込めないため変換を中止しました。\n";
        case RunFault::Analysing:
            return "記録の解析中に障害が起きたため変換を中止しました。\n";
    }
    return {};
}

// What a run cut short left in its files.
std::string keptText(const ConversionSummary& summary) {
    std::string text = "結果は途中までです：" + count(summary.recordsWritten) + "のレコードを保存";
    if (summary.lastRecordStamp)
        text += "（最後のレコード " + recordStampText(*summary.lastRecordStamp) + "）";
    return text + "。\n保存間隔の途中の記録は書き込まれていません。\n";
}

}  // namespace

std::string skippedRecordingText(const SkippedRecording& skipped) {
    return readErrorMessage(skipped.kind, skipped.fileName, skipped.offset, "");
}

std::string runSummaryText(const ConversionSummary& summary, RunEnd end,
                           std::optional<RunFault> fault) {
    std::string text;
    switch (end) {
        case RunEnd::Finished:
            text = "変換が終わりました。\n";
            break;
        case RunEnd::Ended:
            text = "利用者の操作（「終了」）で変換を打ち切りました。\n" + keptText(summary);
            break;
        case RunEnd::Stopped:
            text = stoppedText(fault) + keptText(summary);
            break;
    }
    text += "\n解析した記録：" + count(summary.analysed) + "\n";
    text += "読み込めなかった記録：" + count(summary.skipped) + "\n";
    for (const SkippedRecording& s : summary.skippedRecordings)
        text += "　" + skippedRecordingText(s) + "\n";
    text += "レンジオーバーの記録：" + count(summary.rangeOver) + "\n";
    // Records of other instruments: samples at the limit of their file's number format.
    if (summary.clipped > 0) text += "波形がクリップした記録：" + count(summary.clipped) + "\n";
    text += "書き込んだレコード：" + count(summary.recordsWritten) + "\n";
    text += "結果ファイル：\n";
    if (summary.files.empty()) text += "　（なし）\n";
    for (const std::string& f : summary.files) text += "　" + fullPath(f) + "\n";
    return text;
}

}  // namespace waveharm
