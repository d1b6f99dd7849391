// The settings screen driven through its widgets: channel exchange, restored box
// values, copy-down, the shunt/clamp pair, feeder counts, phase correction, the file
// name and extension, and the start of a run through the wiring check.

#include "ui/settings_screen.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "input/recording_writer.h"
#include "settings/interpolation_loss.h"
#include "ui/wiring_check_dialog.h"
#include "ui_test_support.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

class SettingsScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApplication();
        m_dir = freshTestFolder("waveharm_form01_");
    }
    void TearDown() override {
        m_screen.reset();
        fs::remove_all(m_dir);
    }

    /// A screen on a folder of demo recordings of `feeders` feeders.
    SettingsScreen& open(int feeders, int count = 3) {
        writeDemoRecordings(m_dir / "rec", feeders, count);
        m_screen = std::make_unique<SettingsScreen>(options());
        m_screen->setMessageReporter(
            [this](const QString&, const QString& text) { m_messages << text; });
        m_screen->setInputFolder(QString::fromStdString((m_dir / "rec").string()));
        return *m_screen;
    }

    template <class T>
    T* child(const QString& name) {
        return testing::child<T>(*m_screen, name);
    }
    void click(const QString& name) {
        QAbstractButton* b = child<QAbstractButton>(name);
        ASSERT_TRUE(b->isEnabled()) << name.toStdString();
        b->click();
    }
    /// Types into a box and leaves it.
    void enter(const QString& name, const QString& text) {
        QLineEdit* e = child<QLineEdit>(name);
        e->setText(text);
        Q_EMIT e->editingFinished();
    }
    void chooseFeeders(int n) {
        QComboBox* combo = child<QComboBox>("Combo1");
        ASSERT_GE(combo->count(), n);
        combo->setCurrentIndex(n - 1);
        Q_EMIT combo->activated(n - 1);
    }
    const ConversionSettings& settings() const { return m_screen->settings(); }
    /// No start-up message; folders and profile remembered in the test's own store.
    SettingsScreen::Options options(const QString& startFolder = {}) const {
        return {startFolder, false, QString::fromStdString((m_dir / "store.ini").string())};
    }

    fs::path m_dir;
    std::unique_ptr<SettingsScreen> m_screen;
    QStringList m_messages;
};

TEST_F(SettingsScreenTest, ShowsTheInitialRecord) {
    ensureApplication();
    m_screen = std::make_unique<SettingsScreen>(options());
    for (const char* name : {"Option13_0", "Option9_2", "Option8_4", "Option7_0", "Option1_2",
                             "Option2_2", "Option12_0", "Option3_0", "Option14_0"})
        EXPECT_TRUE(child<QRadioButton>(name)->isChecked()) << name;
    // "平均値" is shown selected and the record averages, as its tooltip says.
    EXPECT_EQ(m_screen->settings().saveMode, SaveMode::IntervalAverage);
    EXPECT_FLOAT_EQ(settings().ctRatio[0], child<QLineEdit>("Text3")->text().toFloat());
    EXPECT_EQ(settings().ptRatio, child<QLineEdit>("Text2")->text().toInt());
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[0], child<QLineEdit>("Text1_0")->text().toFloat());
    EXPECT_FALSE(child<QLineEdit>("Text1_1")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>("PhaseGroup")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
}

TEST_F(SettingsScreenTest, ScanMakesTheEarliestRecordingCurrentWithItsFeederCounts) {
    open(2);
    const WaveformFileList& files = m_screen->files();
    ASSERT_EQ(files.count(), 3);
    EXPECT_EQ(m_screen->currentFileName(), files.names[0]);
    EXPECT_EQ(child<QLabel>("InFileName")->text().toStdString(), files.names[0]);
    EXPECT_EQ(child<QLabel>("Label36_2")->text(), "3");
    EXPECT_EQ(child<QLabel>("Label14_0")->text(), "20V");
    EXPECT_TRUE(child<QLabel>("Label14_5")->isEnabled());
    EXPECT_FALSE(child<QLabel>("Label14_6")->isEnabled());
    EXPECT_EQ(child<QLabel>("Label28_0")->text(), "8841");
    // Six channels offer one or two feeders; a scan takes the largest.
    EXPECT_EQ(child<QComboBox>("Combo1")->count(), 2);
    EXPECT_EQ(settings().feederCount, 2);
    EXPECT_EQ(child<QLabel>("Label23_2")->text(), "電流F2：R相=ch5,T相=ch6");
    EXPECT_FALSE(child<QLineEdit>("Text10_2")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>("ChannelsSeveral")->isHidden());
    EXPECT_TRUE(child<QGroupBox>("ChannelsOne")->isHidden());

    // One channel per feeder: the same six channels offer five feeders.
    click("Option2_3");
    EXPECT_EQ(child<QComboBox>("Combo1")->count(), 5);
    EXPECT_EQ(settings().feederCount, 2);
}

