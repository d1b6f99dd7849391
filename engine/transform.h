#pragma once
// The transform of a window column: tables and the library's plan made once per run for
// the transform length ("plan once, run many"), scratch buffers per thread.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "settings/conversion_settings.h"

namespace waveharm {

/// Which transform computes the spectrum of a window column.
enum class TransformKind {
    Library,  ///< FFTW in single precision on real input; the radix-2 one when not built in
    Radix2,   ///< the engine's own radix-2 decimation-in-time transform
};

/// True when the build carries the library transform (FFTW).
bool libraryTransformAvailable();

struct LibraryFftPlan;  // the library's plan for N real points (engine/transform.cpp)

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

/// The transform plan for the settings' sample count. Throws std::invalid_argument when
/// the count is not a power of two from 4 to 65536.
FftPlan planFor(const ConversionSettings& settings);

}  // namespace waveharm
