#include "settings/conversion_settings.h"

#include <bit>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace waveharm {

void ConversionSettings::setSampleCount(int count) {
    assert((count == 256 || count == 512 || count == 1024) && "sample count is 256, 512 or 1024");
    m_sampleCountLog2 = static_cast<std::int16_t>(std::bit_width(static_cast<unsigned>(count)) - 1);
}

int ConversionSettings::maxHarmonicOrder() const { return maxHarmonicOrderFor(m_harmonicOption); }

void ConversionSettings::setHarmonicOption(HarmonicOption option) {
    m_harmonicOption = option;
    // 256 orders need a transform long enough that no order aliases.
    if (option == HarmonicOption::HighOrder256) setSampleCount(1024);
}

std::string ConversionSettings::outputExtension() const {
    return resultExtension(m_harmonicOption, feederCount);
}

int ConversionSettings::phaseCorrectionDegrees() const {
    return phaseCorrectionDegreesFor(m_phaseCorrectionIndex);
}

void ConversionSettings::setPhaseCorrectionIndex(int index) {
    assert(index >= 0 && index <= 4 && "phase-correction index 0..4");
    m_phaseCorrectionIndex = static_cast<std::int16_t>(index);
}

void ConversionSettings::setFeederCount(int count) {
    assert(count >= 1 && count <= kMaxFeeders && "feeder count 1..9");
    feederCount = static_cast<std::int16_t>(count);
    applyChannelLayout(*this, count);
}

const std::string& feederName(const ConversionSettings& settings, int f) {
    static const std::string none;
    if (f < 0 || f >= kMaxFeeders) return none;
    return settings.feederNames[static_cast<std::size_t>(f)];
}

int phaseCorrectionDegreesFor(int index) {
    static constexpr int kDegrees[5] = {-90, -30, 0, 30, 90};
    return (index >= 0 && index < 5) ? kDegrees[index] : 0;
}

bool pairedChannels(MeasurementType type) {
    return type == MeasurementType::SinglePhase3W || type == MeasurementType::ThreePhase2M ||
           type == MeasurementType::ThreePhase3M;
}

int lastVoltageColumn(MeasurementType type) {
    switch (type) {
        case MeasurementType::SinglePhase2W:
        case MeasurementType::ThreePhase1M:
            return 0;
        case MeasurementType::SinglePhase3W:
            return 1;
        default:
            return 2;
    }
}

int channelsPerFeeder(MeasurementType type) {
    return (type == MeasurementType::SinglePhase2W || type == MeasurementType::ThreePhase1M) ? 1
                                                                                             : 2;
}

std::string resultExtension(HarmonicOption option, int feederCount) {
    const std::string n = std::to_string(feederCount);
    switch (option) {
        case HarmonicOption::Odd1To49:
            return ".hm" + n;
        case HarmonicOption::WithSuperpositionAngle:
            return ".ha4";
        case HarmonicOption::WithUnbalance:
            return ".ha5";
        case HarmonicOption::WithAngleAndUnbalance:
            return ".hv" + n;
        case HarmonicOption::HighOrder256:
            return ".hn" + n;
    }
    return ".hn" + n;
}

int maxHarmonicOrderFor(HarmonicOption option) {
    return option == HarmonicOption::HighOrder256 ? 256 : 99;
}

void applyChannelLayout(ConversionSettings& settings, int feederCount) {
    if (feederCount > 1) {
        for (int i = 0; i < kChannelMapSize; ++i)
            settings.channelMap[i] =
                static_cast<std::int16_t>(i <= 2 * feederCount + 1 ? i + 1 : 0);
        return;
    }
    for (int i = 4; i < kChannelMapSize; ++i) settings.channelMap[i] = 0;
}

float clampRangeToSenseOhms(double rangeAmperes) { return static_cast<float>(0.2 / rangeAmperes); }

bool parseTimeOffsetHours(const std::string& text, double& hours) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str()) return false;
    while (*end == ' ') ++end;
    if (*end != '\0') return false;
    // Time zones and summer time lie well within two days; anything beyond (or inf, nan)
    // would date a week of records in another decade.
    if (!std::isfinite(value) || std::fabs(value) > kMaxTimeOffsetHours) return false;
    hours = value;
    return true;
}

}  // namespace waveharm
