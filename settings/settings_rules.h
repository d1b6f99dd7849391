#pragma once
// The settings screen's rules that do not depend on widgets: exchanging recorder
// channels between the four one-feeder choosers, the values a text box falls back
// to when it is left holding nothing usable, the CT ratio and clamp range copied
// down to later feeders, the shunt/clamp pair, the channel labels per feeder and
// what a change of the feeder count or measurement type enables and forces.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "settings/conversion_settings.h"

namespace waveharm {

/// Quantities of the one-feeder channel choosers, as `channelMap` indices.
enum class ChosenQuantity : int { VoltageRS = 0, VoltageTS = 1, CurrentR = 2, CurrentT = 3 };

/// Puts quantity `q` on recorder channel `channel` (1..4). Any other of the four
/// quantities already on that channel moves to the channel `q` leaves, so
/// `channelMap[0..3]` stay pairwise distinct. Channels outside 1..4 are ignored.
void chooseChannel(ConversionSettings& settings, ChosenQuantity q, int channel);

/// The "ｻﾝﾌﾟﾘﾝｸﾞ数" choice of 256, 512 or 1024 samples. The 256-order option offers
/// 1024 only (no order up to 256 may alias): another count is refused (false) then.
bool chooseSampleCount(ConversionSettings& settings, int count);

/// The "位相補正" button 0..4. Only three-phase 1M measures one phase and takes a
/// correction; other types keep 0° and the choice is refused (false).
bool choosePhaseCorrection(ConversionSettings& settings, int index);

/// The text boxes holding ratios and sensor values.
enum class RatioBox {
    CtRatio,      ///< one-feeder and per-feeder CT ratio, default "1"
    PtRatio,      ///< PT ratio (whole number), default "60"
    Shunt,        ///< shunt resistance in ohms, default "0.1"
    Clamp,        ///< one-feeder clamp range in amperes, default "20"
    FeederClamp,  ///< per-feeder clamp range in amperes, default "0.1"
};

/// The text a box is given back when it is left empty, zero, negative or not a number.
std::string_view defaultText(RatioBox box);

/// The usable value of a box's text: a finite number greater than zero (for the PT
/// ratio its whole-number part, 1..32767). Nothing for anything else.
std::optional<double> positiveValue(RatioBox box, std::string_view text);

/// The text a box keeps when focus leaves it: `text` when it holds a usable value,
/// otherwise the box's default.
std::string restoredText(RatioBox box, std::string_view text);

/// A number as a text box shows it: up to 7 significant digits, no trailing zeros
/// ("0.04", "20", "0.1").
std::string formatBoxNumber(double value);

/// The one-feeder shunt and clamp-range texts, which always describe the same sensor
/// (a clamp delivers 0.2 V at full range, so shunt ohms = 0.2 / clamp amperes).
struct SenseTexts {
    std::string shunt;
    std::string clamp;
};

/// The clamp range box was left with `clampText`: restores its default when unusable,
/// derives the shunt text and writes `currentSenseOhms[0]`.
SenseTexts applyClampRange(ConversionSettings& settings, std::string_view clampText);

/// The shunt box was left with `shuntText`: restores its default when unusable,
/// writes `currentSenseOhms[0]` and derives the clamp-range text.
SenseTexts applyShunt(ConversionSettings& settings, std::string_view shuntText);

/// Per-feeder texts of the several-feeder group (`Text10` CT ratios, `Text11` clamp ranges).
using FeederTexts = std::array<std::string, kMaxFeeders>;

/// Feeder `f`'s CT-ratio box was left: restores its default when unusable, copies the
/// text into feeders f+1..8 (earlier feeders keep theirs) and writes `ctRatio[f..8]`.
void copyCtRatioDown(ConversionSettings& settings, FeederTexts& texts, int f);

/// Feeder `f`'s clamp-range box was left: restores its default when unusable, copies
/// the text into feeders f+1..8 and writes `currentSenseOhms[f..8]` = 0.2 / range.
void copyClampRangeDown(ConversionSettings& settings, FeederTexts& texts, int f);

/// Number of channel labels of the several-feeder group (voltage line + feeders 1..9).
inline constexpr int kChannelLabelCount = 10;

/// The channel labels: [0] the voltages, [f] feeder f (1..9), from the recorder's
/// channel names (slot s = channel s + 1). Feeders beyond `feederCount` (or beyond the
/// recorder's 16 channels) show "ch-". With `channelMap`, the two-channel types show the
/// channels it names (a feeder whose R and T were exchanged shows them so).
std::array<std::string, kChannelLabelCount> feederChannelLabels(
    MeasurementType type, int feederCount, const std::array<std::string, 16>& channelNames,
    const std::array<std::int16_t, kChannelMapSize>* channelMap = nullptr);

/// What a feeder-count choice enables and selects on the screen.
struct FeederCountEffects {
    bool severalFeeders = false;
    /// `Option8` 0..4: with several feeders "+重畳角保存" and "+三相不平衡" are off,
    /// because their files hold one feeder only.
    std::array<bool, 5> harmonicOptionEnabled{true, true, true, true, true};
    bool currentThdMaxEnabled = true;  ///< `Option7`(3), judged on the first feeder only
    /// Several feeders: the choosers go back to ch1..ch4, the save mode to the
    /// interval average, a one-feeder-only harmonic option to "+重畳角･　不平衡保存".
    bool resetChannelChoosers = false;
    std::optional<HarmonicOption> harmonicOption;
    std::optional<SaveMode> saveMode;
    std::array<bool, kMaxFeeders> feederEnabled{};  ///< feeders 1..n
};

/// The effects of choosing `n` feeders while `current` is the harmonic option.
FeederCountEffects feederCountEffects(int n, HarmonicOption current);

/// Applies a feeder count to the settings: forced harmonic option and save mode,
/// channel layout, the R current back on ch2 for the one-channel-per-feeder types with
/// one feeder, `feederCount` and the extension. Returns what the screen shows.
FeederCountEffects applyFeederCount(ConversionSettings& settings, int n);

/// What a measurement type enables on the screen.
struct MeasurementTypeEffects {
    bool tPhaseChoosersEnabled = true;    ///< "(T-S相)" and "(Ｔ相)" frames
    bool phaseCorrectionEnabled = false;  ///< "位相補正" group, three-phase 1M only
};

/// Applies a measurement type: types with one channel per feeder put the R current
/// on ch2 (one feeder), every type but three-phase 1M resets the phase correction to 0.
MeasurementTypeEffects applyMeasurementType(ConversionSettings& settings, MeasurementType type);

/// The save mode of the "ﾃﾞｰﾀ保存形式" button with index 0..3. "平均値" averages the
/// interval and "瞬時値" keeps the recording at the interval's time, as their tooltips
/// say; the two distortion buttons keep their own values.
SaveMode saveModeForButton(int index);

/// The button index showing a save mode (inverse of `saveModeForButton`).
int buttonForSaveMode(SaveMode mode);

}  // namespace waveharm
