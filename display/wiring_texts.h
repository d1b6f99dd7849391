#pragma once
// The wiring check's texts: the frequency label, the voltage and current lines with the
// question under them, the few-samples warning and why a recording cannot be checked.

#include <string>

#include "engine/wiring_check.h"

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

/// Why the recording cannot be checked, e.g. "データ数(/DIV)が0です".
std::string wiringFaultText(const WiringCheckError& error);

}  // namespace waveharm