TEST_F(SettingsScreenTest, InterpolationChoiceShowsTheLinearLossAtTheRecordingsRate) {
    open(1);
    const QString loss = child<QLabel>("InterpolationLoss")->text();
    EXPECT_TRUE(loss.startsWith("49次 −")) << loss.toStdString();
    // The rate is shown with its unit.
    const QString rate = child<QLabel>("Label21")->text();
    ASSERT_TRUE(rate.endsWith(" kHz")) << rate.toStdString();
    EXPECT_EQ(loss.toStdString(), linearLossText(rate.chopped(4).toDouble()));
    click("Option14_1");
    EXPECT_EQ(settings().interpolation, InterpolationMode::BandLimited);
    click("Option14_0");
    EXPECT_EQ(settings().interpolation, InterpolationMode::Linear);
}

TEST_F(SettingsScreenTest, ChoosingAnOccupiedChannelExchanges) {
    open(1);
    click("Option4_2");  // T-S on ch3: the R current takes ch2
    EXPECT_EQ(settings().channelMap[1], 3);
    EXPECT_EQ(settings().channelMap[2], 2);
    click("Option3_2");  // R-S on ch3: T-S moves to R-S's ch1
    EXPECT_EQ(settings().channelMap[0], 3);
    EXPECT_EQ(settings().channelMap[1], 1);
    EXPECT_TRUE(child<QRadioButton>("Option4_0")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option3_2")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option5_1")->isChecked());
    EXPECT_EQ(child<QRadioButton>("Option3_0")->text(), "ch1");
}

TEST_F(SettingsScreenTest, RatiosAreRestoredAndCopiedDownTheFeeders) {
    open(2);
    enter("Text3", "0");
    EXPECT_EQ(child<QLineEdit>("Text3")->text(), "1");
    enter("Text2", "abc");
    EXPECT_EQ(child<QLineEdit>("Text2")->text(), "60");
    EXPECT_EQ(settings().ptRatio, 60);

    enter("Text10_0", "7");
    enter("Text10_1", "5");
    EXPECT_EQ(child<QLineEdit>("Text10_0")->text(), "7");
    EXPECT_FLOAT_EQ(settings().ctRatio[0], 7);
    for (int f = 1; f < kMaxFeeders; ++f) {
        EXPECT_EQ(child<QLineEdit>(QString("Text10_%1").arg(f))->text(), "5") << f;
        EXPECT_FLOAT_EQ(settings().ctRatio[f], 5) << f;
    }
    enter("Text10_1", "-2");
    EXPECT_EQ(child<QLineEdit>("Text10_1")->text(), "1");
    EXPECT_FLOAT_EQ(settings().ctRatio[8], 1);

    enter("Text11_1", "20");
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[0], 0.1f);
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[1], 0.01f);
    enter("Text11_0", "0");
    EXPECT_EQ(child<QLineEdit>("Text11_0")->text(), "0.1");
    EXPECT_EQ(child<QLineEdit>("Text11_8")->text(), "0.1");
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[8], 2.0f);
    for (float v : settings().ctRatio) EXPECT_GT(v, 0);
}

TEST_F(SettingsScreenTest, ClampRangeAndShuntFollowEachOther) {
    open(1);
    click("Option12_1");
    EXPECT_TRUE(child<QLineEdit>("Text1_1")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>("Text1_0")->isEnabled());
    enter("Text1_1", "5");
    EXPECT_EQ(child<QLineEdit>("Text1_0")->text(), "0.04");
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[0], 0.04f);
    enter("Text1_1", "");
    EXPECT_EQ(child<QLineEdit>("Text1_1")->text(), "20");
    EXPECT_FLOAT_EQ(settings().currentSenseOhms[0], 0.01f);
}

