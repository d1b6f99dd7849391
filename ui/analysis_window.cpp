#include "ui/analysis_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>

#include "base/utf8_path.h"
#include "campaign/campaign_data.h"
#include "display/error_texts.h"
#include "display/run_texts.h"
#include "display/status_texts.h"
#include "output/result_writer.h"
#include "ui/campaign_view.h"
#include "ui/error_message.h"
#include "ui/picture_view.h"
#include "ui/results_table_model.h"
#include "ui/run_pacer.h"
#include "ui/window_fit.h"

namespace waveharm {

namespace {

const QString kRunning = QStringLiteral("中断");
const QString kPaused = QStringLiteral("再開");

struct DisplayButtonText {
    const char* caption;
    const char* toolTip;
};

const DisplayButtonText kDisplayButtons[kDisplayModeCount] = {
    {"グラフ", ""},
    {"数値Σ", "電圧・電流・位相差を表示します"},
    {"数値Ｖ", "三相の相別電圧を表示します。"},
    {"数値Ｉ", "三相の相別電流を表示します。"},
    {"数値Ｒ", "電圧と電流の位相差、重畳の位相差を表示します"},
    {"波形", "入力波形を表示します"},
    {"歪波形", "入力波形から基本波分を取り除いた高調波成分を表示します"},
    {"波＋歪", "入力波形と高調波成分の双方を表示します"},
    {"ﾍﾞｸﾄﾙ", "基本波と高調波の電圧・電流ベクトルを表示します"},
};

QString qs(const std::string& s) { return QString::fromStdString(s); }

int twipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

QString writeError(const OutputError& e) {
    return qs(writeErrorMessage(e.kind(), e.file(), e.systemError()));
}

}  // namespace

void showRunSummary(QWidget* parent, RunEnd end, const QString& text,
                    const QStringList& resultFiles, const MeasurementSetup* setup) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName("RunSummary");
    dialog->setWindowTitle(QStringLiteral("変換結果"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* view = new QPlainTextEdit(text, dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("閉じる"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    // After a finished or stopped run the records written so far open in the campaign
    // view; after "終了" the program ends with the dialog.
    if (end != RunEnd::Ended && !resultFiles.isEmpty()) {
        QPushButton* campaign =
            buttons->addButton(QStringLiteral("キャンペーン集計"), QDialogButtonBox::ActionRole);
        campaign->setObjectName("CampaignButton");
        std::optional<MeasurementSetup> carried;
        if (setup) carried = *setup;
        QObject::connect(campaign, &QPushButton::clicked, dialog, [resultFiles, carried] {
            showCampaignView(resultFiles, nullptr, carried ? &*carried : nullptr);
        });
    }
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog->resize(720, 420);
    if (end == RunEnd::Ended) {
        dialog->exec();
        return;
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

AnalysisWindow::AnalysisWindow(const ConversionSettings& settings, WaveformFileList files,
                               QWidget* parent)
    : QWidget(parent) {
    setObjectName("Form03");
    setWindowTitle(QStringLiteral("ＦＦＴ解析中"));
    // The run's arrays and transform tables are made here, once per showing. The screen
    // shows one recording per step; workers read and analyse the next ones meanwhile.
    const std::string folder = utf8Text(files.folder);
    m_run = std::make_unique<RunController>(settings, std::move(files),
                                            static_cast<ConversionObserver&>(*this), defaultJobs());
    m_pacer = new RunPacer(*m_run, this);
    connect(m_pacer, &RunPacer::recordingShown, this, &AnalysisWindow::recordingShown);
    connect(m_pacer, &RunPacer::runEnded, this, &AnalysisWindow::runEnded);
    connect(m_pacer, &RunPacer::frameDone, this, &AnalysisWindow::showLatest);
    // The run's setup goes with its result files into the campaign view and its report.
    m_reportSummary = [this, settings, folder](RunEnd end, const QString& text) {
        QStringList written;
        for (const std::string& f : m_run->summary().files) written << qs(f);
        MeasurementSetup setup{folder, settings, {}, m_campaign};
        for (const SkippedRecording& r : m_run->skipped())
            setup.skipped.push_back(r.fileName + "：" + r.reason);
        showRunSummary(nullptr, end, text, written, &setup);
    };
    buildControls();

    const int rows = initialGridRows(settings.maxHarmonicOrder());
    for (auto* model : m_models) model->setGrid(TableGrid(rows, 6));
    if (settings.feederCount <= 1) m_feeder->hide();
    selectDisplayButton(0);
    waitTextChanged(m_waitText->text());
    showRunState();

    setMinimumSize(kMinimumWidth, kMinimumHeight);
    placeOnScreen(*this, QSize(kDesignWidth, kDesignHeight));
}

// The run closes its files when it goes, whether or not it ended.
AnalysisWindow::~AnalysisWindow() = default;

void AnalysisWindow::buildControls() {
    QFont small = font();
    small.setPixelSize(11);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName("Frame1");
    m_frame2 = new QGroupBox(this);
    m_frame2->setObjectName("Frame2");
    auto* row1 = new QHBoxLayout(m_frame1);
    row1->setContentsMargins(2, 2, 2, 2);
    row1->setSpacing(1);
    for (int i = 0; i < kDisplayModeCount; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(kDisplayButtons[i].caption), m_frame1);
        b->setObjectName(QString("Command3_%1").arg(i));
        b->setToolTip(QString::fromUtf8(kDisplayButtons[i].toolTip));
        b->setFont(small);
        // Wide enough for the caption in bold, so no caption is ever cut.
        QFont bold = small;
        bold.setBold(true);
        b->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(b->text()) + 12);
        connect(b, &QPushButton::clicked, this, [this, i] { selectDisplayButton(i); });
        row1->addWidget(b);
        m_displayButtons[i] = b;
    }
    m_feeder = new QPushButton(qs(feederCaption(0)), m_frame1);
    m_feeder->setObjectName("Command4");
    m_feeder->setToolTip(
        QStringLiteral("表示するフィーダを切り替えます（左半分：前、右半分：次）。"));
    m_feeder->setFont(small);
    // As wide as the longest caption, named feeders included.
    int captionWidth = 0;
    for (int f = 0; f < kMaxFeeders; ++f)
        captionWidth =
            std::max(captionWidth, QFontMetrics(small).horizontalAdvance(
                                       qs(feederCaption(f, feederName(m_run->settings(), f)))));
    m_feeder->setMinimumWidth(captionWidth + 16);
    m_feeder->installEventFilter(this);
    row1->addWidget(m_feeder, 2);

    auto* row2 = new QHBoxLayout(m_frame2);
    row2->setContentsMargins(4, 4, 4, 4);
    m_start = new QPushButton(QStringLiteral("開始"), m_frame2);
    m_start->setObjectName("Command2");
    m_end = new QPushButton(QStringLiteral("終了"), m_frame2);
    m_end->setObjectName("Command1");
    m_end->setToolTip(QStringLiteral("測定を強制的に終了します"));
    m_end->hide();
    m_pause = new QPushButton(m_frame2);
    m_pause->setObjectName("Command5");
    m_waitCheck = new QCheckBox(QStringLiteral("ウエイト"), m_frame2);
    m_waitCheck->setObjectName("Check1");
    m_waitText = new QLineEdit(QStringLiteral("1"), m_frame2);
    m_waitText->setObjectName("Text1");
    m_waitText->setMaximumWidth(40);
    m_waitUnit = new QLabel(QStringLiteral("s"), m_frame2);
    m_waitUnit->setObjectName("Label5");
    for (QWidget* w : std::initializer_list<QWidget*>{m_start, m_end, m_pause, m_waitCheck,
                                                      m_waitText, m_waitUnit}) {
        w->setFont(small);
        row2->addWidget(w);
    }
    connect(m_start, &QPushButton::clicked, this, &AnalysisWindow::startRun);
    connect(m_end, &QPushButton::clicked, this, &AnalysisWindow::endProgram);
    connect(m_pause, &QPushButton::clicked, this, &AnalysisWindow::togglePause);
    connect(m_waitText, &QLineEdit::textChanged, this, &AnalysisWindow::waitTextChanged);
    connect(m_waitCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_run->setWait(on);
        m_pacer->reschedule();
    });

    m_picture = new PictureView(this);
    m_picture->setObjectName("Picture1");
    for (int i = 0; i < 2; ++i) {
        m_models[i] = new ResultsTableModel(this);
        auto* view = new ResultsGridView(this);
        view->setObjectName(QString("Grid1_%1").arg(i));
        view->setModel(m_models[i]);
        view->verticalHeader()->setDefaultSectionSize(16);
        view->horizontalHeader()->setFixedHeight(18);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setFont(small);
        view->hide();
        m_grids[i] = view;
    }
    m_skippedBox = new QGroupBox(this);
    m_skippedBox->setObjectName("SkippedFiles");
    m_skippedBox->setFont(small);
    auto* skippedLayout = new QVBoxLayout(m_skippedBox);
    skippedLayout->setContentsMargins(2, 2, 2, 2);
    m_skippedList = new QListWidget(m_skippedBox);
    m_skippedList->setObjectName("SkippedList");
    m_skippedList->setFont(small);
    skippedLayout->addWidget(m_skippedList);
    m_skippedBox->hide();
    for (int i = 0; i < 4; ++i) {
        m_labels[i] = new QLabel(this);
        m_labels[i]->setObjectName(QString("Label%1").arg(i + 1));
        m_labels[i]->setFont(small);
    }
    m_progress = new QLabel(this);
    m_progress->setObjectName("Progress");
    m_progress->setFont(small);
}

int AnalysisWindow::columnWidth(int twips) const {
    // Twips at the screen's resolution, widened in proportion when the grid font needs
    // more room for "00000.0V", so that no value is cut short.
    const QFontMetrics metrics(m_grids[0]->font());
    const int needed = metrics.horizontalAdvance(QStringLiteral("00000.0V")) + 6;
    const int atDpi = twipsToPixels(kValueColumnTwips, logicalDpiX());
    const int valueWidth = std::max(atDpi, needed);
    return (twips * valueWidth + kValueColumnTwips / 2) / kValueColumnTwips;
}

const Picture& AnalysisWindow::picture() const { return m_picture->picture(); }

// ---- controls --------------------------------------------------------------------------

void AnalysisWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        // Once the window manager has framed the window, its frame is known: place again
        // so that the title bar is on the screen and the frame fits.
        m_placed = true;
        QTimer::singleShot(150, this, [this] {
            if (isWindow()) placeOnScreen(*this, QSize(kDesignWidth, kDesignHeight));
        });
    }
    // The run starts as soon as the window is shown.
    if (m_run->state() == RunState::Ready) QTimer::singleShot(0, this, &AnalysisWindow::startRun);
}

void AnalysisWindow::startRun() {
    if (m_run->state() != RunState::Ready) return;
    m_run->start();
    showRunState();
    if (m_run->state() == RunState::Ended) {
        runEnded();
        return;
    }
    m_pacer->reschedule();
}

void AnalysisWindow::endProgram() {
    endRun();
    close();
}

void AnalysisWindow::endRun() {
    const bool underway = m_run->underway();
    m_run->end();
    m_pacer->reschedule();
    showProgress();
    if (underway) reportSummary(RunEnd::Ended);
    Q_EMIT endProgramRequested();
}

bool AnalysisWindow::confirmEnd() {
    // The run is held while the question is open, so that it does not go on unseen.
    const bool wasPaused = m_run->paused();
    m_run->setPaused(true);
    m_pacer->reschedule();
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    QStringLiteral("解析を終了しますか？\n"
                                   "「終了」と同じく、ここまでのレコードを保存して終わります。"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName("EndQuestion");
    box.button(QMessageBox::Yes)->setText(QStringLiteral("終了"));
    box.button(QMessageBox::Yes)->setObjectName("EndYes");
    box.button(QMessageBox::No)->setText(QStringLiteral("続ける"));
    box.button(QMessageBox::No)->setObjectName("EndNo");
    box.setDefaultButton(QMessageBox::No);
    const bool end = box.exec() == QMessageBox::Yes;
    if (!end) {
        m_run->setPaused(wasPaused);
        showRunState();
        showProgress();
        m_pacer->reschedule();
    }
    return end;
}

void AnalysisWindow::togglePause() {
    m_run->setPaused(!m_run->paused());
    showRunState();
    showProgress();
    m_pacer->reschedule();
}

void AnalysisWindow::showRunState() {
    const RunState state = m_run->state();
    m_start->setVisible(state == RunState::Ready);
    m_end->setVisible(state != RunState::Ready);
    m_pause->setText(m_run->paused() ? kPaused : kRunning);
    const int shown = m_run->shownFeeder();
    m_feeder->setText(qs(feederCaption(shown, feederName(m_run->settings(), shown))));
}

void AnalysisWindow::selectDisplayButton(int index) {
    m_displayMode = displayModeOfButton(index);
    for (auto* b : m_displayButtons) {
        QFont f = b->font();
        f.setBold(false);
        b->setFont(f);
        b->setDefault(false);
    }
    QFont f = m_displayButtons[index]->font();
    f.setBold(true);
    m_displayButtons[index]->setFont(f);
    m_displayButtons[index]->setDefault(true);
    redraw();
}

void AnalysisWindow::pressFeederButton(double x) {
    m_run->setShownFeeder(
        feederAfterPress(m_run->shownFeeder(), m_run->feederCount(), x, m_feeder->width()));
    showRunState();
    // The status line reads the shown feeder's currents, also while the run is held.
    const ConversionDriver& driver = m_run->driver();
    if (driver.hasResult())
        m_labels[0]->setText(
            qs(statusLineText(driver.latestResult(), m_run->shownFeeder(), m_latestPeriod)));
    redraw();
}

bool AnalysisWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_feeder && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) pressFeederButton(mouse->position().x());
    }
    return QWidget::eventFilter(watched, event);
}

