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
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
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
        m_screen = std::make_unique<SettingsScreen>(SettingsScreen::Options{"", false});
        m_screen->setMessageReporter(
            [this](const QString&, const QString& text) { m_messages << text; });
        m_screen->setInputFolder(QString::fromStdString((m_dir / "rec").string()));
        return *m_screen;
    }

    template <class T>
    T* child(const QString& name) {
        T* w = m_screen->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
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

    fs::path m_dir;
    std::unique_ptr<SettingsScreen> m_screen;
    QStringList m_messages;
};

TEST_F(SettingsScreenTest, StartsWithTheInitialChoicesAndTexts) {
    ensureApplication();
    m_screen = std::make_unique<SettingsScreen>(SettingsScreen::Options{"", false});
    EXPECT_EQ(m_screen->windowTitle(), "波形データからの高調波測定．設定画面(2018/12/12)");
    for (const char* name : {"Option13_0", "Option9_2", "Option8_4", "Option7_0", "Option1_2",
                             "Option2_2", "Option12_0", "Option3_0", "Option14_0"})
        EXPECT_TRUE(child<QRadioButton>(name)->isChecked()) << name;
    EXPECT_EQ(child<QRadioButton>("Option8_3")->text(), "+重畳角･　不平衡保存");
    EXPECT_EQ(child<QRadioButton>("Option9_2")->text(), "　０");
    EXPECT_EQ(child<QLineEdit>("Text2")->text(), "60");
    EXPECT_EQ(child<QLineEdit>("Text3")->text(), "1");
    EXPECT_EQ(child<QLineEdit>("Text10_8")->text(), "1");
    EXPECT_EQ(child<QLineEdit>("Text11_8")->text(), "2");
    EXPECT_EQ(child<QLineEdit>("Text1_0")->text(), "0.1");
    EXPECT_EQ(child<QLineEdit>("Text1_1")->text(), "2");
    EXPECT_EQ(child<QLineEdit>("Text4")->text(), "0");
    EXPECT_FALSE(child<QLineEdit>("Text1_1")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>("PhaseGroup")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
    EXPECT_EQ(child<QCheckBox>("Check1_14")->toolTip(),
              "クランプ向きが反対の場合にチックをつけます。");
    EXPECT_EQ(child<QRadioButton>("Option13_0")->toolTip(), "標準");
    EXPECT_EQ(child<QComboBox>("Combo1")->toolTip(), "測定するフィーダ数を指定します");
    // "平均値" is shown selected and the record averages, as its tooltip says.
    EXPECT_EQ(m_screen->settings().saveMode, SaveMode::IntervalAverage);

    const QString about = SettingsScreen::aboutText();
    EXPECT_TRUE(about.startsWith("このソフトは、HIOKIﾒﾓﾘｰﾊｲｺｰﾀﾞ"));
    EXPECT_TRUE(about.endsWith(QString("\n\nwaveharm ") + WAVEHARM_VERSION));
    EXPECT_EQ(about.count('\n'), 10);
    EXPECT_FALSE(about.contains("http"));
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
    EXPECT_EQ(loss.toStdString(), linearLossText(child<QLabel>("Label21")->text().toDouble()));
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
    EXPECT_FALSE(settings().channelSettingsChanged);
    click("Option6_0");  // the T current's channel changes the samples the check reads
    EXPECT_TRUE(settings().channelSettingsChanged);
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
    EXPECT_EQ(settings().harmonicOption, HarmonicOption::WithAngleAndUnbalance);
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
    EXPECT_TRUE(settings().channelSettingsChanged);
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
    EXPECT_EQ(settings().phaseCorrectionDegrees, 90);
    click("Option2_4");
    EXPECT_FALSE(child<QGroupBox>("PhaseGroup")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option9_2")->isChecked());
    EXPECT_EQ(settings().phaseCorrectionDegrees, 0);
    EXPECT_EQ(settings().phaseCorrectionIndex, 2);
}

TEST_F(SettingsScreenTest, FileNameTakesTheExtensionOfTheOptionAndFeederCount) {
    open(2);
    QString answer = QString::fromStdString((m_dir / "day1.dat").string());
    m_screen->setFileNameChooser([&](QWidget*) { return answer; });
    EXPECT_FALSE(child<QPushButton>("Command4")->isEnabled());
    click("Command10");
    const std::string stem = (m_dir / "day1").string();
    EXPECT_EQ(settings().outputFileName, stem + ".hn2");
    EXPECT_EQ(child<QLabel>("Label7")->text().toStdString(), stem + ".hn2");
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
    m_screen->setFileNameChooser([&](QWidget*) { return QStringLiteral("/tmp/x.dat"); });
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
    m_screen->setFileNameChooser(
        [&](QWidget*) { return QString::fromStdString((m_dir / "out.dat").string()); });
    click("Command10");
    int launched = 0;
    bool confirmedAtLaunch = false;
    m_screen->setRunLauncher([&](SettingsScreen& s) {
        ++launched;
        confirmedAtLaunch = s.settings().wiringConfirmed;
        EXPECT_EQ(s.currentFileName(), s.files().names[0]);
    });
    bool answer = false;
    m_screen->setWiringCheckPresenter([&](ConversionSettings& s, const Recording& rec, QWidget*) {
        EXPECT_GT(rec.header.totalSamples, 0);
        s.wiringConfirmed = answer;
    });
    m_screen->selectInputFile(QString::fromStdString(m_screen->files().names[2]));
    click("Command4");  // "キャンセル"
    EXPECT_EQ(launched, 0);
    EXPECT_EQ(m_screen->currentFileName(), m_screen->files().names[2]);
    answer = true;
    click("Command4");  // "ＯＫ"
    EXPECT_EQ(launched, 1);
    EXPECT_TRUE(confirmedAtLaunch);
    EXPECT_FALSE(settings().wiringConfirmed);  // the next start asks again
    EXPECT_TRUE(m_screen->isHidden());
}

TEST_F(SettingsScreenTest, DefaultRunConvertsTheFolderAndShowsTheScreenAgain) {
    open(2, 4);
    const std::string name = (m_dir / "run.dat").string();
    m_screen->setFileNameChooser([&](QWidget*) { return QString::fromStdString(name); });
    click("Command10");
    click("Option8_0");
    m_screen->setWiringCheckPresenter(
        [](ConversionSettings& s, const Recording&, QWidget*) { s.wiringConfirmed = true; });
    m_screen->show();
    click("Command4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_messages.isEmpty(); }, 30000));
    EXPECT_TRUE(m_messages.back().startsWith("データ変換を終了しました。"))
        << m_messages.back().toStdString();
    EXPECT_TRUE(m_screen->isVisible());
    EXPECT_TRUE(fs::exists(m_dir / "run.hm2"));
    EXPECT_GT(fs::file_size(m_dir / "run.hm2"), 0u);
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
    const QString text = dialog.findChild<QLabel*>("Label2")->text();
    EXPECT_TRUE(text.startsWith("入力電圧,Vr-s=")) << text.toStdString();
    EXPECT_TRUE(text.contains("入力電流,I2r="));
    EXPECT_TRUE(text.endsWith("結線はこのままでよいですか"));
    EXPECT_EQ(itemsOf<PictureText>(dialog.diagram()).front().text, "F-1");
    QWidget* picture = dialog.findChild<QWidget*>("Picture1");
    EXPECT_EQ(picture->width(), qRound(7215 * picture->logicalDpiX() / 1440.0));
    dialog.findChild<QPushButton*>("Command1_1")->click();
    EXPECT_TRUE(s.wiringConfirmed);
    EXPECT_EQ(dialog.QDialog::result(), QDialog::Accepted);
}

TEST_F(SettingsScreenTest, WiringDialogWarnsAboutFewSamplesPerCycle) {
    RecordingContent slow;
    slow.sampleRateHz = 5000;  // 50 samples in half a 50 Hz cycle
    slow.totalSamples = 1000;
    for (int c = 0; c < 4; ++c) slow.channels.push_back({{{1, 800, 60.0 * c}}});
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
    EXPECT_FALSE(s.wiringConfirmed);
}

}  // namespace
}  // namespace waveharm
