#pragma once
// The analysis window "ＦＦＴ解析中" (Form03): runs a conversion one recording per
// event-loop turn, shows the driver's status texts and the latest recording's results
// as tables or graphs, and lets the engineer pause, resume, slow down or end the run
// and choose the display mode and the displayed feeder.

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "display/analysis_display.h"
#include "run/conversion_driver.h"
#include "ui/run_summary.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;

namespace waveharm {

class PictureView;
class ResultsTableModel;

/// Shows a run's summary in a window of its own over `parent`: modal after "終了" (the
/// program ends when it is closed), otherwise left open beside the settings screen.
void showRunSummary(QWidget* parent, RunEnd end, const QString& text,
                    const QStringList& resultFiles = {});

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

    DisplayMode displayMode() const { return m_displayMode; }
    int displayFeeder() const { return m_displayFeeder; }
    bool isRunning() const { return m_running; }
    /// True while the pause button reads "再開".
    bool isPaused() const;
    const ConversionDriver& driver() const { return *m_driver; }
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
    /// The skipped recordings listed so far, one line each.
    QStringList skippedLines() const;

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
    void waitTimerFired();

    // The run.
    void scheduleStep();
    void runStep();
    /// Stops the step and wait timers; the run takes no further step.
    void haltStepping();
    void finishRun();
    void stopRun(const QString& title, const QString& text);
    void reportError(const QString& title, const QString& text);
    void reportSummary(RunEnd end);
    void redraw();
    void present(const RecorderFileHeader& header, const WindowWaveforms& window,
                 const HarmonicResult& result);
    void applyLayout();
    /// Pixels of a grid column designed `twips` wide.
    int columnWidth(int twips) const;

    // ConversionObserver.
    void onStatus(const std::string& text) override;
    void onTimeStamp(const std::string& text) override;
    void onFrequency(const std::string& text) override;
    void onStatusLine(const std::string& text) override;
    void onRecordingAnalysed(const RecordingReport& report) override;
    void onRecordingSkipped(int index, const std::string& fileName,
                            const std::string& reason) override;

    void buildControls();

    std::unique_ptr<ConversionDriver> m_driver;
    DisplayMode m_displayMode = DisplayMode::Charts;
    int m_displayFeeder = 0;
    bool m_running = false;
    bool m_waitingForTimer = false;
    bool m_placed = false;
    int m_shownIndex = -1;  ///< recording shown by the step in progress
    ErrorReporter m_reportError;
    SummaryReporter m_reportSummary;

    QPushButton* m_start = nullptr;                                  // Command2
    QPushButton* m_end = nullptr;                                    // Command1
    QPushButton* m_pause = nullptr;                                  // Command5
    QPushButton* m_feeder = nullptr;                                 // Command4
    std::array<QPushButton*, kDisplayModeCount> m_displayButtons{};  // Command3
    QCheckBox* m_waitCheck = nullptr;                                // Check1
    QLineEdit* m_waitText = nullptr;                                 // Text1
    QLabel* m_waitUnit = nullptr;                                    // Label5
    QTimer* m_waitTimer = nullptr;                                   // Timer1
    QTimer* m_stepTimer = nullptr;
    std::array<QTableView*, 2> m_grids{};  // Grid1
    std::array<ResultsTableModel*, 2> m_models{};
    PictureView* m_picture = nullptr;   // Picture1
    std::array<QLabel*, 4> m_labels{};  // Label1..Label4
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_skippedBox = nullptr;  // the recordings the run could not read
    QListWidget* m_skippedList = nullptr;
};

}  // namespace waveharm
