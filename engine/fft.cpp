#include <cassert>
#include <cmath>

#include "engine/analysis.h"
#include "engine/complex_math.h"

namespace waveharm {

FftPlan FftPlan::make(int n, int log2n) {
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
    return plan;
}

void computeFft(const FftPlan& plan, std::span<const float> column, std::vector<float>& re,
                std::vector<float>& im) {
    const auto n = static_cast<std::size_t>(plan.n);
    assert(column.size() >= n && "a window column holds at least N points");
    re.resize(n + 1);
    im.resize(n + 1);
    const double scale = 1.0 / plan.n;
    for (std::size_t i = 0; i < n; ++i) {
        const auto source = static_cast<std::size_t>(plan.bitReverse[i]);
        re[i] = source < column.size() ? static_cast<float>(column[source] * scale) : 0.0f;
        im[i] = 0;
    }
    re[n] = 0;
    im[n] = 0;
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

}  // namespace waveharm