TEST_F(SettingsScreenTest, SeveralFeedersBackToOneReenablesTheOptions) {
    open(2);
    chooseFeeders(1);
    click("Option8_1");
    click("Option7_3");
    chooseFeeders(2);
    EXPECT_FALSE(child<QRadioButton>("Option8_1")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>("Option8_2")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>("Option7_3")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option8_3")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option7_0")->isChecked());
    EXPECT_EQ(settings().harmonicOption(), HarmonicOption::WithAngleAndUnbalance);
    EXPECT_EQ(settings().saveMode, SaveMode::IntervalAverage);

    chooseFeeders(1);
    for (const char* name : {"Option8_1", "Option8_2", "Option7_3"})
        EXPECT_TRUE(child<QRadioButton>(name)->isEnabled()) << name;
    EXPECT_TRUE(child<QGroupBox>("ChannelsSeveral")->isHidden());
    EXPECT_FALSE(child<QWidget>("ConversionOne")->isHidden());
    EXPECT_EQ(settings().feederCount, 1);
}

TEST_F(SettingsScreenTest, FeederBoxesFirstInputAgreesBetweenGroups) {
    open(2);
    click("Check1_0");
    EXPECT_TRUE(child<QCheckBox>("Check1_14")->isChecked());
    EXPECT_TRUE(settings().invertCurrent[0]);
    chooseFeeders(1);
    click("Check1_15");
    EXPECT_TRUE(child<QCheckBox>("Check1_1")->isChecked());
    EXPECT_TRUE(settings().lineVoltageInput[0]);
}

