// The derived third phase of the voltages and of each feeder's currents.

#include <cstddef>

#include "engine/quantities.h"

namespace waveharm::detail {

namespace {

// Line-to-line values of R-S and T-S into the phase values R, T and S.
void lineToPhase(float* r, float* t, float* s, std::size_t points) {
    for (std::size_t i = 0; i < points; ++i) {
        const double shift = -(static_cast<double>(r[i]) + t[i]) / 3;
        s[i] = static_cast<float>(shift);
        r[i] = static_cast<float>(r[i] + shift);
        t[i] = static_cast<float>(t[i] + shift);
    }
}

// The rule of a third phase (see ThirdPhase). Nothing when the third phase is no such
// combination (three-wattmeter line quantities are turned into phase values instead) or is
// not derived at all.
std::optional<ThirdPhase> thirdPhaseRule(MeasurementType type, bool voltages, bool lineValues) {
    if (type == MeasurementType::ThreePhase2M) {
        if (voltages || lineValues) return ThirdPhase{1, -1};
        return ThirdPhase{1, 1};
    }
    if (type == MeasurementType::ThreePhase3M && !voltages && !lineValues)
        return ThirdPhase{-1, -1};
    return std::nullopt;
}

}  // namespace

// The rule of a group's third phase: group −1 for the voltages, else a feeder.
std::optional<ThirdPhase> thirdPhaseOf(const ConversionSettings& settings, const Layout& layout,
                                       int group) {
    const bool lineValues =
        group >= 0 && settings.lineVoltageInput[static_cast<std::size_t>(group)];
    return thirdPhaseRule(layout.type, group < 0, lineValues);
}

// Completes the third phase of the voltages and of every feeder's currents, each value
// worked out in double and rounded once to float.
void deriveWaveforms(WindowWaveforms& window, const ConversionSettings& settings,
                     const Layout& layout) {
    const bool threeMeter = layout.type == MeasurementType::ThreePhase3M;
    if (layout.type != MeasurementType::ThreePhase2M && !threeMeter) return;
    auto& w = window.columns;
    const std::size_t points = w.cols();
    for (int group = -1; group < layout.feeders; ++group) {
        const auto b = static_cast<std::size_t>(group < 0 ? 0 : currentColumn(group, 0));
        if (const auto rule = thirdPhaseOf(settings, layout, group)) {
            const float* first = w.row(b);
            const float* second = w.row(b + 1);
            float* third = w.row(b + 2);
            for (std::size_t i = 0; i < points; ++i)
                third[i] = static_cast<float>(rule->first * first[i] + rule->second * second[i]);
        } else if (threeMeter) {
            lineToPhase(w.row(b), w.row(b + 1), w.row(b + 2), points);
        }
    }
}

}  // namespace waveharm::detail
