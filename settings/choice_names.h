#pragma once
// The words for the settings' choices, as the command line and the site profile write
// them: one table per enumeration, shared by every reader and writer of a choice and by
// the help texts that list it.

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/conversion_settings.h"

namespace waveharm {

template <class T>
struct Named {
    std::string_view name;
    T value;
};

inline constexpr Named<MeasurementType> kMeasurementTypeNames[] = {
    {"1p2w", MeasurementType::SinglePhase2W}, {"1p3w", MeasurementType::SinglePhase3W},
    {"3p2m", MeasurementType::ThreePhase2M},  {"3p1m", MeasurementType::ThreePhase1M},
    {"3p3m", MeasurementType::ThreePhase3M},
};

inline constexpr Named<HarmonicOption> kHarmonicOptionNames[] = {
    {"odd49", HarmonicOption::Odd1To49},
    {"angle", HarmonicOption::WithSuperpositionAngle},
    {"unbalance", HarmonicOption::WithUnbalance},
    {"angle-unbalance", HarmonicOption::WithAngleAndUnbalance},
    {"256", HarmonicOption::HighOrder256},
};

inline constexpr Named<SaveMode> kSaveModeNames[] = {
    {"latest", SaveMode::LatestWindow},
    {"average", SaveMode::IntervalAverage},
    {"vthd-max", SaveMode::VoltageThdMax},
    {"ithd-max", SaveMode::CurrentThdMax},
};

inline constexpr Named<SyncMode> kSyncModeNames[] = {
    {"zerocross", SyncMode::ZeroCross},
    {"50hz", SyncMode::Fixed50Hz},
    {"60hz", SyncMode::Fixed60Hz},
    {"fourier", SyncMode::Fourier},
};

inline constexpr Named<InterpolationMode> kInterpolationNames[] = {
    {"linear", InterpolationMode::Linear},
    {"sinc", InterpolationMode::BandLimited},
};

/// The table's names as the help lists them: "{a,b,c}".
template <class T, std::size_t N>
std::string choiceList(const Named<T> (&table)[N]) {
    std::string list = "{";
    for (const auto& entry : table) {
        if (list.size() > 1) list += ',';
        list += entry.name;
    }
    return list + "}";
}

/// The name of `value` in the table; empty when it has none.
template <class T, std::size_t N>
std::string_view nameOf(const Named<T> (&table)[N], T value) {
    for (const auto& entry : table)
        if (entry.value == value) return entry.name;
    return {};
}

}  // namespace waveharm
