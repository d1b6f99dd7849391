#pragma once
// One recording through the analysis: fundamental period, resampling, transform of every
// used column and the electrical quantities. An analyser keeps its buffers from recording
// to recording; analysers on several threads share one plan.

#include <array>
#include <complex>
#include <vector>

#include "engine/analysis_error.h"
#include "engine/harmonic_result.h"
#include "engine/period.h"
#include "engine/transform.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// How much of a result an analysis fills in.
enum class ResultDetail {
    /// Every value, for the screens that show each recording.
    Full,
    /// The values the result records are made of. The angles that only the screens show
    /// (per order: the voltage and current reference angles and the voltage-to-current
    /// angle; per feeder: the harmonic power angle) stay 0: a run that shows no recording
    /// saves their arc tangents, a large share of the work on each recording.
    Records,
};

namespace detail {
/// Cosine and sine parts of orders 0..H of one column of the window, as rows of doubles
/// (an analyser's scratch, kept from recording to recording).
struct SpectrumRows {
    std::vector<double> cos, sin;
};
}  // namespace detail

/// Plans once per run and analyses recordings one at a time.
class Analyzer {
  public:
    explicit Analyzer(const ConversionSettings& settings);
    /// With a plan made for the run: analysers on several threads share it, each with
    /// buffers of its own. Throws std::invalid_argument when `plan` is not for the
    /// settings' sample count.
    Analyzer(const ConversionSettings& settings, const FftPlan& plan,
             ResultDetail detail = ResultDetail::Full);

    const ConversionSettings& settings() const { return m_settings; }
    const FftPlan& plan() const { return m_plan; }
    ResultDetail detail() const { return m_detail; }

    /// Full analysis of one recording into `result` and `window`. Throws AnalysisError
    /// when the recording cannot be analysed, RowsNotLoaded when it was read in part and
    /// the search or the window needs rows that were not read (the results are then not
    /// valid).
    AnalysisPeriod analyze(const Recording& recording, WindowWaveforms& window,
                           HarmonicResult& result);

    /// The quantities of an already resampled window (derivation, transforms,
    /// quantities); used by `analyze` and by tests on synthetic windows. The derived
    /// phases are written into `window` (with three wattmeters the line voltages become
    /// phase voltages), so call it once per resampled window. Throws AnalysisError for a
    /// dead R-S voltage, zero counts per division or current sense, a window of the
    /// wrong shape and non-finite values.
    void computeQuantities(const RecorderFileHeader& header, WindowWaveforms& window,
                           HarmonicResult& result);

  private:
    ConversionSettings m_settings;
    FftPlan m_plan;
    ResultDetail m_detail;
    FftWorkspace m_work;

    /// `computeQuantities` on a window known to hold only numbers.
    void quantities(const RecorderFileHeader& header, WindowWaveforms& window,
                    HarmonicResult& result);
    std::vector<float> m_re, m_im;
    std::array<std::vector<std::complex<double>>, 3> m_voltageTurns, m_backTurns;
    std::vector<double> m_powerSums;
    std::array<detail::SpectrumRows, 3> m_spectra;
};

}  // namespace waveharm
