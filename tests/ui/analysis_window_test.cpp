// The analysis window driven as a user drives it: the run starts when the window
// appears, the buttons pause, resume, slow down and end it, and the result files come
// out byte for byte as the headless conversion writes them.

#include "ui/analysis_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "display/error_texts.h"
#include "display/number_format.h"
#include "input/recording_writer.h"
#include "output/result_writer.h"
#include "support/cli_runner.h"
#include "ui/analysis_launch.h"
#include "ui/picture_view.h"
#include "ui/results_table_model.h"
#include "ui/settings_screen.h"
#include "ui/window_fit.h"
#include "ui_test_support.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class NullObserver : public ConversionObserver {};

class AnalysisWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApplication();
        m_dir = freshTestFolder("waveharm_ui_");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    /// Demo recordings of `feeders` feeders and the settings of a three-phase 2M run.
    void makeCampaign(int feeders, int count) {
        writeDemoRecordings(m_dir / "rec", feeders, count);
        m_files = scanFolder(m_dir / "rec", false);
        ASSERT_EQ(m_files.count(), count);
        m_settings.measurementType = MeasurementType::ThreePhase2M;
        m_settings.setFeederCount(feeders);
        m_settings.setHarmonicOption(HarmonicOption::Odd1To49);
        for (int f = 0; f < feeders; ++f) {
            m_settings.ctRatio[f] = 100.0f * (f + 1);
            m_settings.currentSenseOhms[f] = clampRangeToSenseOhms(2);
        }
        m_settings.outputFileName =
            outputFileNameFor((m_dir / "gui.dat").string(), m_settings.outputExtension());
    }

    std::unique_ptr<AnalysisWindow> makeWindow() {
        auto w = std::make_unique<AnalysisWindow>(m_settings, m_files);
        QObject::connect(w.get(), &AnalysisWindow::runFinished, [this] { ++m_finished; });
        QObject::connect(w.get(), &AnalysisWindow::endProgramRequested, [this] { ++m_ended; });
        QObject::connect(w.get(), &AnalysisWindow::recordingShown,
                         [this](int index) { m_shown.push_back(index); });
        w->setErrorReporter([this](const QString&, const QString& text) {
            m_errors.push_back(text.toStdString());
        });
        w->setSummaryReporter(
            [this](RunEnd, const QString& text) { m_summaries.push_back(text.toStdString()); });
        return w;
    }

    template <class T = QPushButton>
    /// The named control; a missing one ends the test as a failure (the exception is
    /// reported by the test runner) instead of crashing it.
    static T* child(AnalysisWindow& w, const char* name) {
        return testing::child<T>(w, name);
    }

    /// A press on the feeder button's right (+) or left (−) part.
    static void pressFeeder(AnalysisWindow& w, bool next) {
        auto* b = child(w, "Command4");
        const int x = next ? b->width() - 3 : 3;
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(x, b->height() / 2));
    }

    fs::path m_dir;
    WaveformFileList m_files;
    ConversionSettings m_settings;
    int m_finished = 0;
    int m_ended = 0;
    std::vector<int> m_shown;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_summaries;
};

TEST_F(AnalysisWindowTest, LoadSetsUpTheControls) {
    makeCampaign(1, 1);
    auto w = makeWindow();
    EXPECT_EQ(w->displayMode(), DisplayMode::Charts);
    EXPECT_TRUE(child(*w, "Command3_0")->font().bold());
    EXPECT_FALSE(child(*w, "Command3_1")->font().bold());
    EXPECT_TRUE(child(*w, "Command4")->isHidden());  // one feeder
    EXPECT_EQ(w->gridModel(0).grid().rows(), 51);
    EXPECT_EQ(w->gridModel(1).grid().rows(), 51);

    // The wait option and its period from the text box.
    EXPECT_FALSE(w->run().waits());
    EXPECT_EQ(w->run().waitInterval().count(), 1000);
    child<QCheckBox>(*w, "Check1")->setChecked(true);
    EXPECT_TRUE(w->run().waits());
    auto* text = child<QLineEdit>(*w, "Text1");
    text->setText("0.5");
    EXPECT_EQ(w->run().waitInterval().count(), 500);
    text->setText("abc");
    EXPECT_EQ(w->run().waitInterval().count(), 0);

    // Before the first recording the display buttons change the mode but draw nothing.
    QTest::mouseClick(child(*w, "Command3_5"), Qt::LeftButton);
    EXPECT_EQ(w->displayMode(), DisplayMode::Waveforms);
    EXPECT_TRUE(child(*w, "Command3_5")->font().bold());
    EXPECT_FALSE(child(*w, "Command3_0")->font().bold());
    EXPECT_TRUE(w->picture().empty());
}

