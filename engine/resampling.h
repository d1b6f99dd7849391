#pragma once
// One fundamental period of every used channel resampled onto the transform's N + 1
// points, by straight lines or through the band-limited kernel.

#include "engine/harmonic_result.h"
#include "engine/period.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Fills sample positions, the used window columns and the peak table. Throws
/// AnalysisError when the window reaches past the recorded samples.
void resampleWindow(const Recording& recording, const ConversionSettings& settings,
                    const AnalysisPeriod& period, WindowWaveforms& window);

}  // namespace waveharm
