#pragma once
// The record of the user's choices that drives a conversion run: wiring,
// channel assignment, scaling, synchronisation, transform size, harmonic range
// and what is kept per save interval.

#include <array>
#include <cstdint>
#include <string>

#include "settings/record_input.h"

namespace waveharm {

enum class MeasurementType : std::int16_t {
    SinglePhase2W = 0,  ///< "単相２線"
    SinglePhase3W = 1,  ///< "単相３線"
    ThreePhase2M = 2,   ///< "三相２Ｍ": two-wattmeter method, three-phase average
    ThreePhase1M = 3,   ///< "三相１Ｍ": one phase measured, the others assumed balanced
    ThreePhase3M = 4,   ///< "三相３Ｍ": one result file per phase
};

enum class SyncMode : std::int16_t {
    ZeroCross = 0,  ///< "ｾﾞﾛｸﾛｽ"
    Fixed50Hz = 1,  ///< "50Hz固定"
    Fixed60Hz = 2,  ///< "60Hz固定"
    Fourier = 3,    ///< "ﾌｰﾘｴ演算" (no own period source: handled as ZeroCross)
};

enum class SaveMode : std::int16_t {
    LatestWindow = 0,     ///< the interval holds the latest recording
    IntervalAverage = 1,  ///< the interval sums the recordings and counts them
    VoltageThdMax = 2,    ///< the recording with the largest voltage distortion
    CurrentThdMax = 3,    ///< the recording with the largest first-feeder current distortion
};

enum class HarmonicOption : std::int16_t {
    Odd1To49 = 0,                ///< "1-49次奇数"
    WithSuperpositionAngle = 1,  ///< "+重畳角保存"
    WithUnbalance = 2,           ///< "+三相不平衡"
    WithAngleAndUnbalance = 3,   ///< "+重畳角･　不平衡保存"
    HighOrder256 = 4,            ///< "高次(256次)調波+重畳位相"
};

/// How one period is resampled onto the transform grid ("補間方式").
enum class InterpolationMode : std::int16_t {
    Linear = 0,       ///< "直線": straight lines between the recorded samples
    BandLimited = 1,  ///< "高精度": windowed-sinc kernel and the period fitted over the record
};

/// Feeders the settings can hold (CT boxes on the settings screen).
inline constexpr int kMaxFeeders = 9;
/// Feeders whose currents fit on a 16-channel recorder (ch3/ch4 .. ch15/ch16).
inline constexpr int kMaxChannelFeeders = 7;
/// Entries of `channelMap`.
inline constexpr int kChannelMapSize = 16;
static_assert(kMappedFeeders == kMaxChannelFeeders, "a record's channel map names every feeder");

/// The user's choices for a run. Each choice is held once: the sample count as its
/// power of two, the harmonic option with its highest order and extension derived, the
/// phase-correction button with its degrees derived. The choices that bring others with
/// them are set through their setters; the settings screen's further rules (what a
/// feeder count or a measurement type forces) are in settings_rules.h.
class ConversionSettings {
  public:
    MeasurementType measurementType = MeasurementType::ThreePhase2M;
    std::int16_t feederCount = 1;
    /// 1-based recorder channel of each quantity: [0] R-S, [1] T-S, [2f] feeder f R,
    /// [2f+1] feeder f T (f = 1..7); 0 = not used.
    std::array<std::int16_t, kChannelMapSize> channelMap{1, 2, 3, 4};
    std::array<float, kMaxFeeders> ctRatio{1, 1, 1, 1, 1, 1, 1, 1, 1};
    /// Volts at the recorder input per ampere of secondary current.
    std::array<float, kMaxFeeders> currentSenseOhms{0.1f, 0.1f, 0.1f, 0.1f, 0.1f,
                                                    0.1f, 0.1f, 0.1f, 0.1f};
    std::int16_t ptRatio = 60;
    SyncMode syncMode = SyncMode::ZeroCross;
    InterpolationMode interpolation = InterpolationMode::Linear;
    SaveMode saveMode = SaveMode::IntervalAverage;
    bool swapVoltages = false;
    std::array<bool, 2> invertVoltage{};
    std::array<bool, kMaxChannelFeeders> invertCurrent{};
    std::array<bool, kMaxChannelFeeders> lineVoltageInput{};
    bool outputUnderOneMinute = false;
    bool wevFiles = false;
    /// Time-difference correction in hours added to the recordings' start times
    /// (within ±`kMaxTimeOffsetHours`, see `parseTimeOffsetHours`).
    double timeOffsetHours = 0;
    std::string outputFileName;
    /// The site's name and the feeders' names as the engineer calls them ("1号線"); empty
    /// where none was given. Shown wherever a person reads feeders; not written to the
    /// result files.
    std::string siteName;
    std::array<std::string, kMaxFeeders> feederNames{};
    /// Records of other instruments: format, CSV rate, channel map, ratios.
    RecordInput records;