// On the smallest window every button of the bar stays inside the window, apart from
// the others and wide enough for its caption (a display button's in bold, as when it is
// selected); the
// graph surface scales with the window and stays clear of the bar.
TEST_F(AnalysisWindowTest, TheButtonBarStaysUsableAtTheMinimumSize) {
    EXPECT_EQ(fittedSize({1440, 860}, {1024, 600}, {1920, 1050}, {4, 28, 4, 4}), QSize(1440, 860));
    EXPECT_EQ(fittedSize({1440, 860}, {1024, 600}, {1366, 740}, {4, 28, 4, 4}), QSize(1358, 708));
    EXPECT_EQ(fittedSize({1440, 860}, {1024, 600}, {800, 500}, {4, 28, 4, 4}), QSize(1024, 600));

    makeCampaign(3, 1);
    auto w = makeWindow();
    w->setSummaryReporter([](RunEnd, const QString&) {});
    // Held from the start: a run of one recording would end within one frame.
    QTest::mouseClick(child(*w, "Command5"), Qt::LeftButton);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTest::qWait(300);  // placed on the screen again once framed
    w->resize(AnalysisWindow::kMinimumWidth - 100, AnalysisWindow::kMinimumHeight - 100);
    QTest::qWait(50);  // the bar laid out
    ASSERT_EQ(w->size(), QSize(1024, 600));
    const QRect window = w->rect();
    std::vector<std::pair<QAbstractButton*, QRect>> buttons;
    for (auto* b : w->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(w.get()) || qobject_cast<QTableView*>(b->parentWidget())) continue;
        const QRect r(b->mapTo(w.get(), QPoint(0, 0)), b->size());
        EXPECT_TRUE(window.contains(r)) << b->objectName().toStdString();
        QStyleOptionButton option;
        option.initFrom(b);
        const auto contents = qobject_cast<QCheckBox*>(b) ? QStyle::SE_CheckBoxContents
                                                          : QStyle::SE_PushButtonContents;
        const int room = b->style()->subElementRect(contents, &option, b).width();
        QFont shown = b->font();
        shown.setBold(b->objectName().startsWith("Command3_"));  // a display button
        const int needed = QFontMetrics(shown).horizontalAdvance(b->text());
        EXPECT_LE(needed, room) << b->objectName().toStdString();
        for (const auto& [other, rect] : buttons)
            EXPECT_FALSE(r.intersects(rect)) << b->objectName().toStdString() << " overlaps "
                                             << other->objectName().toStdString();
        buttons.emplace_back(b, r);
    }
    EXPECT_EQ(buttons.size(), 13u);  // nine display buttons, feeder, 終了, 中断, ウエイト

    auto* picture = child<PictureView>(*w, "Picture1");
    auto* bar = child<QWidget>(*w, "Frame1");
    EXPECT_EQ(picture->width(), 1024 - 4);
    EXPECT_LE(picture->geometry().bottom(), bar->geometry().top());
    QTest::mouseClick(child(*w, "Command1"), Qt::LeftButton);
}

TEST_F(AnalysisWindowTest, FeederButtonWrapsWithThreeFeeders) {
    makeCampaign(3, 1);
    auto w = makeWindow();
    auto* b = child(*w, "Command4");
    EXPECT_FALSE(b->isHidden());
    std::vector<QString> captions;
    for (int i = 0; i < 3; ++i) {
        pressFeeder(*w, true);
        captions.push_back(b->text());
    }
    EXPECT_EQ(captions, (std::vector<QString>{"- フィーダ2 +", "- フィーダ3 +", "- フィーダ1 +"}));
    pressFeeder(*w, false);
    EXPECT_EQ(b->text(), QStringLiteral("- フィーダ3 +"));
    EXPECT_EQ(w->run().shownFeeder(), 2);
}

