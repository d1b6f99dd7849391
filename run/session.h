#pragma once
// The session the settings screen edits: the settings of the next run, the input
// folder's recordings, the current recording read under those settings, the texts of
// the ratio boxes, the result file's name and what "データ変換開始" may do. The screens
// drive it and show what it holds; it needs no window system.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/wiring_findings.h"
#include "exchange/channel_record.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"
#include "settings/settings_rules.h"
#include "settings/site_profile.h"

namespace waveharm {

/// The text boxes whose texts the session keeps.
enum class SessionBox {
    PtRatio,      ///< `Text2`
    CtRatio,      ///< `Text3`, one feeder
    Shunt,        ///< `Text1`(0)
    Clamp,        ///< `Text1`(1)
    FeederCt,     ///< `Text10`(f)
    FeederClamp,  ///< `Text11`(f)
    TimeOffset,   ///< `Text4`, hours
};

/// Something the session met in the input folder or one of its files, for the screens to
/// tell the user.
struct SessionNote {
    enum class Kind {
        FolderUnreadable,  ///< the folder could not be listed: `file` is the folder
        Renamed,           ///< a duplicate name was renamed: `file` is "old -> new"
        NotRenamed,        ///< a duplicate name could not be renamed: `file`, `reason`
        NotARecording,     ///< the scan could not read a file: `file`, `error`, `offset`
        ReadFailed,        ///< the current file could not be read: all fields
        ReadAborted,       ///< the current file's read failed outside the reader: `file`
    };
    Kind kind = Kind::NotARecording;
    std::string file;
    ErrorKind error = ErrorKind::NotARecording;
    std::int64_t offset = -1;  ///< byte position of the fault, -1 when not tied to one
    std::string reason;        ///< the reader's words
};

/// The texts the ratio and time boxes show.
struct SessionTexts {
    std::string ptRatio = "60";
    std::string ctRatio = "1";
    SenseTexts sense{"0.1", "2"};
    FeederTexts feederCt{"1", "1", "1", "1", "1", "1", "1", "1", "1"};
    FeederTexts feederClamp{"2", "2", "2", "2", "2", "2", "2", "2", "2"};
    std::string timeOffset = "0";
};

class Session {
  public:
    const ConversionSettings& settings() const { return m_settings; }
    const SessionTexts& texts() const { return m_texts; }
    const WaveformFileList& files() const { return m_files; }
    const std::filesystem::path& folder() const { return m_folder; }
    /// Renamed duplicates, files that could not be opened, or the folder that could not
    /// be read, from the latest scan.
    const std::vector<SessionNote>& scanNotes() const { return m_scanNotes; }

    /// Name of the current recording in the input folder (empty when none).
    const std::string& currentFileName() const { return m_currentFileName; }
    /// The current recording read under the current settings; null when none is.
    const Recording* recording() const { return m_recording ? &*m_recording : nullptr; }
    /// The current record of another instrument as read (its channels for the map), also
    /// when the map does not fit it; null for the recorder's files or when none is read.
    const ChannelRecord* record() const { return m_record ? &*m_record : nullptr; }
    /// The settings the analysis of the current files runs under: the settings, or for
    /// records of other instruments `settingsForRecords` of them (the wiring check).
    ConversionSettings analysisSettings() const;
    /// Why the current file could not be read; nothing when it was.
    const std::optional<SessionNote>& readError() const { return m_readError; }
    /// Feeder counts the current recording's channels allow (1..7; 1 without one).
    int offeredFeederCounts() const { return m_offeredFeeders; }

    /// Scans `folder` (the 8840 files when `wevFiles` is set) and makes its first
    /// readable recording current, with the largest feeder count it allows. A folder of
    /// one file or none leaves no recording current. Another folder than the last one
    /// clears the result file name: it was chosen for the other campaign.
    void scanFolder(const std::filesystem::path& folder);
    /// Switches between `.MEM` and 8840 files and scans the folder again.
    void setWevFiles(bool on);
    /// Switches between the recorder's files and records of other instruments and scans
    /// the folder again.
    void setRecordFormat(RecordFormat format);
    /// The rate of CSV records without a time column (nothing: from the time column); the
    /// current record is read again.
    void setCsvRate(std::optional<double> rate);
    /// The channel of one quantity of the map ("" to leave it to the proposal). Throws
    /// nothing: a channel the record does not hold shows as the current file's read error.
    void setChannelMapEntry(int quantity, const std::string& expression);
    /// Whether the PT and CT ratios scale a record's values as written (else each
    /// channel's own ratio makes them primary); the current record is made again.
    void setRecordRatiosGiven(bool given);
    /// Fills the map with the proposal for the current record and the measurement type;
    /// false when no record is current or nothing can be proposed.
    bool proposeChannelMap();
    /// Makes a file of the input folder current and reads it; the feeder count keeps its
    /// value when the recording allows it.
    void selectFile(const std::string& name);

    /// Edits that change how the current recording reads, so it is read again.
    MeasurementTypeEffects setMeasurementType(MeasurementType type);
    void setSwapVoltages(bool on);
    void setInvertVoltage(int k, bool on);

