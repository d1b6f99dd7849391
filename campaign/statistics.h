#pragma once
// Summary statistics of one measured series over a campaign.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace waveharm {

struct SeriesStatistics {
    std::size_t count = 0;  ///< values that took part (NaN values are left out)
    double min = 0;
    double mean = 0;
    double max = 0;
    double cp95 = 0;  ///< 95th percentile, see `percentileInclusive`
};

/// The p-th quantile (0 ≤ p ≤ 1) of `sorted` (ascending, no NaN, not empty) by linear
/// interpolation between the closest ranks: the rank (n − 1)·p counted from 0, its
/// fractional part weighting the two neighbours. This is Excel's PERCENTILE.INC and
/// NumPy's default "linear" method, so a spreadsheet over the same values agrees.
double percentileInclusive(std::span<const float> sorted, double p);

/// Count, min, mean (summed in double), max and the 95th percentile of `values`,
/// ignoring NaN entries; all zero with count 0 when no value is left. Reorders
/// `values` in place (a partial selection, not a full sort).
SeriesStatistics describeSeries(std::span<float> values);

/// The statistics of many series over records too many to hold at once, exact all the
/// same. The records are offered pass after pass. The first takes count, minimum, mean
/// and maximum and a sample of every few records; the second keeps the values the
/// sample places round the 95th percentile and counts those below, which settles it
/// unless the sample misled. Then each further pass narrows the range of values holding
/// the two ranks (a histogram over the values' order) until the values in it fit the
/// memory given; those are kept and the ranks selected among them. A series whose
/// values all fit is settled in the first pass, a year of minute records in the second.
class StatisticsPasses {
  public:
    /// `series` series of at most `records` values each; `memoryBytes` bounds the values
    /// and histograms held at once.
    StatisticsPasses(std::size_t series, std::size_t records, std::size_t memoryBytes);

    /// Whether the records must be offered (again): true before the first pass.
    bool needsPass() const;
    void beginPass();
    /// One record's values, one per series in order; NaN values are left out.
    void add(std::span<const float> values);
    void endPass();
    int passesDone() const { return m_passes; }

    /// The statistics of every series, once no pass is needed.
    std::vector<SeriesStatistics> results() const;

  private:
    enum class Step : std::uint8_t { Extremes, Bracket, Histogram, Gather, Ends, Settled };
    struct Search {
        Step step = Step::Extremes;
        std::size_t count = 0;
        double sum = 0;
        float min = 0, max = 0;
        std::uint32_t low = 0, high = 0;  ///< the range searched, as ordered keys
        std::size_t below = 0;            ///< values under the range
        std::size_t inRange = 0;          ///< values within it
        /// Ends: the lower rank's bin is low..high, the upper's upperLow..upperHigh.
        std::uint32_t upperLow = 0, upperHigh = 0;
        float endLow = 0, endHigh = 0;
        int shift = 0;  ///< a histogram bin holds 2^shift keys
        std::vector<std::uint32_t> bins;
        std::vector<float> kept;
        double cp95 = 0;
    };

    void settleFirstPass(Search& s);
    void bracketFromSample(Search& s);
    void settleBracket(Search& s);
    void narrow(Search& s);
    void settleKept(Search& s);
    void nextStep(Search& s);

    std::vector<Search> m_series;
    std::size_t m_keepPerSeries;
    std::size_t m_binCount;
    std::size_t m_records;
    std::size_t m_stride;       ///< the first pass samples every stride-th record
    std::size_t m_offered = 0;  ///< records offered in the first pass
    int m_passes = 0;
    bool m_gatherFirst;
};

}  // namespace waveharm