    /// Samples per transform: 256, 512 or 1024.
    int sampleCount() const { return 1 << m_sampleCountLog2; }
    /// log2 of `sampleCount()`: 8, 9 or 10.
    int sampleCountLog2() const { return m_sampleCountLog2; }
    /// Sets the samples per transform (256, 512 or 1024); any other value is a
    /// programmer error.
    void setSampleCount(int count);

    HarmonicOption harmonicOption() const { return m_harmonicOption; }
    /// Highest harmonic order kept: 256 for `HighOrder256`, else 99.
    int maxHarmonicOrder() const;
    /// Sets the harmonic option; `HighOrder256` also forces 1024 samples, so that no
    /// order up to 256 aliases.
    void setHarmonicOption(HarmonicOption option);
    /// The result file's extension for the harmonic option and `feederCount`.
    std::string outputExtension() const;

    /// The phase-correction button, 0..4.
    int phaseCorrectionIndex() const { return m_phaseCorrectionIndex; }
    /// Degrees of the phase correction: -90, -30, 0, 30 or 90.
    int phaseCorrectionDegrees() const;
    /// Sets the phase-correction button (0..4); any other index is a programmer error.
    void setPhaseCorrectionIndex(int index);

    /// Sets `feederCount` (1..9) and the channel layout of n feeders.
    void setFeederCount(int count);

  private:
    std::int16_t m_sampleCountLog2 = 10;
    HarmonicOption m_harmonicOption = HarmonicOption::HighOrder256;
    std::int16_t m_phaseCorrectionIndex = 2;
};

/// The name of feeder `f` (0-based) when one was given, else empty.
const std::string& feederName(const ConversionSettings& settings, int f);

/// Degrees of the phase-correction choice with index 0..4.
int phaseCorrectionDegreesFor(int index);

/// True when both channels of every pair carry data (single-phase three-wire and the
/// two- and three-wattmeter three-phase types); false for one channel per pair.
bool pairedChannels(MeasurementType type);

/// Last used voltage column: 0 for single-phase two-wire and three-phase 1M, 1 for
/// single-phase three-wire, 2 for the three-phase 2M and 3M types.
int lastVoltageColumn(MeasurementType type);

/// Channels per feeder on the recorder: 1 for single-phase two-wire and 1M, else 2.
int channelsPerFeeder(MeasurementType type);

/// The extension rule of the result file: ".hm"+N, ".ha4", ".ha5", ".hv"+N, ".hn"+N.
std::string resultExtension(HarmonicOption option, int feederCount);

/// Highest harmonic order kept for an option: 256 for `HighOrder256`, else 99.
int maxHarmonicOrderFor(HarmonicOption option);

/// Fills `channelMap` for n feeders: with n > 1 entries 0..2n+1 hold 1..2n+2 and the
/// rest 0; with n = 1 entries 0..3 are kept (chosen freely) and entries 4.. cleared.
void applyChannelLayout(ConversionSettings& settings, int feederCount);

/// Current sense of a clamp with the given full-scale range in amperes: 0.2 V / range.
float clampRangeToSenseOhms(double rangeAmperes);

/// The largest time-difference correction accepted, in hours either way.
inline constexpr double kMaxTimeOffsetHours = 48;

/// Parses the time-difference correction in hours ("0", "-9", "5.5"); false when the
/// text is not a finite number within ±`kMaxTimeOffsetHours`.
bool parseTimeOffsetHours(const std::string& text, double& hours);

}  // namespace waveharm