    /// A feeder count from `Combo1`: the forced options, the channel layout, and the
    /// ratios of the boxes of the group now shown.
    FeederCountEffects chooseFeederCount(int n);
    void setHarmonicOption(HarmonicOption option);
    /// 256, 512 or 1024 samples; refused (false) while the 256-order option needs 1024.
    bool chooseSampleCount(int count);
    /// The phase-correction button 0..4; refused (false) but for three-phase 1M.
    bool choosePhaseCorrection(int index);
    /// Puts a quantity of the one-feeder choosers on recorder channel 1..4, exchanging
    /// channels with the quantity that held it.
    void chooseChannel(ChosenQuantity q, int channel);
    void setSyncMode(SyncMode mode);
    void setSaveMode(SaveMode mode);
    void setInterpolation(InterpolationMode mode);
    void setOutputUnderOneMinute(bool on);
    /// `Check1`(i): i = 2f "反転" and 2f+1 "V入力" of feeder f; 14 and 15 are the first
    /// feeder's boxes in the one-feeder group.
    void setFeederInput(int box, bool on);

    /// A box's text changed: kept, and written to the settings when it is usable.
    void typeText(SessionBox box, int feeder, const std::string& text);
    /// Focus left a box: unusable texts are restored, shunt and clamp follow each other,
    /// per-feeder texts are copied down to the later feeders.
    void leaveBox(SessionBox box, int feeder);

    /// Exchanges the recorder channels of two `channelMap` entries (a feeder's R and T,
    /// or currents of two feeders whose clamps were plugged crosswise).
    void exchangeChannels(int entryA, int entryB);
    /// Applies the settings change a wiring-check finding proposes, through the same
    /// rules as the screen's own boxes; the caller reads the recording again for the
    /// next check (`recordingForCheck`).
    void applyWiringFix(const WiringFix& fix);
    /// The site's and a feeder's (0-based) name; names are trimmed of blanks around them.
    void setSiteName(const std::string& name);
    void setFeederName(int feeder, const std::string& name);
    /// One feeder's current sensor: the clamp range box (true) or the shunt box (false)
    /// is the one in use ("ｸﾗﾝﾌﾟ" / "ｼｬﾝﾄ").
    void setClampChosen(bool clamp) { m_clampChosen = clamp; }
    bool clampChosen() const { return m_clampChosen; }
    /// The campaign's limit table and contract power, kept for the campaign view.
    const CampaignChoices& campaign() const { return m_campaign; }
    void setCampaign(CampaignChoices campaign) { m_campaign = std::move(campaign); }

    /// Every choice of the site as the screen holds it now: the typed ratios and sensor
    /// values, the feeders with their names, the options, the campaign's limits.
    SiteProfile profile() const;
    /// Applies a valid profile as the screen's own edits would, in the order the screen's
    /// rules need (measurement type, feeder count, then the options the feeder count
    /// forces, the ratios and names). The feeder count is held to what the current
    /// recording offers. The folder, the current recording and the result name stay.
    void applyProfile(const SiteProfile& profile);

    /// The name chosen in the save dialog; the result file's extension follows the
    /// harmonic option and the feeder count.
    void chooseOutputName(const std::string& chosen);
    /// True when a change of the input folder cleared the chosen name and none has been
    /// chosen since.
    bool outputNameCleared() const { return m_outputNameCleared; }
    /// The folder the save dialog opens in: that of the last chosen name, else the
    /// input folder.
    std::filesystem::path outputFolder() const;

    /// "データ変換開始" is offered: a readable recording is current and a result file
    /// is named.
    bool canStart() const;
    /// The start's first step: the current recording read again under the settings now
    /// in force, for the wiring check; null (see `readError`) when it cannot be read.
    const Recording* recordingForCheck();
    /// The wiring was confirmed: the run starts from the earliest recording, which is
    /// made current. False when the folder holds nothing to convert.
    bool wiringConfirmed();

  private:
    void readCurrent(bool fromScan);
    /// A record of another instrument: read, its feeders offered, made a recording.
    void readCurrentRecord(const std::filesystem::path& path, bool fromScan);
    /// The current record's feeders offered (all of them after a scan) and its recording.
    void settleRecord(bool fromScan);
    /// The current record made a recording under the settings; the reason when it cannot.
    void buildRecordRecording();
    void applyOutputName();
    void settleShownRatios();

    ConversionSettings m_settings;
    SessionTexts m_texts;
    WaveformFileList m_files;
    std::filesystem::path m_folder;
    std::vector<SessionNote> m_scanNotes;
    std::string m_currentFileName;
    std::optional<Recording> m_recording;
    std::optional<ChannelRecord> m_record;
    std::optional<SessionNote> m_readError;
    int m_offeredFeeders = 1;
    std::string m_chosenName;  ///< as chosen in the save dialog, before the extension
    bool m_outputNameCleared = false;
    bool m_clampChosen = false;
    CampaignChoices m_campaign;
};

}  // namespace waveharm