void AnalysisWindow::waitTextChanged(const QString& text) {
    m_run->setWaitInterval(std::chrono::milliseconds(waitIntervalMs(text.toStdString())));
    m_pacer->reschedule();
}

// ---- the end of the run ----------------------------------------------------------------

void AnalysisWindow::runEnded() {
    showLatest();  // the last frame's recordings
    showRunState();
    if (const auto& failure = m_run->failure()) reportFailure(*failure);
    // The settings screen comes back first, so that the summary stands over it.
    Q_EMIT runFinished();
    // A run that opened its files tells what it wrote.
    const RunEnd end = m_run->endReason().value_or(RunEnd::Stopped);
    if (end == RunEnd::Finished || !m_run->summary().files.empty()) reportSummary(end);
    close();
}

void AnalysisWindow::reportFailure(const RunFailure& failure) {
    QString text;
    try {
        std::rethrow_exception(failure.error);
    } catch (const OutputError& e) {
        text = writeError(e);
    } catch (const std::exception& e) {
        text = QStringLiteral("変換を中止しました。\n%1").arg(errorMessage(e));
    } catch (...) {
        text = QStringLiteral("変換を中止しました。");
    }
    switch (failure.fault) {
        case RunFault::OpeningFiles:
            reportError(QStringLiteral("ファイルエラー"), text);
            return;
        case RunFault::Writing:
            reportError(QStringLiteral("書き込みエラー"), text);
            return;
        case RunFault::Analysing:
            reportError(QStringLiteral("変換エラー"), text);
            return;
    }
}

