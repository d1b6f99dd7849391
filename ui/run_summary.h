#pragma once
// The end-of-run summary the analysis window shows in Japanese: what was analysed,
// every skipped recording with its reason, range over, records written and the
// result files' full paths. Plain text, no Qt.

#include <optional>
#include <string>

#include "run/run_controller.h"

namespace waveharm {

/// One skipped recording as the screens show it: "W3000.MEM：<reason in Japanese>
/// （12 バイト目）".
std::string skippedRecordingText(const SkippedRecording& skipped);

/// The summary of a run, one item per line; `fault` tells why a stopped run stopped.
std::string runSummaryText(const ConversionSummary& summary, RunEnd end,
                           std::optional<RunFault> fault = std::nullopt);

}  // namespace waveharm
