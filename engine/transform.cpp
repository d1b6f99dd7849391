#include "engine/transform.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/complex_math.h"

#ifdef WAVEHARM_HAVE_FFTW
#include <fftw3.h>
#endif

namespace waveharm {

#ifdef WAVEHARM_HAVE_FFTW

namespace {

// FFTW's planner keeps tables of its own that are not safe to touch from two threads
// at once: plans are made and destroyed under this lock. Executing a plan on distinct
// buffers needs no lock.
std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

struct LibraryFftPlan {
    fftwf_plan plan = nullptr;
    ~LibraryFftPlan() {
        const std::lock_guard<std::mutex> hold(plannerLock());
        fftwf_destroy_plan(plan);
    }
};

namespace {

std::shared_ptr<const LibraryFftPlan> makeLibraryPlan(int n) {
    // The plan is made on buffers of the workspace's alignment, so that it may later run
    // on any workspace's buffers.
    FftWorkspace scratch(n);
    auto library = std::make_shared<LibraryFftPlan>();
    {
        const std::lock_guard<std::mutex> hold(plannerLock());
        library->plan = fftwf_plan_dft_r2c_1d(
            n, scratch.input(), reinterpret_cast<fftwf_complex*>(scratch.output()), FFTW_ESTIMATE);
    }
    if (!library->plan) throw std::bad_alloc();
    return library;
}

float* allocateAligned(std::size_t floats) {
    auto* p = static_cast<float*>(fftwf_malloc(floats * sizeof(float)));
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

bool libraryTransformAvailable() { return true; }

void FftWorkspace::Free::operator()(float* p) const { fftwf_free(p); }

#else

struct LibraryFftPlan {};

namespace {

float* allocateAligned(std::size_t floats) { return new float[floats]; }

}  // namespace

bool libraryTransformAvailable() { return false; }

void FftWorkspace::Free::operator()(float* p) const { delete[] p; }

#endif

FftWorkspace::FftWorkspace(int n)
    : m_n(n),
      m_input(allocateAligned(static_cast<std::size_t>(n))),
      m_output(allocateAligned(static_cast<std::size_t>(2 * (n / 2 + 1)))) {
    assert(n >= 2 && "a transform of at least two points");
}

FftPlan FftPlan::make(int n, int log2n, [[maybe_unused]] TransformKind kind) {
    assert(log2n >= 1 && log2n <= 16 && n == (1 << log2n) && "transform length is 2^log2n");
    FftPlan plan;
    plan.n = n;
    plan.log2n = log2n;
    plan.bitReverse.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        int value = 0;
        int weight = n / 2;
        int t = i;
        for (int bit = 0; bit < log2n; ++bit) {
            value += weight * (t % 2);
            weight /= 2;
            t /= 2;
        }
        plan.bitReverse[static_cast<std::size_t>(i)] = value;
    }
    plan.cosTable.resize(static_cast<std::size_t>(n / 2 + 1));
    plan.sinTable.resize(static_cast<std::size_t>(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k) {
        const double angle = -static_cast<double>(kTwoPi) / n * k;
        plan.cosTable[static_cast<std::size_t>(k)] = static_cast<float>(std::cos(angle));
        plan.sinTable[static_cast<std::size_t>(k)] = static_cast<float>(std::sin(angle));
    }
    plan.projectionCos.resize(static_cast<std::size_t>(n));
    plan.projectionSin.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const bool firstHalf = i <= n / 2;
        const auto k = static_cast<std::size_t>(firstHalf ? i : n - i);
        plan.projectionCos[static_cast<std::size_t>(i)] = plan.cosTable[k];
        plan.projectionSin[static_cast<std::size_t>(i)] =
            firstHalf ? -plan.sinTable[k] : plan.sinTable[k];
    }
#ifdef WAVEHARM_HAVE_FFTW
    if (kind == TransformKind::Library) plan.library = makeLibraryPlan(n);
#endif
    return plan;
}

std::string FftPlan::transformName() const {
#ifdef WAVEHARM_HAVE_FFTW
    if (library) return std::string(fftwf_version) + " (single precision, real input)";
#endif
    return "radix-2";
}

namespace {

void radix2(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
            std::vector<float>& im) {
    const auto n = static_cast<std::size_t>(plan.n);
    const double scale = 1.0 / plan.n;
    for (std::size_t i = 0; i < n; ++i) {
        const auto source = static_cast<std::size_t>(plan.bitReverse[i]);
        re[i] = static_cast<float>(column[source] * scale);
        im[i] = 0;
    }
    for (int stage = 0; stage < plan.log2n; ++stage) {
        const std::size_t half = std::size_t{1} << stage;
        const std::size_t groups = n >> (stage + 1);
        for (std::size_t g = 0; g < groups; ++g) {
            for (std::size_t i = 0; i < half; ++i) {
                const std::size_t top = i + 2 * g * half;
                const std::size_t bottom = top + half;
                const double c = plan.cosTable[groups * i];
                const double s = plan.sinTable[groups * i];
                const double bRe = re[bottom];
                const double bIm = im[bottom];
                const double tRe = c * bRe - s * bIm;
                const double tIm = s * bRe + c * bIm;
                const double aRe = re[top];
                const double aIm = im[top];
                re[top] = static_cast<float>(aRe + tRe);
                im[top] = static_cast<float>(aIm + tIm);
                re[bottom] = static_cast<float>(aRe - tRe);
                im[bottom] = static_cast<float>(aIm - tIm);
            }
        }
    }
}

#ifdef WAVEHARM_HAVE_FFTW
// The real-input transform gives bins 0..N/2; those above are their conjugates. The
// division by N (a power of two, so exact) is applied to the N/2 + 1 bins rather than to
// the N inputs: the same values.
void library(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
             std::vector<float>& im, FftWorkspace& work, int highestBin) {
    const auto n = static_cast<std::size_t>(plan.n);
    const float scale = 1.0f / static_cast<float>(plan.n);
    float* in = work.input();
    std::copy(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(n), in);
    float* out = work.output();
    fftwf_execute_dft_r2c(plan.library->plan, in, reinterpret_cast<fftwf_complex*>(out));
    const std::size_t lower = highestBin < 0 ? n / 2 : std::min(std::size_t(highestBin), n / 2);
    for (std::size_t k = 0; k <= lower; ++k) {
        re[k] = out[2 * k] * scale;
        im[k] = out[2 * k + 1] * scale;
    }
    const std::size_t upper =
        highestBin < 0 ? n / 2 + 1 : std::max(n / 2 + 1, n - std::min(std::size_t(highestBin), n));
    for (std::size_t k = upper; k < n; ++k) {
        re[k] = re[n - k];
        im[k] = -im[n - k];
    }
}
#endif

}  // namespace

void computeFft(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
                std::vector<float>& im, [[maybe_unused]] FftWorkspace& work,
                [[maybe_unused]] int highestBin) {
    const auto n = static_cast<std::size_t>(plan.n);
    assert(column.size() >= n && "a window column holds at least N points");
    re.resize(n + 1);
    im.resize(n + 1);
    re[n] = 0;
    im[n] = 0;
#ifdef WAVEHARM_HAVE_FFTW
    if (plan.library) {
        if (work.size() != plan.n) work = FftWorkspace(plan.n);
        library(plan, column, re, im, work, highestBin);
        return;
    }
#endif
    radix2(plan, column, re, im);
}

void computeFft(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
                std::vector<float>& im) {
    FftWorkspace work;  // sized by the library transform when it runs
    computeFft(plan, column, re, im, work);
}

FftPlan planFor(const ConversionSettings& settings) {
    const int n = settings.sampleCount();
    const int log2n = settings.sampleCountLog2();
    if (log2n < 2 || log2n > 16 || n != (1 << log2n)) {
        throw std::invalid_argument("sample count " + std::to_string(n) + " is not 2^" +
                                    std::to_string(log2n));
    }
    return FftPlan::make(n, log2n);
}

}  // namespace waveharm
