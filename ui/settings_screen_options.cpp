// The settings screen's analysis options: measurement type, sample count and
// interpolation, synchronisation, save format, harmonic option and phase correction.

#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/settings_screen.h"
#include "ui/settings_screen_parts.h"

namespace waveharm {

using namespace screen;

std::array<QWidget*, 2> SettingsScreen::buildOptionColumns() {
    std::array<QWidget*, 2> panels{new QWidget(this), new QWidget(this)};
    std::array<QVBoxLayout*, 2> layouts{};
    for (int i = 0; i < 2; ++i) {
        layouts[i] = new QVBoxLayout(panels[i]);
        layouts[i]->setContentsMargins(0, 0, 0, 0);
    }
    layouts[0]->addWidget(buildMeasurementGroup(panels[0]));
    for (QGroupBox* box : buildTransformGroups(panels[0])) layouts[0]->addWidget(box);
    const std::array<QGroupBox*, 4> run = buildRunGroups(panels[1]);
    // Synchronisation beside the transform; what is kept, the harmonic option and the
    // phase correction in the next column.
    run[0]->setParent(panels[0]);
    layouts[0]->addWidget(run[0]);
    for (int i = 1; i < 4; ++i) layouts[1]->addWidget(run[i]);
    layouts[0]->addStretch();
    return panels;
}

QGroupBox* SettingsScreen::buildMeasurementGroup(QWidget* panel) {
    auto* measurement = new QGroupBox("測定種別", panel);
    measurement->setObjectName("MeasurementGroup");
    m_measurement = radioGroup(measurement, "Option2",
                               {"単相２線", "単相３線", "三相２Ｍ", "三相１Ｍ", "三相３Ｍ"});
    m_measurement->button(2)->setToolTip(
        "三相回路を２電力計法で測定します。出力は三相平均値となります。");
    m_measurement->button(3)->setToolTip("三相の内どれか１相のみで計測する簡易測定法です");
    m_measurement->button(4)->setToolTip(
        "三相の各相別に出力ファイルが作られる最も高精度の測定法です");
    return measurement;
}

std::array<QGroupBox*, 2> SettingsScreen::buildTransformGroups(QWidget* panel) {
    auto* samples = new QGroupBox("ｻﾝﾌﾟﾘﾝｸﾞ数", panel);
    samples->setObjectName("SampleCountGroup");
    samples->setToolTip("サンプリング数が多いほど精度が上がります");
    m_samples = radioGroup(samples, "Option1", {"256", "512", "1024"}, false);

    // Beside the transform size: how the period is resampled onto it, with what the
    // straight lines lose at order 49 at the current recording's rate.
    auto* interpolation = new QGroupBox("補間方式", panel);
    interpolation->setObjectName("InterpolationGroup");
    auto* interpolationRows = new QVBoxLayout(interpolation);
    auto* interpolationButtons = new QHBoxLayout;
    interpolationRows->addLayout(interpolationButtons);
    m_interpolation = new QButtonGroup(interpolation);
    m_interpolation->setObjectName("Option14");
    const QStringList interpolationTips = {
        "サンプル間を直線で補間します（従来の方式）",
        "帯域制限補間と記録全体から求めた基本波周期で、高次まで振幅を保ちます"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(i == 0 ? "直線" : "高精度", interpolation);
        b->setObjectName(indexed("Option14", i));
        b->setToolTip(interpolationTips[i]);
        m_interpolation->addButton(b, i);
        interpolationButtons->addWidget(b);
    }
    interpolationButtons->addStretch();
    m_interpolationLoss = new QLabel(interpolation);
    m_interpolationLoss->setWordWrap(true);
    m_interpolationLoss->setObjectName("InterpolationLoss");
    m_interpolationLoss->setToolTip(
        "直線補間による49次高調波の振幅誤差（この記録のサンプリング速度）");
    interpolationRows->addWidget(m_interpolationLoss);
    return {samples, interpolation};
}

std::array<QGroupBox*, 4> SettingsScreen::buildRunGroups(QWidget* panel) {
    auto* sync = new QGroupBox("同期検出", panel);
    sync->setObjectName("SyncGroup");
    sync->setToolTip("測定電圧にノイズが多いとき固定を選択して下さい");
    m_sync = radioGroup(sync, "Option13", {"ｾﾞﾛｸﾛｽ", "50Hz固定", "60Hz固定", "ﾌｰﾘｴ演算"});
    m_sync->button(0)->setToolTip("標準");
    for (int i = 1; i < 4; ++i)
        m_sync->button(i)->setToolTip("測定電圧にノイズが多いとき指定します");

    auto* save = new QGroupBox("ﾃﾞｰﾀ保存形式", panel);
    save->setObjectName("SaveModeGroup");
    m_saveMode = radioGroup(save, "Option7", {"平均値", "瞬時値", "電圧歪最大", "電流歪最大"});
    const QStringList saveTips = {
        "保存間隔内にｻﾝﾌﾟﾘﾝｸﾞされたデータを平均化して保存します",
        "保存間隔で指定された時間にｻﾝﾌﾟﾘﾝｸﾞされたデータを保存します",
        "保存間隔内でｻﾝﾌﾟﾘﾝｸﾞされたデータの内、電圧歪みが最大となったときの値を保存します",
        "保存間隔内でｻﾝﾌﾟﾘﾝｸﾞされたデータの内、電流歪みが最大となったときの値を保存します"};
    for (int i = 0; i < 4; ++i) m_saveMode->button(i)->setToolTip(saveTips[i]);

    auto* option = new QGroupBox("オプション", panel);
    option->setObjectName("OptionGroup");
    m_harmonic = radioGroup(option, "Option8",
                            {"1-49次奇数", "+重畳角保存", "+三相不平衡", "+重畳角･　不平衡保存",
                             "高次(256次)調波+重畳位相"});
    m_harmonic->button(1)->setToolTip("基本波に対して各次調波の重畳する位相差を保存します。");
    m_harmonic->button(2)->setToolTip("相別の実行値を保存します");
    m_harmonic->button(3)->setToolTip(
        "基本波に対して各次調波の重畳する位相差と相別の実行値を保存します。");
    m_harmonic->button(4)->setToolTip("偶数時も含み256次までの測定を行います。");

    m_phaseBox = new QGroupBox("位相補正", panel);
    m_phaseBox->setObjectName("PhaseGroup");
    m_phase =
        radioGroup(m_phaseBox, "Option9", {"-９０", "-３０", "　０", "+３０", "+９０"}, false);
    for (int i = 0; i < 5; ++i)
        m_phase->button(i)->setToolTip("線間電圧に対する測定電流の位相差を指定します。");
    return {sync, save, option, m_phaseBox};
}

void SettingsScreen::connectOptionGroups() {
    connect(m_samples, &QButtonGroup::idClicked, this, [this](int i) {
        m_session.chooseSampleCount(256 << i);
        showSession();
    });
    connect(m_interpolation, &QButtonGroup::idClicked, this,
            [this](int i) { m_session.setInterpolation(static_cast<InterpolationMode>(i)); });
    connect(m_measurement, &QButtonGroup::idClicked, this, [this](int i) {
        m_session.setMeasurementType(static_cast<MeasurementType>(i));
        showSession();
    });
    connect(m_saveMode, &QButtonGroup::idClicked, this,
            [this](int i) { m_session.setSaveMode(saveModeForButton(i)); });
    connect(m_harmonic, &QButtonGroup::idClicked, this, [this](int i) {
        m_session.setHarmonicOption(static_cast<HarmonicOption>(i));
        showSession();
    });
    connect(m_phase, &QButtonGroup::idClicked, this, [this](int i) {
        m_session.choosePhaseCorrection(i);
        showSession();
    });
    connect(m_sync, &QButtonGroup::idClicked, this,
            [this](int i) { m_session.setSyncMode(static_cast<SyncMode>(i)); });
}

void SettingsScreen::showOptions() {
    const ConversionSettings& s = m_session.settings();
    check(m_measurement, static_cast<int>(s.measurementType));
    check(m_sync, static_cast<int>(s.syncMode));
    check(m_interpolation, static_cast<int>(s.interpolation));
    check(m_saveMode, buttonForSaveMode(s.saveMode));
    check(m_harmonic, static_cast<int>(s.harmonicOption()));
    check(m_phase, s.phaseCorrectionIndex());
    // 256 orders need 1024 samples.
    const bool freeCount = s.harmonicOption() != HarmonicOption::HighOrder256;
    m_samples->button(0)->setEnabled(freeCount);
    m_samples->button(1)->setEnabled(freeCount);
    check(m_samples, s.sampleCountLog2() - 8);
    m_phaseBox->setEnabled(s.measurementType == MeasurementType::ThreePhase1M);
    // With several feeders the options whose files hold one feeder only are off, and
    // the current distortion is judged on the first feeder only.
    const FeederCountEffects e = feederCountEffects(s.feederCount, s.harmonicOption());
    for (int i = 0; i < 5; ++i) m_harmonic->button(i)->setEnabled(e.harmonicOptionEnabled[i]);
    m_saveMode->button(3)->setEnabled(e.currentThdMaxEnabled);
}

}  // namespace waveharm
