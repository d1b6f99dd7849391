// The wiring check's texts from its numbers.

#include "display/wiring_texts.h"

#include <gtest/gtest.h>

namespace waveharm {
namespace {

TEST(WiringTexts, LinesFormatThePrimaryValuesAndEndWithTheQuestion) {
    WiringCheckResult r;
    r.frequencyHz = 59.987;
    r.lineVoltages = {848.53f, 0.04f};
    r.feederCurrents = {{35.355, 35.35}, {12345.67, 0}};
    EXPECT_EQ(wiringFrequencyText(r), "基本波周波数 59.99Hz");
    r.fixedPeriod = true;
    r.frequencyHz = 50;
    EXPECT_EQ(wiringFrequencyText(r), "基本波周波数 50.00固定Hz");
    EXPECT_EQ(wiringCheckText(r),
              "入力電圧,Vr-s= 848.5V ,Vt-s= 0.0V\n"
              "入力電流,I1r= 35.4A ,I1t= 35.4A\n"
              "入力電流,I2r= 12345.7A ,I2t= 0.0A\n"
              "結線はこのままでよいですか");
}

TEST(WiringTexts, FaultsNameTheirCause) {
    EXPECT_EQ(wiringFaultText(WiringCheckError(WiringFault::NoSamplingRate)),
              "サンプリング周期が読めません");
    EXPECT_EQ(wiringFaultText(WiringCheckError(WiringFault::NoCountsPerDivision)),
              "データ数(/DIV)が0です");
    EXPECT_EQ(wiringFaultText(WiringCheckError(WiringFault::MissingChannel, 5)),
              "設定のチャンネルがファイルにありません (5番目の入力)");
}

}  // namespace
}  // namespace waveharm
