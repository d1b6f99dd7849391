#pragma once
// The wiring check's texts: the frequency label, the voltage and current lines with the
// question under them, the few-samples warning and why a recording cannot be checked.

#include <string>

#include "engine/wiring_check.h"
#include "engine/wiring_findings.h"

namespace waveharm {

/// The question the wiring check asks under its voltage/current text.
inline constexpr const char* kWiringQuestion = "結線はこのままでよいですか";
/// Message shown when a 50 Hz half-cycle holds 50 samples or fewer.
inline constexpr const char* kFewSamplesMessage =
    "サンプリング数が少なく、正確な分析ができない可能性があります。";

/// "基本波周波数 50.00Hz", with "固定" before "Hz" for the fixed period.
std::string wiringFrequencyText(const WiringCheckResult& check);

/// "入力電圧,Vr-s= 110.0V ,Vt-s= 110.0V".
std::string wiringVoltageLine(const WiringCheckResult& check);

/// "入力電流,I1r= 100.0A ,I1t= 100.0A" for feeder `feeder` (0-based).
std::string wiringCurrentLine(const WiringCheckResult& check, int feeder);

/// The voltage line, one current line per feeder and the question, one per line.
std::string wiringCheckText(const WiringCheckResult& check);

/// One finding in words, naming the feeder ("F2: R 相 (ch5) の電流が逆向きです …").
std::string wiringFindingText(const WiringFinding& finding);

/// The settings change of a finding's fix, as the settings screen names it
/// ("F2 の「反転」にチェック", "F3 の R 相と T 相のチャンネル入替 (ch7 ⇄ ch8)"); empty when
/// the settings cannot put it right.
std::string wiringFixText(const WiringFix& fix);

/// The judgement's summary line: "結線の誤りは見つかりません" or how many findings there are.
std::string wiringVerdictText(const WiringJudgement& judgement);

/// A feeder's load angles: "位相 R -36.9° T -35.1°" (against each phase voltage), or
/// "位相 判定できません".
std::string wiringAngleText(const WiringJudgement& judgement, int feeder);

/// Why the recording cannot be checked, e.g. "データ数(/DIV)が0です".
std::string wiringFaultText(const WiringCheckError& error);

}  // namespace waveharm
