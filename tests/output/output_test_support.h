#pragma once
// Helpers shared by the result-file tests: file bytes, settings (and the scratch folder).

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "engine/harmonic_result.h"
#include "settings/conversion_settings.h"
#include "support/scratch_folder.h"

namespace waveharm::testing {

inline std::vector<unsigned char> fileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline DateTime at(int y, int mo, int d, int h, int mi, int s) {
    return DateTime::fromCivil({y, mo, d, h, mi, s});
}

inline ConversionSettings settingsFor(MeasurementType type, HarmonicOption option, int feeders,
                                      const std::string& name) {
    ConversionSettings s;
    s.measurementType = type;
    s.setHarmonicOption(option);
    s.feederCount = static_cast<std::int16_t>(feeders);
    s.outputFileName = name;
    return s;
}

inline IntervalAggregate intervalFor(HarmonicOption option, int feeders) {
    IntervalAggregate interval;
    interval.allocate(maxHarmonicOrderFor(option), feeders);
    return interval;
}

}  // namespace waveharm::testing
