#pragma once
// The settings screen (Form01), the program's main window: the input folder and the
// recording's information, the wiring and scaling, the analysis options, the result
// file name and the start of a run through the wiring check. The screen shows and
// edits a Session, which holds the settings, the recordings and the current one.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "run/session.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSettings;
class QTableWidget;
class QTreeView;

namespace waveharm {

namespace screen {
class ElidedPathLabel;
}

class SettingsScreen : public QWidget {
    Q_OBJECT
  public:
    struct Options {
        /// Folder scanned at start-up (empty: the folder of the last run, else the current
        /// folder).
        QString startFolder;
        bool showAbout = true;  ///< the "ソフトウェアについて" message at start-up
        /// The file of the remembered folders and profile (an ini file); empty: Qt's
        /// settings store in the platform's usual place.
        QString storeFile;
    };

    explicit SettingsScreen(Options options, QWidget* parent = nullptr);
    ~SettingsScreen() override;

    /// Start-up: places the screen on the desktop with its title bar reachable, shows
    /// it and the information message, and scans the starting folder.
    void start();

    const ConversionSettings& settings() const { return m_session.settings(); }
    /// The site's limit table and contract power, from its profile.
    const CampaignChoices& campaignChoices() const { return m_session.campaign(); }
    const WaveformFileList& files() const { return m_session.files(); }
    const std::string& currentFileName() const { return m_session.currentFileName(); }
    const Recording* currentRecording() const { return m_session.recording(); }

    /// Scans a folder and makes its earliest readable recording current.
    void setInputFolder(const QString& folder);
    /// Makes a file of the input folder current and reads it.
    void selectInputFile(const QString& name);

    /// Starts the run once the wiring is confirmed. The screen is hidden before the call;
    /// the launcher shows it again when the run is over. The default runs the
    /// conversion in the analysis window.
    using RunLauncher = std::function<void(SettingsScreen& screen)>;
    void setRunLauncher(RunLauncher launcher) { m_launchRun = std::move(launcher); }
    /// Asks for the result file name, starting in `folder`; an empty answer means
    /// cancelled. The default is the save dialog.
    using FileNameChooser = std::function<QString(QWidget* parent, const QString& folder)>;
    void setFileNameChooser(FileNameChooser chooser) { m_chooseFileName = std::move(chooser); }
    /// Shows the wiring check for the current recording and answers whether the wiring
    /// was confirmed; the default is the modal dialog.
    using WiringCheckPresenter = std::function<bool(const ConversionSettings& settings,
                                                    const Recording& recording, QWidget* parent)>;
    void setWiringCheckPresenter(WiringCheckPresenter presenter) {
        m_presentWiringCheck = std::move(presenter);
    }
    /// How messages reach the user (a message box unless replaced, e.g. by tests).
    using MessageReporter = std::function<void(const QString& title, const QString& text)>;
    void setMessageReporter(MessageReporter reporter) { m_report = std::move(reporter); }

    /// The lines of the start-up information message.
    static QString aboutText();

    /// Writes every choice of the site to a profile file; false (and a message) when
    /// it cannot be written.
    bool saveProfileTo(const QString& path);
    /// Reads a profile and applies it whole; a file that breaks a rule is refused with
    /// its line and key named and nothing changes.
    bool openProfileFrom(const QString& path);
    /// The short help page of a campaign's workflow (F1).
    void showHelp();

    /// "データ変換開始": re-reads the current recording, shows the wiring check and,
    /// when it is confirmed, starts the run from the earliest recording.
    void startConversion();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // The groups, each built and wired in its own file.
    QWidget* buildFolderGroup();
    QWidget* buildInfoGroup();
    QWidget* buildRangeGroup();
    void connectFolderGroup();
    /// The analysis options in two columns: wiring type, transform and synchronisation;
    /// what is saved, the harmonic option and the phase correction.
    std::array<QWidget*, 2> buildOptionColumns();
    QGroupBox* buildMeasurementGroup(QWidget* panel);
    std::array<QGroupBox*, 2> buildTransformGroups(QWidget* panel);  ///< samples, interpolation
    /// Synchronisation, save format, harmonic option, phase correction.
    std::array<QGroupBox*, 4> buildRunGroups(QWidget* panel);
    void connectOptionGroups();
    QWidget* buildChannelGroups();
    QGroupBox* buildSeveralFeederChannels(QWidget* panel);
    QGroupBox* buildOneFeederChannels(QWidget* panel);
    void connectChannelGroups();
    /// Records of other instruments: the format beside the 8840 box (with the rate of CSV
    /// records), and the group of the channel map.
    QWidget* buildFormatChoice(QWidget* parent);
    QWidget* buildRecordGroup();
    void connectRecordGroup();
    void showRecordMap();
    QWidget* buildConversionGroup();
    void connectConversionGroup();
    QWidget* buildOutputGroup();
    void connectOutputGroup();
    QWidget* buildSiteGroup();
    void connectKeys();
    void chooseFolder();
    void saveProfile();
    void openProfile();
    QSettings& store();
    void remember(const QString& key, const QString& value);
    QString remembered(const QString& key) const;
    QLineEdit* lineEdit(const QString& name, const QString& tip);
    void connectBox(QLineEdit* edit, SessionBox box, int feeder = 0);