void AnalysisWindow::reportError(const QString& title, const QString& text) {
    if (m_reportError) {
        m_reportError(title, text);
    } else {
        QMessageBox::critical(this, title, text);
    }
}

void AnalysisWindow::reportSummary(RunEnd end) {
    std::optional<RunFault> fault;
    if (m_run->failure()) fault = m_run->failure()->fault;
    if (m_reportSummary) m_reportSummary(end, qs(runSummaryText(m_run->summary(), end, fault)));
}

void AnalysisWindow::closeEvent(QCloseEvent* event) {
    if (m_run->underway()) {
        // Closing the window (×, Alt+F4) during a run is "終了" after a question.
        if (!confirmEnd()) {
            event->ignore();
            return;
        }
        endRun();
    }
    event->accept();
}

void AnalysisWindow::redraw() {
    const ConversionDriver& driver = m_run->driver();
    if (!driver.hasResult()) return;
    present(driver.latestRecording().header, driver.latestWindow(), driver.latestResult());
}

void AnalysisWindow::present(const RecorderFileHeader& header, const WindowWaveforms& window,
                             const HarmonicResult& result) {
    // Nothing is shown before the first recording with a fundamental voltage.
    if (result.voltageRms.size() < 2 || !(result.voltageRms[1] > 0)) return;
    const GraphInputs in{m_run->settings(), header, window, result, m_run->shownFeeder()};
    AnalysisDisplay display = showResults(m_displayMode, in);
    if (!display.showsGrids) {
        for (auto* g : m_grids) g->hide();
        m_picture->setPicture(std::move(display.picture));
        m_picture->show();
        return;
    }
    m_picture->setPicture({});
    m_picture->hide();
    for (int i = 0; i < 2; ++i) {
        m_grids[i]->hide();  // filled while hidden
        m_models[i]->setGrid(std::move(display.grids[i]));
        // Column 0 of the grid is the side header, the others the view's columns.
        m_grids[i]->verticalHeader()->setFixedWidth(columnWidth(kOrderColumnTwips));
        for (int c = 0; c < m_models[i]->columnCount(); ++c) {
            m_grids[i]->setColumnWidth(c, columnWidth(kValueColumnTwips));
        }
        m_grids[i]->show();
    }
}

void AnalysisWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyLayout();
}

void AnalysisWindow::applyLayout() {
    const int dpiX = logicalDpiX(), dpiY = logicalDpiY();
    const QRect outer = frameGeometry();
    const auto layout = analysisLayout(outer.width() * 1440 / dpiX, outer.height() * 1440 / dpiY,
                                       width(), height());
    if (!layout) return;
    const int w = width(), h = height();
    // While recordings are skipped their list takes a band above the controls.
    const int band = m_skippedBox->isHidden() ? 0 : 66;
    m_labels[0]->setGeometry(2, 2, w - 4, 18);
    m_picture->setGeometry(2, 22, layout->pictureWidth, layout->pictureHeight - band);
    // Each grid is as wide as its six columns and its scroll bar.
    const int gridWidth = columnWidth(kOrderColumnTwips) + 5 * columnWidth(kValueColumnTwips) + 20;
    const int besideGrids = 2 * gridWidth + 8;
    const int frame2Width = m_frame2->sizeHint().width();
    // The controls sit along the bottom edge to the right of the grids when the button
    // bar has its full width there; on a narrower window they take the whole bottom edge
    // and the grids end above them.
    const bool beside = w - besideGrids - frame2Width - 6 >= m_frame1->sizeHint().width();
    const int left = beside ? besideGrids : 2;
    const int gridHeight = band > 0 || !beside ? layout->pictureHeight - band : layout->gridHeight;
    for (int i = 0; i < 2; ++i) {
        m_grids[i]->setGeometry(2 + i * (gridWidth + 2), 22, gridWidth, gridHeight);
    }
    m_skippedBox->setGeometry(2, h - 52 - band, w - 4, band - 2);
    const int labelHeight = m_labels[1]->fontMetrics().height();
    const int labelTop = std::min(layout->labelTop, layout->frame1Top - labelHeight);
    m_labels[1]->setGeometry(left, labelTop, 110, labelHeight);
    m_labels[2]->setGeometry(left + 112, labelTop, 170, labelHeight);
    m_labels[3]->setGeometry(left + 284, labelTop, 170, labelHeight);
    m_progress->setGeometry(left + 456, labelTop, std::max(100, w - frame2Width - left - 462),
                            labelHeight);
    m_frame2->setGeometry(w - frame2Width - 2, layout->frame2Top, frame2Width, 47);
    m_frame1->setGeometry(left, layout->frame1Top, std::max(100, w - frame2Width - left - 6), 35);
}

