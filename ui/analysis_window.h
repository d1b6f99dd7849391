#pragma once
// The analysis window "ＦＦＴ解析中" (Form03): shows a conversion run (run/run_controller.h)
// as it goes, one recording per event-loop turn: the texts display/ makes of the run's
// events and the latest recording's results as tables or graphs. Its buttons pause,
// resume, slow down or end the run and choose the display mode and the displayed feeder;
// what they change is held by the run, never read back from the controls.

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "display/analysis_display.h"
#include "run/run_controller.h"
#include "settings/site_profile.h"
#include "ui/run_summary.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;

namespace waveharm {

struct MeasurementSetup;
class PictureView;
class RunPacer;
class ResultsTableModel;

/// Shows a run's summary in a window of its own over `parent`: modal after "終了" (the
/// program ends when it is closed), otherwise left open beside the settings screen.
/// `setup`, when given, goes with the result files into the campaign view.
void showRunSummary(QWidget* parent, RunEnd end, const QString& text,
                    const QStringList& resultFiles = {}, const MeasurementSetup* setup = nullptr);

class AnalysisWindow : public QWidget, private ConversionObserver {
    Q_OBJECT
  public:
    /// The window's designed inner size, and the smallest at which every control is
    /// still usable and readable.
    static constexpr int kDesignWidth = 1440, kDesignHeight = 860;
    static constexpr int kMinimumWidth = 1024, kMinimumHeight = 600;

    /// Loads the window for a run over `files` with `settings` (the run starts when the
    /// window is first shown).
    AnalysisWindow(const ConversionSettings& settings, WaveformFileList files,
                   QWidget* parent = nullptr);
    ~AnalysisWindow() override;
    /// The site's limit table and contract power, carried into the campaign view.
    void setCampaignChoices(CampaignChoices choices) { m_campaign = std::move(choices); }

    DisplayMode displayMode() const { return m_displayMode; }
    /// The run this window shows and controls.
    const RunController& run() const { return *m_run; }
    /// What the graph surface shows now.
    const Picture& picture() const;
    /// The grid models, [0] odd orders and [1] even orders.
    const ResultsTableModel& gridModel(int index) const { return *m_models.at(index); }

    /// How run-stopping errors reach the user (a message box unless replaced, e.g. by
    /// tests): a title and a text naming the file and the reason.
    using ErrorReporter = std::function<void(const QString& title, const QString& text)>;
    void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }

    /// How the end-of-run summary reaches the user (`showRunSummary` unless replaced):
    /// how the run ended and the summary text.
    using SummaryReporter = std::function<void(RunEnd end, const QString& text)>;
    void setSummaryReporter(SummaryReporter reporter) { m_reportSummary = std::move(reporter); }

  Q_SIGNALS:
    /// The run ended after its last recording (or the window was closed during it): the
    /// result files are closed and the settings screen should come back.
    void runFinished();
    /// "終了" was pressed: the result files are closed and the program should end.
    void endProgramRequested();
    /// A recording was analysed and shown (its position in the file list).
    void recordingShown(int index);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Control handlers.
    void startRun();
    void endProgram();
    void togglePause();
    void selectDisplayButton(int index);
    void pressFeederButton(double x);
    void waitTextChanged(const QString& text);

    /// Ends the run as "終了" does and shows the summary of what was kept.
    void endRun();
    /// Closing the window during a run asks first; true when the run may end.
    bool confirmEnd();
    /// The run ended by itself (finished, or stopped by a fault): tells the user and
    /// closes the window.
    void runEnded();
    void reportFailure(const RunFailure& failure);
    void reportError(const QString& title, const QString& text);
    void reportSummary(RunEnd end);
    /// Shows the run's state on the start, end, pause and feeder buttons.
    void showRunState();
    void redraw();
    /// The texts of the latest steps and the latest recording, once per frame.
    void showLatest();
    void showProgress();
    void present(const RecorderFileHeader& header, const WindowWaveforms& window,
                 const HarmonicResult& result);
    void applyLayout();
    /// Pixels of a grid column designed `twips` wide.
    int columnWidth(int twips) const;

    // ConversionObserver.
    void onStage(RunStage stage) override;
    void onHeaderRead(const RecorderFileHeader& header) override;
    void onPeriodFound(const AnalysisPeriod& period) override;
    void onRecordingAnalysed(const RecordingReport& report) override;
    void onRecordingSkipped(const SkippedRecording& skipped) override;

    void buildControls();

    std::unique_ptr<RunController> m_run;
    RunPacer* m_pacer = nullptr;
    DisplayMode m_displayMode = DisplayMode::Charts;
    bool m_placed = false;
    ErrorReporter m_reportError;
    SummaryReporter m_reportSummary;
    CampaignChoices m_campaign;
    /// What the latest steps reported, shown once per frame.
    QString m_stageText, m_timeText, m_frequencyText;
    AnalysisPeriod m_latestPeriod;
    bool m_newRecording = false;

    QPushButton* m_start = nullptr;                                  // Command2
    QPushButton* m_end = nullptr;                                    // Command1
    QPushButton* m_pause = nullptr;                                  // Command5
    QPushButton* m_feeder = nullptr;                                 // Command4
    std::array<QPushButton*, kDisplayModeCount> m_displayButtons{};  // Command3
    QCheckBox* m_waitCheck = nullptr;                                // Check1
    QLineEdit* m_waitText = nullptr;                                 // Text1
    QLabel* m_waitUnit = nullptr;                                    // Label5
    std::array<QTableView*, 2> m_grids{};                            // Grid1
    std::array<ResultsTableModel*, 2> m_models{};
    PictureView* m_picture = nullptr;   // Picture1
    std::array<QLabel*, 4> m_labels{};  // Label1..Label4
    QLabel* m_progress = nullptr;       // recordings done of all, elapsed and left
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_skippedBox = nullptr;  // the recordings the run could not read
    QListWidget* m_skippedList = nullptr;
};

}  // namespace waveharm
