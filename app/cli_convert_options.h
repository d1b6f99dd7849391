#pragma once
// The options of `waveharm-cli convert`, parsed and checked with the same rules the
// settings screen enforces, so that an invalid choice stops the run before any
// result file is touched.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_parser.h"
#include "settings/conversion_settings.h"
#include "settings/site_profile.h"

namespace waveharm::cli {

/// What `convert` was asked for, before the recordings are seen. Everything that
/// does not depend on the feeder count is already applied to `settings`.
struct ConvertOptions {
    std::string inputDir;
    std::string outputName;  ///< the chosen result name; its stem gets the extension
    ConversionSettings settings;
    std::optional<int> feeders;
    std::vector<float> ctRatios;     ///< per feeder from feeder 1; later feeders repeat the last
    std::vector<float> clampRanges;  ///< amperes, likewise
    std::optional<float> shuntOhms;  ///< feeder 1
    std::optional<std::array<int, 4>> channels;  ///< R-S, T-S, R, T (one feeder only)
    std::vector<int> invertCurrentFeeders;       ///< 1-based
    std::vector<int> lineInputFeeders;           ///< 1-based
    bool ptGiven = false;                        ///< --pt given (records: scale as written)
    bool verbose = false;
    bool overwrite = false;    ///< existing result files of the name may be replaced
    int jobs = 0;              ///< recordings analysed at once; 0: the machine's cores
    std::string saveProfile;   ///< --save-profile: where the run's profile is written
    CampaignChoices campaign;  ///< from --profile, kept in a profile written again
    /// Which per-feeder choices came from --profile: an option given on the command line
    /// replaces the profile's list rather than adding to it.
    struct FromProfile {
        bool ct = false, clamp = false, shunt = false, channels = false, invert = false,
             lineInput = false;
    } fromProfile;

    /// True when a chosen option only exists for a single feeder (superposition
    /// angle or unbalance alone, the current-distortion save mode, free channels).
    bool needsSingleFeeder() const;
};

/// Declares the options of `convert` on `command` (repeatable options such as
/// --invert-current may appear several times); parsing the command line fills `options`,
/// which must outlive the parse. The parse throws UsageError (one line naming the option)
/// for unknown options, missing or malformed values, and choices the settings screen does
/// not allow whatever the feeder count (a zero PT or CT ratio, fewer than 1024 samples with
/// 256 orders, a phase correction outside the three-phase 1M type, ...).
/// Without `withOutput` (the wiring check) there is no --output and no run options.
void declareConvertOptions(CLI::App& command, ConvertOptions& options, bool withOutput = true);

/// The site profile of a run with `settings` (the settings `resolveConvertSettings`
/// gave): ratios and sensors as the options typed them, names, and the campaign's
/// choices of a profile read with --profile.
SiteProfile profileOfRun(const ConvertOptions& options, const ConversionSettings& settings);
/// Writes the run's profile where --save-profile names; throws UsageError when it cannot.
void saveProfileIfAsked(const ConvertOptions& options, const ConversionSettings& settings);

/// The `convert` command of `program`, its options parsed into `options`.
CLI::App& addConvertCommand(CLI::App& program, ConvertOptions& options);

/// The words after "convert" parsed on their own.
ConvertOptions parseConvertOptions(const Args& args);

/// Feeder count of the run: the one asked for; else 1 when an option needs a single
/// feeder; else the largest the recordings offer (`offeredFeeders`, at most 7).
int chooseFeederCount(const ConvertOptions& options, std::optional<int> offeredFeeders);

/// The settings of the run for the feeder count the recordings offer (nothing when no
/// recording could be read). Throws UsageError when the options do not fit the feeder
/// count (more feeders than the recorder's channels hold, single-feeder options with
/// several feeders, more CT ratios than feeders, a feeder number out of range).
ConversionSettings resolveConvertSettings(const ConvertOptions& options,
                                          std::optional<int> offeredFeeders);

}  // namespace waveharm::cli
