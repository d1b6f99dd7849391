#include "settings/settings_rules.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace waveharm {

void chooseChannel(ConversionSettings& settings, ChosenQuantity q, int channel) {
    if (channel < 1 || channel > 4) return;
    const int self = static_cast<int>(q);
    const std::int16_t previous = settings.channelMap[self];
    for (int other = 0; other < 4; ++other) {
        if (other == self || settings.channelMap[other] != channel) continue;
        settings.channelMap[other] = previous;
    }
    settings.channelMap[self] = static_cast<std::int16_t>(channel);
}

bool chooseSampleCount(ConversionSettings& settings, int count) {
    if (count != 256 && count != 512 && count != 1024) return false;
    if (settings.harmonicOption() == HarmonicOption::HighOrder256 && count != 1024) return false;
    settings.setSampleCount(count);
    return true;
}

bool choosePhaseCorrection(ConversionSettings& settings, int index) {
    if (index < 0 || index > 4) return false;
    if (settings.measurementType != MeasurementType::ThreePhase1M) return false;
    settings.setPhaseCorrectionIndex(index);
    return true;
}

std::string_view defaultText(RatioBox box) {
    switch (box) {
        case RatioBox::CtRatio:
            return "1";
        case RatioBox::PtRatio:
            return "60";
        case RatioBox::Shunt:
            return "0.1";
        case RatioBox::Clamp:
            return "20";
        case RatioBox::FeederClamp:
            return "0.1";
    }
    return "1";
}

