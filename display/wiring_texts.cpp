#include "display/wiring_texts.h"

#include "display/number_format.h"

namespace waveharm {

std::string wiringFrequencyText(const WiringCheckResult& check) {
    return "基本波周波数 " + formatNumber(check.frequencyHz, "##.00") +
           (check.fixedPeriod ? "固定" : "") + "Hz";
}

std::string wiringVoltageLine(const WiringCheckResult& check) {
    return "入力電圧,Vr-s=" + formatNumber(check.lineVoltages[0], " ####0.0V") +
           " ,Vt-s=" + formatNumber(check.lineVoltages[1], " ####0.0V");
}

std::string wiringCurrentLine(const WiringCheckResult& check, int feeder) {
    const auto& currents = check.feederCurrents.at(static_cast<std::size_t>(feeder));
    const std::string n = std::to_string(feeder + 1);
    return "入力電流,I" + n + "r=" + formatNumber(currents[0], " ####0.0A") + " ,I" + n +
           "t=" + formatNumber(currents[1], " ####0.0A");
}

std::string wiringCheckText(const WiringCheckResult& check) {
    std::string text = wiringVoltageLine(check) + "\n";
    for (std::size_t f = 0; f < check.feederCurrents.size(); ++f)
        text += wiringCurrentLine(check, static_cast<int>(f)) + "\n";
    return text + kWiringQuestion;
}

std::string wiringFaultText(const WiringCheckError& error) {
    switch (error.fault()) {
        case WiringFault::NoSamplingRate:
            return "サンプリング周期が読めません";
        case WiringFault::NoCountsPerDivision:
            return "データ数(/DIV)が0です";
        case WiringFault::MissingChannel:
            return "設定のチャンネルがファイルにありません (" + std::to_string(error.input()) +
                   "番目の入力)";
    }
    return error.what();
}

}  // namespace waveharm
