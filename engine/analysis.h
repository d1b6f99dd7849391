#pragma once
// One recording through the analysis: fundamental period, resampling, transform
// of every used column and the electrical quantities. Tables are built once per
// run ("plan once, run many") and reused for every recording.

#include <array>
#include <complex>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/error.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// A recording that cannot be analysed (dead voltage channel, zero counts per
/// division, window beyond the samples, non-finite results). Carries the reason.
class AnalysisError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    static constexpr ErrorKind kind() { return ErrorKind::NotAnalysable; }
};

/// The analysis of a recording read only in part reached rows that were not read: read
/// the whole recording and analyse it again. Never raised for a recording read whole.
class RowsNotLoaded : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Which transform computes the spectrum of a window column.
enum class TransformKind {
    Library,  ///< FFTW in single precision on real input; the radix-2 one when not built in
    Radix2,   ///< the engine's own radix-2 decimation-in-time transform
};

/// True when the build carries the library transform (FFTW).
bool libraryTransformAvailable();

struct LibraryFftPlan;  // the library's plan for N real points (engine/fft.cpp)

/// Tables for one transform length N (256, 512, 1024): bit reversal and twiddles for the
/// radix-2 transform (the twiddles also project fundamentals), and the library's plan.
/// Made once per run; copies share the library plan, which any number of threads may
/// execute at once, each with its own FftWorkspace.
struct FftPlan {
    int n = 0;
    int log2n = 0;
    std::vector<std::int32_t> bitReverse;   ///< [0..N-1]
    std::vector<float> cosTable, sinTable;  ///< [0..N/2], cos/sin(−6.283185/N·k)
    /// [0..N−1]: the tables unfolded over the whole period, cos and sin(+6.283185/N·i),
    /// for projecting a column on its fundamental without a branch per point.
    std::vector<float> projectionCos, projectionSin;
    /// Null when the radix-2 transform serves.
    std::shared_ptr<const LibraryFftPlan> library;

    /// Builds the tables, and the library plan (FFTW_ESTIMATE, so the plan and with it
    /// the results never depend on timing) when `kind` is Library and the build has it.
    /// Safe to call from several threads.
    static FftPlan make(int n, int log2n, TransformKind kind = TransformKind::Library);
    /// True when every bin above N/2 the transform gives is the exact conjugate of its
    /// mirror below (the library's real-input transform copies them so).
    bool exactConjugates() const { return library != nullptr; }
    /// "FFTW 3.3.10 (single precision, real input)" or "radix-2".
    std::string transformName() const;
};

/// Scratch buffers of one caller of the transform (one per thread), aligned as the
/// library wants them. Kept between transforms and recordings.
class FftWorkspace {
  public:
    FftWorkspace() = default;
    /// Buffers for transforms of `n` points.
    explicit FftWorkspace(int n);

    int size() const { return m_n; }
    float* input() { return m_input.get(); }    ///< N reals
    float* output() { return m_output.get(); }  ///< N/2 + 1 complex values (re, im)

  private:
    struct Free {
        void operator()(float* p) const;
    };
    int m_n = 0;
    std::unique_ptr<float, Free> m_input;
    std::unique_ptr<float, Free> m_output;
};

/// Transform of points 0..N−1 of `column`, input divided by N. `re`, `im` are resized to
/// N + 1; bin k is (re[k], im[k]) for k = 0..N−1 (bins above N/2 mirror those below as
/// complex conjugates) and bin N is 0. `work` is resized to N when it is not. A caller
/// that reads only the orders up to `highestBin` (0..N) gets bins 0..highestBin and
/// N − highestBin..N, the same values; the bins between may be left from an earlier call.
void computeFft(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
                std::vector<float>& im, FftWorkspace& work, int highestBin = -1);
/// The same with buffers of its own (for single transforms and tests).
void computeFft(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
                std::vector<float>& im);

/// Sum of `width` samples of a slot starting at centre − width/2; `next` receives the
/// sum one position later.
float movingSum(std::span<const std::int16_t> x, int width, std::int64_t centre, float& next);

/// First rising zero crossing of the 11-point moving sum at or after `position`
/// (in/out, stepped as the search goes); −1 when none. `limit` is the sample count.
/// A start exactly on a rising crossing returns it; a start in a positive half-cycle too
/// close to the record's start to step back from moves on to the next negative one.
/// Samples outside `x` read as 0; positions are 64-bit.
double findRisingZeroCrossing(std::span<const std::int16_t> x, std::int64_t& position,
                              double limit);

/// The analysis period of one recording, in fractional sample positions.
struct AnalysisPeriod {
    double windowStart = 0;
    double windowEnd = 0;
    bool fixed = false;      ///< fixed 50/60 Hz period instead of a measured one
    double frequencyHz = 0;  ///< sampling rate / period
    /// The rows of the R-S voltage the crossing search read (empty for a fixed sync mode).
    RowRange rowsSearched;
};

/// Where the search for the crossing that closes the period begins, given the first
/// rising crossing t1: in the negative half-cycle after t1 for 50 Hz and 60 Hz signals
/// alike (0.68 of a 50 Hz period after t1). The wiring check uses the same start.
std::int64_t secondCrossingSearchStart(double t1, double samplingRateKHz);

/// Sample-table slot of channel-map entry `e` (0 R-S, 1 T-S, 2f/2f+1 feeder f's R/T):
/// channelMap[e] − 1 with one channel per feeder and one feeder, else
/// (channelMap[e] − 1) div step, step = 1 for paired channels and 2 otherwise.
/// −1 when the entry names no channel.
int sourceSlot(const ConversionSettings& settings, int e);

/// Finds the analysis period of a recording by the sync mode (Fourier = zero cross).
/// The second crossing search starts in the negative half-cycle after t1, so 50 Hz and
/// 60 Hz signals both measure their own period. No crossing pair, or a period reaching
/// past the last sample, gives the fixed 50 Hz period, marked `fixed`. Throws AnalysisError
/// when the sampling rate is not positive, the R-S channel is not in the recording or
/// not even the fixed period fits in the recording.
AnalysisPeriod findAnalysisPeriod(const Recording& recording, const ConversionSettings& settings);

/// The rows an analysis with `settings` normally reads from a recording with `header`:
/// from 0 with a fixed period; around the search start near the pre-trigger point with a
/// measured one, enough for the two crossing searches and the window of a 45–65 Hz
/// fundamental. Nothing (the whole table) when the interpolation mode reads the whole
/// record or the header gives no sampling rate. An analysis that reaches further raises
/// RowsNotLoaded rather than work on rows not read.
std::optional<RowRange> rowsForAnalysis(const RecorderFileHeader& header,
                                        const ConversionSettings& settings);

/// Fills sample positions, the used window columns and the peak table. Throws
/// AnalysisError when the window reaches past the recorded samples.
void resampleWindow(const Recording& recording, const ConversionSettings& settings,
                    const AnalysisPeriod& period, WindowWaveforms& window);

/// The transform plan for the settings' sample count. Throws std::invalid_argument when
/// the count is not a power of two from 4 to 65536.
FftPlan planFor(const ConversionSettings& settings);

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