// ---- what the driver reports -----------------------------------------------------------

// The steps of a frame only note what they report; the frame shows the latest.
void AnalysisWindow::onStage(RunStage stage) { m_stageText = QString::fromUtf8(stageText(stage)); }

void AnalysisWindow::onHeaderRead(const RecorderFileHeader& header) {
    m_timeText = qs(startTimeText(header));
}

void AnalysisWindow::onPeriodFound(const AnalysisPeriod& period) {
    m_frequencyText = qs(frequencyText(period));
}

void AnalysisWindow::onRecordingAnalysed(const RecordingReport& report) {
    // The status line and the frequency label show the same recording's period.
    m_latestPeriod = report.period;
    m_frequencyText = qs(frequencyText(report.period));
    m_newRecording = true;
}

void AnalysisWindow::showLatest() {
    m_labels[2]->setText(m_timeText);
    m_labels[3]->setText(m_frequencyText);
    if (m_newRecording) {
        m_newRecording = false;
        const HarmonicResult& result = m_run->driver().latestResult();
        m_labels[0]->setText(qs(statusLineText(result, m_run->shownFeeder(), m_latestPeriod)));
        redraw();
    }
    showProgress();
}

void AnalysisWindow::showProgress() {
    const bool held = m_run->state() == RunState::Paused;
    m_labels[1]->setText(held ? QString::fromUtf8(kPausedText) : m_stageText);
    m_progress->setText(qs(progressText(m_run->processedCount(), m_run->recordingCount(),
                                        m_run->activeTime(), m_run->timeLeft(), held)));
}

void AnalysisWindow::onRecordingSkipped(const SkippedRecording& skipped) {
    auto* item = new QListWidgetItem(qs(skippedRecordingText(skipped)), m_skippedList);
    item->setToolTip(qs(skipped.reason));
    m_skippedList->scrollToBottom();
    // The run has listed the recording already: its count is the list's.
    m_skippedBox->setTitle(QStringLiteral("読み込めなかったファイル（%1 件）")
                               .arg(static_cast<qulonglong>(m_run->skipped().size())));
    m_stageText = QStringLiteral("読込不可：%1").arg(qs(skipped.fileName));
    if (m_skippedBox->isHidden()) {
        m_skippedBox->show();
        applyLayout();
    }
}

}  // namespace waveharm
