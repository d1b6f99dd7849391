// One recording from arbitrary bytes through the whole analysis: header, samples,
// period detection, resampling, transforms and quantities, under the measurement
// type and sync mode the first byte chooses.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/analysis.h"
#include "input/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    using namespace waveharm;
    ConversionSettings settings;
    settings.measurementType = static_cast<MeasurementType>(data[0] % 5);
    settings.syncMode = static_cast<SyncMode>((data[0] / 5) % 4);
    settings.setHarmonicOption(static_cast<HarmonicOption>(data[1] % 5));
    if (settings.harmonicOption != HarmonicOption::HighOrder256)
        settings.setSampleCount(256 << ((data[1] / 5) % 3));
    const ReadOptions options = ReadOptions::from(settings);
    const auto bytes = std::as_bytes(std::span(data + 2, size - 2));
    try {
        Recording recording;
        recording.header = parseHeader(bytes, options, "fuzz.MEM");
        recording.samples = decodeSamples(bytes, recording.header, options, "fuzz.MEM");
        const int offered = maxFeederCount(recording.header, settings.measurementType);
        settings.setFeederCount(std::min(offered, kMaxChannelFeeders));
        Analyzer analyzer(settings);
        WindowWaveforms window;
        HarmonicResult result;
        analyzer.analyze(recording, window, result);
        // An analysed recording never carries a non-finite value to the writers.
        for (int k = 0; k <= result.orders; ++k)
            if (!std::isfinite(result.voltageRms[k])) std::abort();
    } catch (const InputError&) {
    } catch (const AnalysisError&) {
    }
    return 0;
}
