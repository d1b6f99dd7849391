#pragma once
// The per-recording analysis results and the save-interval aggregate the result
// writers read. Sizes: H = maxHarmonicOrder (99 or 256), F = feederCount.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/arrays.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Window column of channel-map entry `e` (0 R-S, 1 T-S, 2f + 2 and 2f + 3 feeder f's R
/// and T current): each measured pair is followed by the column of its derived third phase.
constexpr int windowColumn(int e) { return e + e / 2; }
/// Window column of phase c (0 R, 1 T, 2 S) of feeder f's currents.
constexpr int currentColumn(int f, int c) { return 3 * f + 3 + c; }
/// Window columns for `feeders` feeders: three voltage phases and three per feeder.
constexpr int windowColumnCount(int feeders) { return 3 * feeders + 3; }

/// One fundamental period of every used channel, resampled onto N + 1 points.
/// Columns 0–2 are the voltages, 3f+3..3f+5 the currents of feeder f.
struct WindowWaveforms {
    Array2<float> columns;                     ///< [3F + 3][N + 1], raw units
    std::vector<float> samplePositions;        ///< N + 1 fractional sample positions
    std::array<std::int16_t, 21> peakTable{};  ///< largest |resampled value| per channel slot
};

/// Results of one recording (primary-side RMS volts and amperes, watts, vars).
struct HarmonicResult {
    int orders = 0;   ///< H
    int feeders = 0;  ///< F

    /// [column 0..5][order 0..H]: columns 0–2 this recording's phasor per phase;
    /// columns 3–5 this recording's phasors turned so the fundamental of their own
    /// voltage phase lies on the x-axis (the interval keeps their aggregate).
    Array2<float> voltageHarmonicRe, voltageHarmonicIm;
    /// [feeder][column 0..5][order], same column meaning.
    Array3<float> currentHarmonicRe, currentHarmonicIm;
    Array2<float> voltageHarmonicMagnitude;    ///< [phase 0..2][order]
    Array3<float> currentHarmonicMagnitude;    ///< [feeder][phase 0..2][order]
    std::array<float, 3> voltageRmsByPhase{};  ///< true RMS from the samples
    Array2<float> currentRmsByPhase;           ///< [phase 0..2][feeder]
    std::array<float, 3> voltageAngle{};       ///< fundamental angle per phase, radians
    std::vector<float> voltageRms;             ///< [order] average over used phases
    Array2<float> currentRms;                  ///< [feeder][order]
    /// [feeder][order]: summed over the measured voltage/current pairs (R-S·R and T-S·T),
    /// with three wattmeters over the three phases.
    Array2<float> activePower, reactivePower;
    Array2<float> phaseAngleDeg;                  ///< [feeder][order] voltage-to-current angle
    Array2<float> currentRefX, currentRefY;       ///< [feeder][order]
    Array2<std::int16_t> currentRefAngleDeg;      ///< [feeder][order]
    std::vector<float> voltageRefX, voltageRefY;  ///< [order]
    std::vector<std::int16_t> voltageAngleDeg;    ///< [order]
    std::vector<float> voltageHarmonicPercent;    ///< [order]
    Array2<float> currentHarmonicPercent;         ///< [feeder][order]
    Array2<float> powerHarmonicPercent;           ///< [feeder][order]
    float voltageDistortionSum = 0;
    std::array<float, 3> voltageDistortionByPhase{};
    std::vector<float> currentDistortionSum;       ///< [feeder]
    Array2<float> currentDistortionByPhase;        ///< [phase 0..2][feeder]
    std::vector<std::int16_t> harmonicPowerAngle;  ///< [feeder]
    std::array<float, 3> fundamentalRawRe{}, fundamentalRawIm{};

    /// Fundamental of every window column in raw units: w(i) ≈ a·cos(2πi/N) + b·sin(2πi/N)
    /// with a = fundamentalCos[col], b = fundamentalSin[col]; the residual plot
    /// subtracts exactly this.
    std::vector<float> fundamentalCos, fundamentalSin;  ///< [3F + 3]

    /// Allocates every array for H orders and F feeders, all zero.
    void allocate(int maxOrder, int feederCount);
    /// Every float value of the result, array by array (a new float member belongs here
    /// too), for the checks that must see them all.
    std::array<std::span<const float>, 29> floatValues() const;
};

/// What one save interval holds for the writers: sums (average mode) or one
/// selected recording's values (the other modes). The writer divides by
/// `intervalState` and clears.
struct IntervalAggregate {
    int orders = 0;
    int feeders = 0;
    std::int16_t intervalState = 0;  ///< recordings aggregated since the last record
    /// Largest distortion taken in the distortion-maximum modes; 0 after each record.
    float comparisonValue = 0;

    std::vector<float> voltageRms;             ///< [order]
    std::vector<float> voltageX, voltageY;     ///< [order]
    Array2<float> currentRms;                  ///< [feeder][order]
    Array2<float> activePower, reactivePower;  ///< [feeder][order]
    /// [order], one value for all feeders: the first feeder's, the one the writers pair
    /// with currentRefY(0, order) for the current superposition angle.
    std::vector<float> currentRefX;
    Array2<float> currentRefY;  ///< [feeder][order]
    std::array<float, 3> voltageRmsByPhase{};
    Array2<float> currentRmsByPhase;  ///< [phase 0..2][feeder 0..8]
    /// Phase-referenced phasors (columns 3–5 of the recording) following the save mode:
    /// [phase 0..2][order] and [feeder][phase 0..2][order].
    Array2<float> voltagePhasorRe, voltagePhasorIm;
    Array3<float> currentPhasorRe, currentPhasorIm;
    /// The own phasors (columns 0–2) of the recording whose values the interval holds —
    /// the selected one in the latest and distortion-maximum modes, the latest one in
    /// the average mode — for the per-phase files' phase angles: [phase 0..2][order],
    /// voltages and the first feeder's currents.
    Array2<float> anglePhasorVoltageRe, anglePhasorVoltageIm;
    Array2<float> anglePhasorCurrentRe, anglePhasorCurrentIm;

    void allocate(int maxOrder, int feederCount);
    /// Zeros every array, `intervalState` and `comparisonValue` (the writer's clear).
    void clear();
};

/// Folds one recording into the interval by the save mode: sums (1), replaces (0),
/// replaces when the voltage (2) or first-feeder current (3) distortion exceeds the
/// largest taken so far in this interval (`comparisonValue`); an empty interval always
/// takes the recording, so a closed interval never holds zero recordings.
void aggregateInterval(const HarmonicResult& result, const ConversionSettings& settings,
                       IntervalAggregate& interval);

}  // namespace waveharm
