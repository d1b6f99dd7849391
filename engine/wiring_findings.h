#pragma once
// What the wiring check's fundamental phasors say about the wiring: line voltages
// exchanged, inverted or missing, a feeder's current inverted, its R and T currents
// exchanged, a current taken from another feeder's channel, a dead channel, R and T far
// apart, a load too light to judge, power flowing back. Findings are data (a kind, the
// feeder, the phase and the recorder channels involved, and the settings change that
// would put it right); display/ words them.

#include <array>
#include <vector>

#include "engine/wiring_check.h"

namespace waveharm {

enum class WiringFindingKind {
    VoltageMissing,       ///< line voltage `phase` (0 R-S, 1 T-S) carries nothing
    VoltagesExchanged,    ///< T-S lags R-S: the two line voltages are exchanged
    ReversedSequence,     ///< T-S lags R-S but every current agrees: the system's own order
    VoltageInverted,      ///< line voltage `phase` inverted (-1: one of the two, unknown)
    VoltageAngle,         ///< the angle between the line voltages fits no wiring
    CurrentUnmeasurable,  ///< the feeder's currents are too small to judge ("測定不能")
    ChannelDead,          ///< the feeder's current `phase` (0 R, 1 T) carries nothing
    MagnitudesApart,      ///< R and T differ by more than `kApartRatio` (`ratio`)
    CurrentInverted,      ///< the feeder's current `phase` is reversed (clamp the wrong way)
    CurrentsExchanged,    ///< the feeder's R and T currents are exchanged
    ForeignChannel,       ///< current `phase` is found on `channels[1]`, another feeder's
    ReversePower,         ///< both currents against their voltages: power flows back, or
                          ///< both clamps are reversed
    AnglesUnexplained,    ///< the pair's angles fit no wiring this check knows
};

/// The settings change that puts a finding right.
enum class WiringFixKind {
    None,              ///< nothing in the settings: a clamp or lead must be moved
    SwapVoltages,      ///< "相入替" to `on`
    InvertVoltage,     ///< line voltage `index`'s "反転" to `on`
    InvertCurrent,     ///< feeder `index`'s "反転" to `on` (both currents of the pair)
    ExchangeChannels,  ///< exchange the channels of `channelMap` entries `entries`
};

struct WiringFix {
    WiringFixKind kind = WiringFixKind::None;
    int index = 0;
    bool on = true;
    std::array<int, 2> entries{};  ///< `channelMap` indices
};

struct WiringFinding {
    WiringFindingKind kind = WiringFindingKind::AnglesUnexplained;
    int feeder = -1;  ///< 0-based; -1 for the line voltages
    int phase = -1;   ///< 0 R (R-S), 1 T (T-S); -1 when none or unknown
    /// Recorder channels (1-based) involved: the phase's own channel and, for a foreign
    /// channel, the channel its current was found on; 0 when none.
    std::array<int, 2> channels{};
    double value = 0;  ///< `MagnitudesApart`: larger over smaller; `VoltageAngle`: degrees
    /// True for facts to confirm (light load, power flowing back, the system's own
    /// phase order, magnitudes apart) rather than mistakes.
    bool notice = false;
    WiringFix fix;
};

/// Per feeder, what the judgement read from the phasors.
struct FeederPhasors {
    std::array<double, 2> amplitudeDiv{};  ///< fundamental peaks of R and T, divisions
    /// Angle of R and T against their own phase voltage in degrees (negative: lagging);
    /// not a number where it could not be judged.
    std::array<double, 2> loadAngleDeg{};
};

struct WiringJudgement {
    double voltageAngleDeg = 0;  ///< T-S against R-S, degrees (+60 in positive sequence)
    std::array<double, 2> voltageAmplitudeDiv{};
    std::vector<FeederPhasors> feeders;
    std::vector<WiringFinding> findings;
    /// False for the types the judgement does not cover (three-phase 1M).
    bool judged = true;
};

/// A current whose fundamental peak stays below this many recorder divisions is
/// within the sensor's and the recorder's noise: too small to judge.
inline constexpr double kMeasurableDiv = 0.06;
/// A channel under this share of its partner's magnitude carries nothing.
inline constexpr double kDeadShare = 0.1;
/// R and T further apart than this ratio are reported (30 % unbalance stays below 2).
inline constexpr double kApartRatio = 2.5;
/// Two currents of one feeder may differ by this many degrees against their own phase
/// voltages (unbalance); any other wiring moves them 60° or more apart.
inline constexpr double kPairAngleDeg = 40;
/// Tolerance on the angle between the line voltages (60° in a sound system).
inline constexpr double kVoltageAngleDeg = 25;

/// Judges the wiring from a check's fundamental sums, read under `settings`, of a
/// recording of `countsPerDiv` counts per division.
WiringJudgement judgeWiring(const WiringCheckResult& check, const ConversionSettings& settings,
                            double countsPerDiv);

}  // namespace waveharm