namespace {

std::optional<double> parseNumber(std::string_view text) {
    const std::string s(text);
    const char* begin = s.c_str();
    while (*begin == ' ') ++begin;
    if (*begin == '\0') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (errno != 0 || end == begin) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> positiveValue(RatioBox box, std::string_view text) {
    const auto value = parseNumber(text);
    if (!value) return std::nullopt;
    if (box == RatioBox::PtRatio) {
        // The PT ratio is stored as a 16-bit whole number.
        const double whole = std::trunc(*value);
        if (whole < 1 || whole > 32767) return std::nullopt;
        return whole;
    }
    // Ratios are stored in single precision: a value that rounds to 0 or overflows
    // would still make the scaling meaningless.
    const float stored = static_cast<float>(*value);
    if (!(stored > 0.0f) || !std::isfinite(stored)) return std::nullopt;
    return *value;
}

std::string restoredText(RatioBox box, std::string_view text) {
    if (positiveValue(box, text)) return std::string(text);
    return std::string(defaultText(box));
}

std::string formatBoxNumber(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    return buffer;
}

SenseTexts applyClampRange(ConversionSettings& settings, std::string_view clampText) {
    SenseTexts texts;
    texts.clamp = restoredText(RatioBox::Clamp, clampText);
    const double range = *positiveValue(RatioBox::Clamp, texts.clamp);
    settings.currentSenseOhms[0] = clampRangeToSenseOhms(range);
    texts.shunt = formatBoxNumber(0.2 / range);
    return texts;
}

SenseTexts applyShunt(ConversionSettings& settings, std::string_view shuntText) {
    SenseTexts texts;
    texts.shunt = restoredText(RatioBox::Shunt, shuntText);
    const double ohms = *positiveValue(RatioBox::Shunt, texts.shunt);
    settings.currentSenseOhms[0] = static_cast<float>(ohms);
    texts.clamp = formatBoxNumber(0.2 / ohms);
    return texts;
}

void copyCtRatioDown(ConversionSettings& settings, FeederTexts& texts, int f) {
    if (f < 0 || f >= kMaxFeeders) return;
    texts[f] = restoredText(RatioBox::CtRatio, texts[f]);
    const auto ratio = static_cast<float>(*positiveValue(RatioBox::CtRatio, texts[f]));
    for (int g = f; g < kMaxFeeders; ++g) {
        texts[g] = texts[f];
        settings.ctRatio[g] = ratio;
    }
}

void copyClampRangeDown(ConversionSettings& settings, FeederTexts& texts, int f) {
    if (f < 0 || f >= kMaxFeeders) return;
    texts[f] = restoredText(RatioBox::FeederClamp, texts[f]);
    const double range = *positiveValue(RatioBox::FeederClamp, texts[f]);
    for (int g = f; g < kMaxFeeders; ++g) {
        texts[g] = texts[f];
        settings.currentSenseOhms[g] = clampRangeToSenseOhms(range);
    }
}

std::array<std::string, kChannelLabelCount> feederChannelLabels(
    MeasurementType type, int feederCount, const std::array<std::string, 16>& channelNames,
    const std::array<std::int16_t, kChannelMapSize>* channelMap) {
    // Channel k (1-based) is named by the recorder; channels past the recorder's
    // sixteen have no name.
    auto name = [&](int k) -> std::optional<std::string> {
        if (k < 1 || k > 16) return std::nullopt;
        return channelNames[k - 1];
    };
    std::array<std::string, kChannelLabelCount> labels;
    const bool onePerFeeder = channelsPerFeeder(type) == 1;
    // Two channels per feeder: the channel each quantity is on, exchanged ones included.
    auto on = [&](int entry, int standard) {
        if (onePerFeeder || !channelMap || entry >= kChannelMapSize) return standard;
        const int mapped = (*channelMap)[static_cast<std::size_t>(entry)];
        return mapped > 0 ? mapped : standard;
    };
    if (onePerFeeder) {
        labels[0] = "電  圧：" + name(1).value_or("ch-");
    } else {
        labels[0] = "電  圧：R-S相=" + name(on(0, 1)).value_or("ch-") +
                    ",T-S相=" + name(on(1, 2)).value_or("ch-");
    }
    for (int f = 1; f < kChannelLabelCount; ++f) {
        const std::string head = "電流F" + std::to_string(f) + "：";
        if (onePerFeeder) {
            const auto current = name(f + 1);
            labels[f] = head + (f <= feederCount && current ? *current : "ch-");
            continue;
        }
        const auto r = name(on(2 * f, 2 * f + 1));
        const auto t = name(on(2 * f + 1, 2 * f + 2));
        if (f <= feederCount && r && t)
            labels[f] = head + "R相=" + *r + ",T相=" + *t;
        else
            labels[f] = head + "R相=ch-,T相=ch-";
    }
    return labels;
}

FeederCountEffects feederCountEffects(int n, HarmonicOption current) {
    FeederCountEffects e;
    e.severalFeeders = n > 1;
    for (int f = 0; f < kMaxFeeders; ++f) e.feederEnabled[f] = f < n;
    if (!e.severalFeeders) return e;
    e.harmonicOptionEnabled = {true, false, false, true, true};
    e.currentThdMaxEnabled = false;
    e.resetChannelChoosers = true;
    e.saveMode = SaveMode::IntervalAverage;
    if (current == HarmonicOption::WithSuperpositionAngle ||
        current == HarmonicOption::WithUnbalance)
        e.harmonicOption = HarmonicOption::WithAngleAndUnbalance;
    return e;
}

FeederCountEffects applyFeederCount(ConversionSettings& settings, int n) {
    if (n < 1) n = 1;
    if (n > kMaxFeeders) n = kMaxFeeders;
    const FeederCountEffects e = feederCountEffects(n, settings.harmonicOption());
    if (e.saveMode) settings.saveMode = *e.saveMode;
    if (e.harmonicOption) settings.setHarmonicOption(*e.harmonicOption);
    settings.setFeederCount(n);
    // One feeder measured with one channel per feeder has its current on ch2; the
    // several-feeder layout may have left it elsewhere.
    if (n == 1 && channelsPerFeeder(settings.measurementType) == 1)
        chooseChannel(settings, ChosenQuantity::CurrentR, 2);
    return e;
}

MeasurementTypeEffects applyMeasurementType(ConversionSettings& settings, MeasurementType type) {
    MeasurementTypeEffects e;
    e.tPhaseChoosersEnabled = channelsPerFeeder(type) == 2;
    e.phaseCorrectionEnabled = type == MeasurementType::ThreePhase1M;
    // With several feeders the channels follow the fixed layout; the one-feeder
    // choosers only apply to one feeder.
    if (!e.tPhaseChoosersEnabled && settings.feederCount == 1)
        chooseChannel(settings, ChosenQuantity::CurrentR, 2);
    if (!e.phaseCorrectionEnabled) settings.setPhaseCorrectionIndex(2);
    settings.measurementType = type;
    return e;
}

SaveMode saveModeForButton(int index) {
    switch (index) {
        case 0:
            return SaveMode::IntervalAverage;
        case 1:
            return SaveMode::LatestWindow;
        case 2:
            return SaveMode::VoltageThdMax;
        default:
            return SaveMode::CurrentThdMax;
    }
}

int buttonForSaveMode(SaveMode mode) {
    switch (mode) {
        case SaveMode::IntervalAverage:
            return 0;
        case SaveMode::LatestWindow:
            return 1;
        case SaveMode::VoltageThdMax:
            return 2;
        case SaveMode::CurrentThdMax:
            return 3;
    }
    return 0;
}

}  // namespace waveharm
