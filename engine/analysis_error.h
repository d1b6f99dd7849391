#pragma once
// The two ways the analysis refuses a recording.

#include <stdexcept>

#include "base/error.h"

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

}  // namespace waveharm