TEST_F(SettingsScreenTest, PhaseCorrectionOnlyWithThreePhase1M) {
    open(1);
    click("Option2_3");
    EXPECT_TRUE(child<QGroupBox>("PhaseGroup")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>("FrameOption4")->isEnabled());
    click("Option9_4");
    EXPECT_EQ(settings().phaseCorrectionDegrees(), 90);
    click("Option2_4");
    EXPECT_FALSE(child<QGroupBox>("PhaseGroup")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option9_2")->isChecked());
    EXPECT_EQ(settings().phaseCorrectionDegrees(), 0);
    EXPECT_EQ(settings().phaseCorrectionIndex(), 2);
}

TEST_F(SettingsScreenTest, FileNameTakesTheExtensionOfTheOptionAndFeederCount) {
    open(2);
    QString answer = QString::fromStdString((m_dir / "day1.dat").string());
    m_screen->setFileNameChooser([&](QWidget*, const QString&) { return answer; });
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
    click("Command10");
    const std::string stem = (m_dir / "day1").string();
    EXPECT_EQ(settings().outputFileName, stem + ".hn2");
    // A long path is elided in the middle: the file name stays readable.
    EXPECT_EQ(child<QLabel>("Label7")->toolTip().toStdString(), stem + ".hn2");
    EXPECT_TRUE(child<QLabel>("Label7")->text().endsWith("/day1.hn2"));
    EXPECT_TRUE(child<QPushButton>("Command4")->isEnabled());
    click("Option8_0");
    EXPECT_EQ(settings().outputFileName, stem + ".hm2");
    EXPECT_TRUE(child<QRadioButton>("Option1_0")->isEnabled());
    chooseFeeders(1);
    EXPECT_EQ(settings().outputFileName, stem + ".hm1");
    click("Option8_2");
    EXPECT_EQ(settings().outputFileName, stem + ".ha5");
    click("Option8_4");
    EXPECT_FALSE(child<QRadioButton>("Option1_0")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option1_2")->isChecked());
    answer.clear();  // a cancelled dialog changes nothing
    click("Command10");
    EXPECT_EQ(settings().outputFileName, stem + ".hn1");
}

TEST_F(SettingsScreenTest, UnreadableFileIsReportedAndCannotBeStarted) {
    open(1);
    m_screen->setFileNameChooser(
        [&](QWidget*, const QString&) { return QStringLiteral("/tmp/x.dat"); });
    click("Command10");
    ASSERT_TRUE(child<QPushButton>("Command4")->isEnabled());
    { std::ofstream(m_dir / "rec" / "BAD.MEM") << "not a recording"; }
    m_screen->selectInputFile("BAD.MEM");
    EXPECT_EQ(m_screen->currentRecording(), nullptr);
    EXPECT_FALSE(child<QLabel>("ReadError")->text().isEmpty());
    EXPECT_TRUE(child<QLabel>("Label28_0")->text().isEmpty());
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
}

TEST_F(SettingsScreenTest, ConfirmedWiringStartsTheRunFromTheEarliestRecording) {
    open(1);
    m_screen->setFileNameChooser([&](QWidget*, const QString&) {
        return QString::fromStdString((m_dir / "out.dat").string());
    });
    click("Command10");
    int launched = 0;
    m_screen->setRunLauncher([&](SettingsScreen& s) {
        ++launched;
        EXPECT_EQ(s.currentFileName(), s.files().names[0]);
    });
    int asked = 0;
    bool answer = false;
    m_screen->setWiringCheckPresenter(
        [&](const ConversionSettings&, const Recording& rec, QWidget*) {
            ++asked;
            EXPECT_GT(rec.header.totalSamples, 0);
            return answer;
        });
    m_screen->selectInputFile(QString::fromStdString(m_screen->files().names[2]));
    click("Command4");  // "キャンセル"
    EXPECT_EQ(launched, 0);
    EXPECT_EQ(m_screen->currentFileName(), m_screen->files().names[2]);
    answer = true;
    click("Command4");  // "ＯＫ"
    EXPECT_EQ(launched, 1);
    EXPECT_TRUE(m_screen->isHidden());
    // The list shows the recording now current.
    EXPECT_EQ(child<QListWidget>("File1")->currentItem()->text().toStdString(),
              m_screen->files().names[0]);
    click("Command4");  // each start asks again
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(launched, 2);
}

// Results are never replaced unasked: the files are named before the wiring check, and
// "キャンセル", "別の名前…" and "上書き" each do what they say.
TEST_F(SettingsScreenTest, ExistingResultsAreNamedBeforeARunReplacesThem) {
    open(1);
    QString answer = QString::fromStdString((m_dir / "missing" / "x.dat").string());
    m_screen->setFileNameChooser([&](QWidget*, const QString&) { return answer; });
    click("Command10");  // a folder that cannot be written is told at once
    EXPECT_EQ(settings().outputFileName, "");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("書き込めません")) << m_messages[0].toStdString();

    answer = QString::fromStdString((m_dir / "site.dat").string());
    click("Command10");
    const fs::path earlier = m_dir / "site.hn1";
    std::ofstream(earlier) << "earlier";
    int checks = 0;
    m_screen->setWiringCheckPresenter(
        [&](const ConversionSettings&, const Recording&, QWidget*) { return ++checks, false; });
    QString question;
    answerDialog("OverwriteQuestion", "CancelButton", &question);
    click("Command4");
    EXPECT_EQ(checks, 0);
    EXPECT_TRUE(question.contains(QString::fromStdString(earlier.string())))
        << question.toStdString();

    answer = QString::fromStdString((m_dir / "other.dat").string());
    answerDialog("OverwriteQuestion", "OtherNameButton");
    click("Command4");
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(settings().outputFileName, (m_dir / "other").string() + ".hn1");

    answer = QString::fromStdString((m_dir / "site.dat").string());
    click("Command10");
    answerDialog("OverwriteQuestion", "OverwriteButton");
    click("Command4");
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(settings().outputFileName, earlier.string());

    // Another campaign's folder does not keep this one's name.
    fs::create_directories(m_dir / "rec2");
    m_screen->setInputFolder(QString::fromStdString((m_dir / "rec2").string()));
    EXPECT_EQ(settings().outputFileName, "");
    EXPECT_TRUE(child<QLabel>("Label7")->toolTip().contains("入力フォルダを変えたため未設定"));
}

TEST_F(SettingsScreenTest, WiringDialogShowsTheCheckAndConfirms) {
    open(2);
    ConversionSettings s = settings();
    const Recording* rec = m_screen->currentRecording();
    ASSERT_NE(rec, nullptr);
    WiringCheckDialog dialog(s, *rec);
    dialog.runCheck();
    ASSERT_TRUE(dialog.check().has_value());
    // The demo recordings drift around 50 Hz; no fixed period is needed.
    const QString frequency = dialog.findChild<QLabel*>("Label4")->text();
    EXPECT_TRUE(frequency.startsWith("基本波周波数 ")) << frequency.toStdString();
    EXPECT_NEAR(frequency.mid(7, 5).toDouble(), 50, 0.5) << frequency.toStdString();
    EXPECT_TRUE(frequency.endsWith("Hz"));
    EXPECT_FALSE(frequency.contains("固定"));
    // One diagram per feeder.
    EXPECT_EQ(itemsOf<PictureText>(dialog.diagram()).front().text, "F-1");
    QWidget* picture = dialog.findChild<QWidget*>("Picture1");
    // At least its nominal size; it grows with the window.
    EXPECT_GE(picture->width(), qRound(7215 * picture->logicalDpiX() / 1440.0));
    EXPECT_EQ(dialog.findChild<QLabel*>("WiringVerdict")->text(), "結線の誤りは見つかりません");
    dialog.findChild<QPushButton*>("Command1_1")->click();
    EXPECT_EQ(dialog.QDialog::result(), QDialog::Accepted);
}

// Feeder 3's R and T exchanged: the check's fix button exchanges the channels through the
// session, the check runs again and finds nothing, and "ＯＫ" starts the run.
TEST_F(SettingsScreenTest, WiringFixButtonPutsTheChannelsRightAndChecksAgain) {
    DemoOptions demo;
    demo.feeders = 3;
    demo.count = 2;
    demo.exchangedChannels = {{7, 8}};
    writeDemoCampaign(m_dir / "rec", demo);
    m_screen = std::make_unique<SettingsScreen>(
        SettingsScreen::Options{"", false, QString::fromStdString((m_dir / "store.ini").string())});
    m_screen->setInputFolder(QString::fromStdString((m_dir / "rec").string()));
    m_screen->setFileNameChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString((m_dir / "o").string()); });
    click("Command10");
    int launched = 0;
    m_screen->setRunLauncher([&](SettingsScreen&) { ++launched; });
    QStringList verdicts;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* d = QApplication::activeModalWidget();
        auto* verdict = d ? d->findChild<QLabel*>("WiringVerdict") : nullptr;
        if (!verdict || (!verdicts.isEmpty() && verdicts.back() == verdict->text())) return;
        verdicts << verdict->text();
        if (auto* fix = d->findChild<QPushButton*>("Fix_0")) {
            EXPECT_EQ(fix->text(), "F3 の R 相と T 相のチャンネル入替");
            fix->click();
        } else {
            d->findChild<QPushButton*>("Command1_1")->click();
        }
    });
    poll.start();
    click("Command4");
    poll.stop();
    ASSERT_EQ(verdicts.size(), 2);
    EXPECT_EQ(verdicts[0], "確認が必要な点が 1 件あります");
    EXPECT_EQ(verdicts[1], "結線の誤りは見つかりません");
    EXPECT_EQ(settings().channelMap[6], 8);
    EXPECT_EQ(settings().channelMap[7], 7);
    EXPECT_EQ(child<QLabel>("Label23_3")->text(), "電流F3：R相=ch8,T相=ch7");
    EXPECT_EQ(launched, 1);
}