TEST_F(AnalysisWindowTest, PauseHoldsBeforeTheNextRecordingAndResumeContinues) {
    makeCampaign(2, 4);
    auto w = makeWindow();
    auto* pause = child(*w, "Command5");
    QObject::connect(w.get(), &AnalysisWindow::recordingShown, [&](int index) {
        if (index == 0) QTest::mouseClick(pause, Qt::LeftButton);
    });
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_shown.empty(); }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(pause->text(), QStringLiteral("再開"));
    // Held: the status and the progress say so.
    EXPECT_EQ(child<QLabel>(*w, "Label2")->text(), QStringLiteral("中断中"));
    EXPECT_TRUE(child<QLabel>(*w, "Progress")->text().startsWith(QStringLiteral("1 / 4 件　経過")));
    EXPECT_TRUE(child<QLabel>(*w, "Progress")->text().endsWith(QStringLiteral("中断中")));
    EXPECT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(w->run().processedCount(), 1);
    EXPECT_EQ(w->run().state(), RunState::Paused);
    EXPECT_TRUE(child(*w, "Command2")->isHidden());

    // The display buttons still work while paused and redraw the held recording.
    QTest::mouseClick(child(*w, "Command3_1"), Qt::LeftButton);
    EXPECT_TRUE(child<QTableView>(*w, "Grid1_0")->isVisible());
    // The order column is the grid's side header, which stays in place while it scrolls.
    EXPECT_EQ(w->gridModel(1).headerData(49, Qt::Vertical).toString(), QStringLiteral("総合"));
    EXPECT_TRUE(child<QTableView>(*w, "Grid1_1")->verticalHeader()->isVisible());
    // The status line follows the feeder shown, also while the run is held.
    const QString firstFeeder = child<QLabel>(*w, "Label1")->text();
    pressFeeder(*w, true);
    EXPECT_NE(child<QLabel>(*w, "Label1")->text(), firstFeeder);
    pressFeeder(*w, true);
    EXPECT_EQ(child<QLabel>(*w, "Label1")->text(), firstFeeder);

    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(pause->text(), QStringLiteral("中断"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_finished > 0; }, 20000));
    EXPECT_EQ(m_shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(AnalysisWindowTest, EndClosesTheFilesWithTheRecordsWrittenSoFar) {
    makeCampaign(1, 9);
    auto w = makeWindow();
    QObject::connect(w.get(), &AnalysisWindow::recordingShown, [&](int index) {
        if (index == 6) QTest::mouseClick(child(*w, "Command1"), Qt::LeftButton);
    });
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_ended > 0; }, 20000));
    QTest::qWait(100);
    EXPECT_EQ(m_finished, 0);
    EXPECT_EQ(w->run().endReason(), RunEnd::Ended);
    EXPECT_EQ(w->run().processedCount(), 7);
    const int records = w->run().summary().recordsWritten;
    EXPECT_GE(records, 1);
    const auto size = fs::file_size(m_settings.outputFileName);
    EXPECT_EQ(size, static_cast<std::uintmax_t>(records) *
                        recordLength(m_settings.harmonicOption(), m_settings.feederCount));
}

// Closing the window during a run asks first; "続ける" goes on, "終了" ends the run as the
// end button does, with the summary of what was kept.
TEST_F(AnalysisWindowTest, ClosingDuringARunAsksAndEndsAsTheEndButton) {
    makeCampaign(1, 9);
    auto w = makeWindow();
    child<QCheckBox>(*w, "Check1")->click();  // one recording a second: the run stays underway
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_shown.empty(); }, 10000));
    answerDialog("EndQuestion", "EndNo");
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->run().underway());
    EXPECT_EQ(w->run().state(), RunState::Running);
    answerDialog("EndQuestion", "EndYes");
    EXPECT_TRUE(w->close());
    EXPECT_EQ(w->run().endReason(), RunEnd::Ended);
    EXPECT_EQ(m_ended, 1);
    ASSERT_EQ(m_summaries.size(), 1u);
    EXPECT_NE(m_summaries[0].find("利用者の操作"), std::string::npos) << m_summaries[0];
    EXPECT_NE(m_summaries[0].find("結果は途中までです"), std::string::npos) << m_summaries[0];
    EXPECT_EQ(m_summaries[0].find("書き込めない"), std::string::npos) << m_summaries[0];
}

