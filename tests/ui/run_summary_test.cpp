// The end-of-run summary's text: counts, every skipped file with its Japanese reason,
// and the result files by their full paths.

#include "ui/run_summary.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "display/error_texts.h"

namespace waveharm {
namespace {

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(RunSummary, TellsWhatTheRunAnalysedSkippedAndWrote) {
    ConversionSummary s;
    s.analysed = 7;
    s.skipped = 2;
    s.skippedRecordings = {
        {3, "W3000.MEM", "header of 7 blocks is longer than the file", ErrorKind::DataOutsideFile,
         12},
        {5, "AUTO0005.MEM", "dead voltage", ErrorKind::NotAnalysable, -1},
    };
    s.rangeOver = 1;
    s.recordsWritten = 4;
    s.files = {"out/site.hm1"};
    const std::string text = runSummaryText(s, RunEnd::Finished);

    EXPECT_TRUE(hasLine(text, "変換が終わりました。")) << text;
    EXPECT_TRUE(hasLine(text, "解析した記録：7 件")) << text;
    EXPECT_TRUE(hasLine(text, "読み込めなかった記録：2 件")) << text;
    EXPECT_TRUE(hasLine(
        text, "　W3000.MEM：" + errorKindText(ErrorKind::DataOutsideFile) + "（12 バイト目）"))
        << text;
    EXPECT_TRUE(hasLine(text, "　AUTO0005.MEM：" + errorKindText(ErrorKind::NotAnalysable)))
        << text;
    EXPECT_TRUE(hasLine(text, "レンジオーバーの記録：1 件")) << text;
    EXPECT_TRUE(hasLine(text, "書き込んだレコード：4 件")) << text;
    const auto full = (std::filesystem::current_path() / "out/site.hm1").lexically_normal();
    EXPECT_TRUE(hasLine(text, "　" + full.string())) << text;
    // The core's English stays out of the screens.
    EXPECT_EQ(text.find("header of"), std::string::npos);
}

TEST(RunSummary, SaysHowTheRunEnded) {
    ConversionSummary s;
    const std::string ended = runSummaryText(s, RunEnd::Ended);
    EXPECT_NE(ended.find("「終了」"), std::string::npos);
    EXPECT_NE(ended.find("書き込まれていません"), std::string::npos);
    EXPECT_NE(runSummaryText(s, RunEnd::Stopped).find("中止"), std::string::npos);
    EXPECT_TRUE(hasLine(ended, "　（なし）")) << ended;

    // A run cut short says so, and what it kept.
    s.recordsWritten = 12;
    s.lastRecordStamp = DateTime::fromCivil({2018, 12, 12, 9, 14, 0});
    const std::string kept = runSummaryText(s, RunEnd::Ended);
    EXPECT_NE(kept.find("利用者の操作"), std::string::npos) << kept;
    EXPECT_NE(kept.find("結果は途中までです：12 件のレコードを保存（最後のレコード 18/12/12(水)"),
              std::string::npos)
        << kept;
    const std::string fault = runSummaryText(s, RunEnd::Stopped, RunFault::Analysing);
    EXPECT_EQ(fault.find("書き込めない"), std::string::npos) << fault;
    EXPECT_NE(fault.find("12 件のレコードを保存"), std::string::npos) << fault;
}

}  // namespace
}  // namespace waveharm