TEST_F(SettingsScreenTest, WiringDialogWarnsAboutFewSamplesPerCycle) {
    RecordingContent slow;
    slow.sampleRateHz = 5000;  // 50 samples in half a 50 Hz cycle
    slow.totalSamples = 1000;
    for (int c = 0; c < 4; ++c) {
        ChannelSignal signal;
        signal.tones = {{1, 800, 60.0 * c}};
        slow.channels.push_back(signal);
    }
    writeRecording(m_dir / "slow.MEM", slow);
    const Recording rec = readRecording(m_dir / "slow.MEM", ReadOptions{});
    ConversionSettings s;
    WiringCheckDialog dialog(s, rec);
    QStringList shown;
    dialog.setMessageReporter([&](const QString&, const QString& text) { shown << text; });
    dialog.runCheck();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "サンプリング数が少なく、正確な分析ができない可能性があります。");
    ASSERT_TRUE(dialog.check().has_value());
    dialog.findChild<QPushButton*>("Command1_0")->click();
    EXPECT_EQ(dialog.QDialog::result(), QDialog::Rejected);
}

TEST_F(SettingsScreenTest, UnreadableFilesLeaveTheFirstReadableRecordingCurrent) {
    fs::create_directories(m_dir / "rec");
    { std::ofstream(m_dir / "rec" / "AAA.MEM"); }  // empty
    { std::ofstream(m_dir / "rec" / "AAB.MEM") << "HW garbage"; }
    open(1, 2);
    ASSERT_EQ(m_screen->files().count(), 4);
    const std::string current = m_screen->currentFileName();
    EXPECT_EQ(current, m_screen->files().names[2]);
    EXPECT_NE(m_screen->currentRecording(), nullptr);
    EXPECT_EQ(child<QLabel>("Label36_0")->text().toStdString(), m_screen->files().startText(2));
    EXPECT_EQ(child<QListWidget>("File1")->currentItem()->text().toStdString(), current);
    EXPECT_EQ(child<QListWidget>("File1")->item(0)->toolTip(), "-");
    m_screen->setFileNameChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString((m_dir / "o").string()); });
    click("Command10");
    EXPECT_TRUE(child<QPushButton>("Command4")->isEnabled());
}

