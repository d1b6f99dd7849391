#pragma once
// A site profile: every choice an engineer makes for one measuring site (the wiring,
// the feeders and their names, the PT and CT ratios and current sensors, the analysis
// options, the time correction, and the limits the campaign is judged against), kept in
// one small TOML text file that a person can read and edit. A site measured every year
// is then set up by opening its profile.
//
// The file, with every key (missing keys keep the settings screen's initial values):
//
//   waveharm_profile = 1            # format version, required
//   site = "変電所 A"
//   measurement = "3p2m"            # 1p2w 1p3w 3p2m 3p1m 3p3m
//   pt_ratio = 60                   # whole number 1..32767
//   samples = 1024                  # 256 512 1024 (1024 with harmonics = "256")
//   harmonics = "256"               # odd49 angle unbalance angle-unbalance 256
//   interpolation = "linear"        # linear sinc
//   sync = "zerocross"              # zerocross 50hz 60hz fourier
//   save = "average"                # latest average vthd-max ithd-max
//   phase_correction = 0            # -90 -30 0 30 90, 3p1m only
//   swap_voltages = false
//   invert_voltage = [false, false] # R-S, T-S
//   under_one_minute = false
//   time_offset_hours = 0           # within ±48
//   channels = [1, 2, 3, 4]         # R-S, T-S, R, T on ch1..ch4, one feeder only
//   shunt_ohm = 0.1                 # one feeder measured through a shunt (else clamp_a)
//
//   [[feeder]]                      # one table per feeder, 1 to 7, in order
//   name = "1号線"
//   ct_ratio = 100
//   clamp_a = 20                    # clamp range in A (0.2 V at full range)
//   invert = false
//   line_voltage = false
//
//   [campaign]
//   limits = "jp-6.6kv"             # a limit table's name or file
//   contract_kw = 3000
//
// A file that breaks any rule is refused whole, with the line and key of the fault.

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_settings.h"

namespace waveharm {

/// One feeder of a site.
struct FeederProfile {
    std::string name;
    double ctRatio = 1;
    double clampAmperes = 2;  ///< the current sensor's range; 0.2 V at full range
    bool invertCurrent = false;
    bool lineVoltageInput = false;
};

/// The campaign's judgement: a limit table and, for the outflow-current tables, the
/// contract power.
struct CampaignChoices {
    std::string limits;  ///< a table's name or a limit file; empty: none chosen
    std::optional<double> contractKw;
};

/// Every choice of a site, as typed values: ratios and sensors as the engineer enters
/// them, so that a profile applied anywhere scales the samples the same way.
struct SiteProfile {
    std::string siteName;
    MeasurementType measurementType = MeasurementType::ThreePhase2M;
    std::vector<FeederProfile> feeders{FeederProfile{}};  ///< 1..7
    /// Recorder channels 1..4 of R-S, T-S, R, T; one feeder only. Nothing: the layout
    /// the measurement type and feeder count give.
    std::optional<std::array<int, 4>> channels;
    /// One feeder measured through a shunt of this many ohms instead of a clamp.
    std::optional<double> shuntOhms;
    int ptRatio = 60;
    int sampleCount = 1024;
    HarmonicOption harmonicOption = HarmonicOption::HighOrder256;
    InterpolationMode interpolation = InterpolationMode::Linear;
    SyncMode syncMode = SyncMode::ZeroCross;
    SaveMode saveMode = SaveMode::IntervalAverage;
    int phaseCorrectionDegrees = 0;
    bool swapVoltages = false;
    std::array<bool, 2> invertVoltage{};
    bool outputUnderOneMinute = false;
    double timeOffsetHours = 0;
    CampaignChoices campaign;
};

/// A profile refused: the line (1-based; 0 when not tied to one), the key and why.
class ProfileError : public std::runtime_error {
  public:
    ProfileError(std::string file, int line, std::string key, std::string reason);
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }
    const std::string& key() const { return m_key; }
    const std::string& reason() const { return m_reason; }

  private:
    std::string m_file;
    int m_line;
    std::string m_key;
    std::string m_reason;
};

/// Parses a profile's text; `fileName` names it in errors. Throws ProfileError on the
/// first fault: TOML syntax, an unknown key, a value of the wrong kind or outside its
/// range, or choices that do not go together (several feeders with a one-feeder option,
/// fewer than 1024 samples with 256 orders, a phase correction outside 3p1m).
SiteProfile parseSiteProfile(std::string_view text, const std::string& fileName);

/// The choices `settings` holds as they stand: site, type, options and each feeder's name,
/// inversion and line input. The ratios and sensors, which a profile keeps as the engineer
/// typed them, and the campaign's limits are left for the caller.
SiteProfile profileChoicesOf(const ConversionSettings& settings);

/// The profile as text, every key written, in the order of the format above.
std::string siteProfileText(const SiteProfile& profile);

/// Reads and parses a profile file. Throws ProfileError, also when it cannot be read.
SiteProfile readSiteProfile(const std::filesystem::path& path);

/// Writes a profile file whole (to a temporary name, then renamed over the old one).
/// Throws std::runtime_error naming the file when it cannot be written.
void writeSiteProfile(const std::filesystem::path& path, const SiteProfile& profile);

/// A rule two choices break together: the key whose value is refused, and why.
struct ProfileFault {
    std::string key;
    std::string reason;
};

/// Checks the rules between choices that the parser checks, on a profile built in the
/// program; the first fault, or nothing.
std::optional<ProfileFault> profileFault(const SiteProfile& profile);

/// The longest site or feeder name a profile holds, in bytes of UTF-8.
inline constexpr std::size_t kMaxProfileNameBytes = 120;

}  // namespace waveharm
