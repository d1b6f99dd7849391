// The Japanese texts of the core's errors.

#include "display/error_texts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

namespace waveharm {
namespace {

bool hasJapanese(const std::string& s) {
    // Every kana and kanji in UTF-8 starts with a lead byte of 0xE3..0xE9.
    for (unsigned char c : s)
        if (c >= 0xE3 && c <= 0xE9) return true;
    return false;
}

TEST(ErrorTexts, EveryKindHasItsOwnJapaneseText) {
    std::set<std::string> seen;
    for (const ErrorKind kind : kAllErrorKinds) {
        const std::string text = errorKindText(kind);
        EXPECT_TRUE(hasJapanese(text)) << static_cast<int>(kind) << ": " << text;
        EXPECT_NE(text, "不明なエラーです") << static_cast<int>(kind);
        EXPECT_TRUE(seen.insert(text).second) << "shared text: " << text;
    }
}

TEST(ErrorTexts, MessagesNameTheFileThePositionAndTheSystemsReason) {
    EXPECT_EQ(readErrorMessage(ErrorKind::DataOutsideFile, "W3000.MEM", 12, ""),
              "W3000.MEM：" + errorKindText(ErrorKind::DataOutsideFile) + "（12 バイト目）");
    EXPECT_EQ(readErrorMessage(ErrorKind::CannotOpen, "a.MEM", -1, "cannot be opened"),
              "a.MEM：ファイルを開けません\n詳細：cannot be opened");
    EXPECT_EQ(writeErrorMessage(ErrorKind::CannotCreate, "/media/usb/day1.hm1", EROFS),
              "/media/usb/day1.hm1：結果ファイルを作成できません（読み取り専用のドライブです）");
    EXPECT_EQ(limitErrorMessage("site.txt", 4, "unknown order"),
              "site.txt：限度値表として使えません（4 行目）\n詳細：unknown order");
    EXPECT_EQ(systemErrorText(ENOSPC), "ディスクの空き容量がありません");
    EXPECT_EQ(systemErrorText(0), "");
    EXPECT_TRUE(hasJapanese(systemErrorText(EXDEV)));
}

}  // namespace
}  // namespace waveharm