TEST_F(SettingsScreenTest, SaveDialogOpensInTheInputFolderThenInTheLastChosenOne) {
    open(1, 2);
    fs::create_directories(m_dir / "out");
    QStringList folders;
    const QString chosen = QString::fromStdString((m_dir / "out" / "day.dat").string());
    m_screen->setFileNameChooser([&](QWidget*, const QString& folder) {
        folders << folder;
        return chosen;
    });
    click("Command10");
    click("Command10");
    ASSERT_EQ(folders.size(), 2);
    EXPECT_EQ(folders[0].toStdString(), (m_dir / "rec").string());
    EXPECT_EQ(folders[1].toStdString(), (m_dir / "out").string());
}

TEST_F(SettingsScreenTest, PatternLabelFollowsThe8840Box) {
    open(1, 2);
    EXPECT_EQ(child<QLabel>("File1Pattern")->text(), "*.MEM");
    EXPECT_TRUE(child<QLabel>("FolderNote")->text().isEmpty());
    click("Check4");
    EXPECT_EQ(child<QLabel>("File1Pattern")->text(), "*.wev, *.wav");
    EXPECT_EQ(m_screen->files().count(), 0);
    // An empty folder says so.
    EXPECT_TRUE(child<QLabel>("FolderNote")->text().contains("*.wev")) << "no note";
    click("Check4");
    EXPECT_EQ(child<QLabel>("File1Pattern")->text(), "*.MEM");
    EXPECT_EQ(m_screen->files().count(), 2);
}

TEST_F(SettingsScreenTest, StaysOnTheScreenAfterScanningSevenFeeders) {
    writeDemoRecordings(m_dir / "rec", 7, 2);
    m_screen =
        std::make_unique<SettingsScreen>(options(QString::fromStdString((m_dir / "rec").string())));
    m_screen->start();
    ASSERT_EQ(settings().feederCount, 7);
    const QRect area = m_screen->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(m_screen->frameGeometry())) << area.width() << "x" << area.height();
    // What does not fit scrolls.
    auto* scroll = child<QScrollArea>("SettingsScroll");
    EXPECT_LE(scroll->viewport()->height(), scroll->widget()->height());
}

TEST_F(SettingsScreenTest, ProfileKeepsTheSiteAndADamagedOneChangesNothing) {
    open(3, 2);
    enter("SiteName", "変電所 A");
    enter("FeederName_1", "2号線");
    enter("Text10_0", "200");
    click("Option8_3");
    const QString file = QString::fromStdString((m_dir / "site.toml").string());
    ASSERT_TRUE(m_screen->saveProfileTo(file));

    enter("FeederName_1", "");
    enter("Text10_0", "5");
    chooseFeeders(1);
    ASSERT_TRUE(m_screen->openProfileFrom(file));
    EXPECT_EQ(settings().feederCount, 3);
    EXPECT_EQ(settings().siteName, "変電所 A");
    EXPECT_EQ(feederName(settings(), 1), "2号線");
    EXPECT_EQ(child<QLineEdit>("FeederName_1")->text(), "2号線");
    EXPECT_FLOAT_EQ(settings().ctRatio[2], 200);
    EXPECT_EQ(settings().harmonicOption(), HarmonicOption::WithAngleAndUnbalance);

    // A file broken in one place is refused whole, its line named.
    {
        std::ofstream out(m_dir / "bad.toml");
        out << "waveharm_profile = 1\nmeasurement = \"1p2w\"\npt_ratio = -3\n";
    }
    ASSERT_FALSE(m_screen->openProfileFrom(QString::fromStdString((m_dir / "bad.toml").string())));
    EXPECT_EQ(settings().measurementType, MeasurementType::ThreePhase2M);
    ASSERT_FALSE(m_messages.isEmpty());
    EXPECT_TRUE(m_messages.back().contains("3 行目")) << m_messages.back().toStdString();
    EXPECT_TRUE(m_messages.back().contains("pt_ratio")) << m_messages.back().toStdString();
}

TEST_F(SettingsScreenTest, NextStartOpensTheLastFolderAndProfile) {
    open(2, 2);
    enter("FeederName_0", "本線");
    ASSERT_TRUE(m_screen->saveProfileTo(QString::fromStdString((m_dir / "site.toml").string())));
    m_screen = std::make_unique<SettingsScreen>(options());
    m_screen->start();
    EXPECT_EQ(m_screen->files().count(), 2);
    EXPECT_EQ(feederName(settings(), 0), "本線");
}

}  // namespace
}  // namespace waveharm