TEST_F(AnalysisWindowTest, AResultFileThatCannotBeOpenedStopsTheRun) {
    makeCampaign(1, 2);
    m_settings.outputFileName = (m_dir / "missing" / "gui.hn1").string();
    auto w = makeWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_finished > 0; }, 10000));
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("gui.hn1"), std::string::npos) << m_errors[0];
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(w->run().endReason(), RunEnd::Stopped);
}

// Every skipped recording stays listed while the run goes on, and the summary names each
// with its reason in Japanese.
TEST_F(AnalysisWindowTest, SkippedRecordingsStayListedAndReachTheSummary) {
    makeCampaign(1, 4);
    for (int i : {1, 2}) fs::resize_file(m_files.pathOf(i), 30 * i);  // cut short after the scan
    auto w = makeWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_finished > 0; }, 20000));
    const auto* list = child<QListWidget>(*w, "SkippedList");
    ASSERT_EQ(list->count(), 2);
    ASSERT_EQ(m_summaries.size(), 1u);
    for (int i = 0; i < 2; ++i) {
        const std::string line = list->item(i)->text().toStdString();
        EXPECT_EQ(line.rfind(m_files.names[i + 1] + "：", 0), 0u) << line;
        EXPECT_NE(line.find(errorKindText(ErrorKind::FileTooShort)), std::string::npos) << line;
        EXPECT_NE(m_summaries[0].find("　" + line + "\n"), std::string::npos) << m_summaries[0];
    }
    EXPECT_NE(m_summaries[0].find("解析した記録：2 件"), std::string::npos) << m_summaries[0];
}

/// Runs the driver without a screen over the same recordings and settings.
std::vector<std::string> convertHeadless(ConversionSettings settings, WaveformFileList files,
                                         const fs::path& name) {
    settings.outputFileName = outputFileNameFor(name.string(), settings.outputExtension());
    NullObserver observer;
    ConversionDriver driver(settings, std::move(files), observer);
    driver.start();
    while (driver.step()) {
    }
    driver.finish();
    return driver.summary().files;
}

TEST_F(AnalysisWindowTest, TheWholeRunWritesTheSameFilesAsTheHeadlessConversion) {
    makeCampaign(3, 8);
    auto w = makeWindow();
    int clicks = 0;
    QObject::connect(w.get(), &AnalysisWindow::recordingShown, [&](int index) {
        // Every display mode and a change of feeder while the run goes on.
        if (index >= 1 && clicks < 9) {
            const auto name = QString("Command3_%1").arg(clicks++);
            QTest::mouseClick(w->findChild<QPushButton*>(name), Qt::LeftButton);
        }
        if (index == 3) pressFeeder(*w, true);
    });
    w->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_finished > 0; }, 60000));
    EXPECT_EQ(m_shown.size(), 8u);
    EXPECT_EQ(w->run().shownFeeder(), 1);
    EXPECT_TRUE(m_errors.empty());
    EXPECT_FALSE(w->isVisible());
    // The status line names the fundamental current of the feeder shown, ch2.
    const HarmonicResult& last = w->run().driver().latestResult();
    const std::string current = "V; " + formatNumber(last.currentRms(1, 1), "###0.00") + "A; ";
    EXPECT_NE(child<QLabel>(*w, "Label1")->text().toStdString().find(current), std::string::npos);
    EXPECT_TRUE(child<QLabel>(*w, "Label4")->text().startsWith(QStringLiteral("基本周波数")));

    const auto reference = convertHeadless(m_settings, m_files, m_dir / "headless.dat");
    const auto gui = w->run().summary().files;
    ASSERT_EQ(gui.size(), reference.size());
    for (std::size_t i = 0; i < gui.size(); ++i) {
        const std::string a = readBytes(gui[i]), b = readBytes(reference[i]);
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == b) << gui[i] << " differs from " << reference[i];
    }