    void scanFolder(const QString& folder);
    /// "ファイル名設定": true when a name was chosen in a folder that can be written.
    bool chooseOutputFile();
    /// Tells the user when no result file can be created beside `fileName`.
    bool reportUnwritableFolder(const std::string& fileName);
    /// Before a run: the output folder can be written, and existing result files of the
    /// name are replaced only when the user says so (or another name is chosen).
    bool confirmResultFiles();
    void fitToScreen();

    // Showing the session.
    void showSession();
    void showFileList();
    void showRecordingInfo();
    void showFeederCounts();
    void showOptions();
    void showChannels();
    void showTexts();
    void showOutput();

    Session m_session;
    Options m_options;
    RunLauncher m_launchRun;
    FileNameChooser m_chooseFileName;
    WiringCheckPresenter m_presentWiringCheck;
    MessageReporter m_report;
    QString m_listedFolder;        ///< folder whose files `File1` lists
    QStringList m_listedPatterns;  ///< the name patterns it lists them by

    QScrollArea* m_scroll = nullptr;
    QComboBox* m_drive = nullptr;  // Drive1
    QTreeView* m_dirs = nullptr;   // Dir1
    QFileSystemModel* m_dirModel = nullptr;
    QListWidget* m_fileList = nullptr;  // File1
    QLabel* m_pattern = nullptr;
    screen::ElidedPathLabel* m_folderPath = nullptr;
    QLabel* m_folderNote = nullptr;  ///< an empty or unreadable folder
    QLabel* m_inFileName = nullptr;  // InFileName
    QLabel* m_notice = nullptr;      // Label41
    QLabel* m_readError = nullptr;
    std::array<QLabel*, 3> m_listInfo{};             // Label36
    QLabel* m_model = nullptr;                       // Label28(0)
    QLabel* m_tDiv = nullptr;                        // T_Div
    QLabel* m_vDiv = nullptr;                        // V_Div
    std::array<QLabel*, 4> m_time{};                 // Label15
    QLabel* m_totalSamples = nullptr;                // LabASn
    QLabel* m_rate = nullptr;                        // Label21
    std::array<QLabel*, 2> m_trigger{};              // Label26
    std::array<QLabel*, kSlotCount> m_slotNames{};   // Label12
    std::array<QLabel*, kSlotCount> m_slotRanges{};  // Label14

    QButtonGroup* m_measurement = nullptr;    // Option2
    QButtonGroup* m_samples = nullptr;        // Option1
    QButtonGroup* m_interpolation = nullptr;  // Option14: "直線" / "高精度"
    QLabel* m_interpolationLoss = nullptr;    // the linear mode's order-49 loss
    QButtonGroup* m_sync = nullptr;           // Option13
    QButtonGroup* m_saveMode = nullptr;       // Option7
    QButtonGroup* m_harmonic = nullptr;       // Option8
    QGroupBox* m_phaseBox = nullptr;
    QButtonGroup* m_phase = nullptr;            // Option9
    QButtonGroup* m_senseKind = nullptr;        // Option12
    std::array<QButtonGroup*, 4> m_choosers{};  // Option3..Option6
    std::array<QGroupBox*, 4> m_chooserFrames{};

    QGroupBox* m_channelsSeveral = nullptr;  // "入力チャンネル設定"
    QGroupBox* m_channelsOne = nullptr;      // "入力チャンネル"
    QWidget* m_conversionOne = nullptr;
    QWidget* m_conversionSeveral = nullptr;
    std::array<QCheckBox*, 16> m_feederInputs{};                // Check1
    QCheckBox* m_swap = nullptr;                                // Check2
    std::array<QCheckBox*, 2> m_invertVoltage{};                // Check6
    std::array<QLabel*, kChannelLabelCount> m_channelLabels{};  // Label23
    std::array<QLineEdit*, 2> m_sense{};                        // Text1
    std::array<QLabel*, 2> m_senseCaptions{};
    QLineEdit* m_pt = nullptr;                            // Text2
    QLineEdit* m_ct = nullptr;                            // Text3
    std::array<QLineEdit*, kMaxFeeders> m_feederCt{};     // Text10
    std::array<QLineEdit*, kMaxFeeders> m_feederClamp{};  // Text11
    std::array<QLabel*, kMaxFeeders> m_feederCaptions{};
    QComboBox* m_feeders = nullptr;      // Combo1
    QLineEdit* m_timeOffset = nullptr;   // Text4
    QCheckBox* m_wev = nullptr;          // Check4
    QComboBox* m_format = nullptr;       // "形式": recorder, COMTRADE, CSV
    QLineEdit* m_csvRate = nullptr;      // CSV records' rate, Hz
    QGroupBox* m_recordGroup = nullptr;  // "チャンネル割当"
    QTableWidget* m_mapTable = nullptr;
    QPushButton* m_propose = nullptr;
    QCheckBox* m_recordRatios = nullptr;
    QCheckBox* m_underOneMinute = nullptr;            // Check3
    screen::ElidedPathLabel* m_outputName = nullptr;  // Label7
    QPushButton* m_chooseName = nullptr;              // Command10
    QPushButton* m_start = nullptr;                   // Command4
    QPushButton* m_end = nullptr;                     // Command5
    QLineEdit* m_siteName = nullptr;
    std::array<QLineEdit*, kMaxFeeders> m_feederNames{};
    QLineEdit* m_oneFeederName = nullptr;
    screen::ElidedPathLabel* m_profilePath = nullptr;
    std::unique_ptr<QSettings> m_store;
};

}  // namespace waveharm
