#include "display/wiring_texts.h"

#include <cmath>

#include "display/number_format.h"

namespace waveharm {
namespace {

std::string feederName(int f) { return "F" + std::to_string(f + 1); }
std::string ch(int channel) { return "ch" + std::to_string(channel); }
std::string phaseName(int phase) { return phase == 0 ? "R 相" : "T 相"; }
std::string voltageName(int phase) { return phase == 0 ? "R-S" : "T-S"; }

std::string degrees(double d) { return formatNumber(d, "##0.0") + "°"; }

std::string voltageFindingText(const WiringFinding& w) {
    switch (w.kind) {
        case WiringFindingKind::VoltageMissing:
            return "電圧: " + voltageName(w.phase) + " (" + ch(w.channels[0]) +
                   ") に電圧がありません (未接続かチャンネル設定の誤り)";
        case WiringFindingKind::VoltagesExchanged:
            return "電圧: R-S と T-S が入れ替わっています (T-S が R-S より 60° 遅れ、相順が逆)";
        case WiringFindingKind::ReversedSequence:
            return "電圧: 相順が逆です。電流も同じ相順に合うので、系統の相順と考えられます "
                   "(確認してください)";
        case WiringFindingKind::VoltageInverted:
            if (w.phase < 0)
                return "電圧: R-S か T-S の一方が反転しています "
                       "(電流が小さく、どちらか判別できません)";
            return "電圧: " + voltageName(w.phase) + " (" + ch(w.channels[0]) +
                   ") が反転しています (＋と－が逆)";
        case WiringFindingKind::VoltageAngle:
            return "電圧: R-S と T-S の位相差 " + degrees(w.value) + " がどの結線にも合いません";
        default:
            return "";
    }
}

}  // namespace

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

std::string wiringFindingText(const WiringFinding& w) {
    if (w.feeder < 0) return voltageFindingText(w);
    const std::string f = feederName(w.feeder) + ": ";
    switch (w.kind) {
        case WiringFindingKind::CurrentUnmeasurable:
            return f + "電流が小さく測定不能です (軽負荷)。結線は判定できません";
        case WiringFindingKind::ChannelDead:
            return f + phaseName(w.phase) + " (" + ch(w.channels[0]) +
                   ") に電流がありません (未接続かチャンネル設定の誤り)";
        case WiringFindingKind::MagnitudesApart:
            return f + "R 相と T 相の電流が " + formatNumber(w.value, "##0.0") +
                   " 倍違います (一方のクランプレンジか CT 比の誤り、または極端な不平衡)";
        case WiringFindingKind::CurrentInverted:
            return f + phaseName(w.phase) + " (" + ch(w.channels[0]) +
                   ") の電流が逆向きです。クランプの向きを直して測り直してください "
                   "(「反転」は R 相と T 相を共に反転します)";
        case WiringFindingKind::CurrentsExchanged:
            return f + "R 相と T 相の電流が入れ替わっています (" + ch(w.channels[0]) + ", " +
                   ch(w.channels[1]) + ")";
        case WiringFindingKind::ForeignChannel:
            return f + phaseName(w.phase) + " (" + ch(w.channels[0]) + ") の電流は " +
                   ch(w.channels[1]) +
                   " に入っています (他のフィーダとクランプが入れ違い。R "
                   "相どうしの入れ違いも同じ角度になるので、フィーダ名を確かめてください)";
        case WiringFindingKind::ReversePower:
            return f +
                   "電力が逆向きです: 逆潮流 (発電設備など) か、クランプが両方とも逆向きです "
                   "(確認してください)";
        case WiringFindingKind::AnglesUnexplained:
            return f +
                   "電流の位相がどの結線にも合いません (クランプの相・フィーダを確認してください)";
        default:
            return f + voltageFindingText(w);
    }
}

std::string wiringFixText(const WiringFix& fix) {
    const std::string mark = fix.on ? "」にチェック" : "」のチェックを外す";
    switch (fix.kind) {
        case WiringFixKind::None:
            return "";
        case WiringFixKind::SwapVoltages:
            return "「相入替" + mark;
        case WiringFixKind::InvertVoltage:
            return voltageName(fix.index) + " の「反転" + mark;
        case WiringFixKind::InvertCurrent:
            return feederName(fix.index) + " の「反転" + mark;
        case WiringFixKind::ExchangeChannels:
            if (fix.entries[0] / 2 == fix.entries[1] / 2)
                return feederName(fix.index) + " の R 相と T 相のチャンネル入替";
            return feederName(fix.index) + " の" + phaseName(fix.entries[0] % 2) + "と " +
                   feederName(fix.entries[1] / 2 - 1) + " の" + phaseName(fix.entries[1] % 2) +
                   "のチャンネル入替";
    }
    return "";
}

std::string wiringVerdictText(const WiringJudgement& judgement) {
    if (!judgement.judged) return "三相１Ｍ の結線は判定しません";
    if (judgement.findings.empty()) return "結線の誤りは見つかりません";
    return "確認が必要な点が " + std::to_string(judgement.findings.size()) + " 件あります";
}

std::string wiringAngleText(const WiringJudgement& judgement, int feeder) {
    const auto& a = judgement.feeders.at(static_cast<std::size_t>(feeder)).loadAngleDeg;
    if (std::isnan(a[0])) return "位相 判定できません";
    std::string text = "位相 R " + degrees(a[0]);
    if (!std::isnan(a[1])) text += " T " + degrees(a[1]);
    return text;
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