#ifdef WAVEHARM_CLI
    // The batch converter with the same choices writes the same bytes.
    const fs::path cliName = m_dir / "cli.dat";
    const CliResult run =
        runCli({"convert", (m_dir / "rec").string(), "--output", cliName.string(), "--type", "3p2m",
                "--feeders", "3", "--harmonics", "odd49", "--ct", "100,200,300"});
    ASSERT_EQ(run.status, 0) << run.output;
    const fs::path cliFile = outputFileNameFor(cliName.string(), m_settings.outputExtension());
    ASSERT_TRUE(fs::exists(cliFile)) << "the batch converter wrote no " << cliFile;
    EXPECT_TRUE(readBytes(cliFile) == readBytes(gui[0]));
#endif
}

TEST_F(AnalysisWindowTest, FromTheSettingsScreenToFinishedResultFiles) {
    writeDemoRecordings(m_dir / "rec", 2, 5);
    SettingsScreen screen(
        SettingsScreen::Options{"", false, QString::fromStdString((m_dir / "store.ini").string())});
    screen.setMessageReporter([](const QString&, const QString&) {});
    screen.setInputFolder(QString::fromStdString((m_dir / "rec").string()));
    const std::string name = (m_dir / "run.dat").string();
    screen.setFileNameChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString(name); });
    screen.findChild<QPushButton*>("Command10")->click();  // "ファイル名設定"
    screen.setWiringCheckPresenter(
        [](const ConversionSettings&, const Recording&, QWidget*) { return true; });

    QPointer<AnalysisWindow> window;
    ConversionSettings runSettings;
    std::vector<std::string> written;
    screen.setRunLauncher([&](SettingsScreen& s) {
        runSettings = s.settings();
        window = launchAnalysisWindow(s);
        QObject::connect(window, &AnalysisWindow::recordingShown, [&](int index) {
            if (index == 1)
                QTest::mouseClick(window->findChild<QPushButton*>("Command3_2"), Qt::LeftButton);
        });
        QObject::connect(window, &AnalysisWindow::runFinished,
                         [&] { written = window->run().summary().files; });
    });
    screen.show();
    screen.findChild<QPushButton*>("Command4")->click();  // "データ変換開始"
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(screen.isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 30000));
    EXPECT_TRUE(screen.isVisible());
    ASSERT_EQ(written.size(), 1u);
    const auto reference =
        convertHeadless(runSettings, scanFolder(m_dir / "rec", false), m_dir / "headless.dat");
    ASSERT_EQ(reference.size(), 1u);
    EXPECT_FALSE(readBytes(written[0]).empty());
    EXPECT_TRUE(readBytes(written[0]) == readBytes(reference[0]));

    // A new run can be started from the settings screen that came back.
    const auto firstRun = readBytes(written[0]);
    fs::remove(written[0]);
    screen.findChild<QPushButton*>("Command4")->click();
    ASSERT_FALSE(window.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 30000));
    EXPECT_TRUE(readBytes(written[0]) == firstRun);
}

// The summary of a finished run offers its result files to the campaign view; after
// "終了" the program ends with the summary, so it offers nothing.
TEST(RunSummaryDialog, OffersTheCampaignViewUnlessTheProgramEnds) {
    testing::ensureApplication();
    const auto summaries = [] {
        QList<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "RunSummary" && w->isVisible()) found << w;
        return found;
    };
    for (QWidget* w : summaries()) w->close();  // left open by earlier runs
    showRunSummary(nullptr, RunEnd::Finished, "ok", {"/tmp/x.hm1"});
    ASSERT_EQ(summaries().size(), 1);
    QWidget* dialog = summaries().front();
    EXPECT_NE(dialog->findChild<QPushButton*>("CampaignButton"), nullptr);
    dialog->close();
    QTimer::singleShot(0, [&] {
        for (QWidget* w : summaries()) {
            EXPECT_EQ(w->findChild<QPushButton*>("CampaignButton"), nullptr);
            w->close();
        }
    });
    showRunSummary(nullptr, RunEnd::Ended, "ended", {"/tmp/x.hm1"});
}

}  // namespace
}  // namespace waveharm
