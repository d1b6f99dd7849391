// The settings screen's wiring and scaling: the feeder count, the channel choice of one
// feeder or the fixed pairs of several, inversion and line-voltage input, and the PT,
// CT and current-sensor values.

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/settings_screen.h"
#include "ui/settings_screen_parts.h"

namespace waveharm {

using namespace screen;

namespace {

const QString kLineVoltageTip = "線間電圧を入力した場合にチェックをつけます。";
const QString kInvertTip = "位相を反転させます。";
const QString kClampTip = "レンジ設定値に対する出力電圧は0.2Vで計算します";
const QString kCtTip = "1次電流／2次電流";
const QString kPtTip = "1次電圧／2次電圧";
const QString kShuntTip = "出力電圧／入力電流";
const QString kNameTip = "フィーダの名称（解析画面・結果の表示に使います）";
constexpr int kNameLength = 40;

}  // namespace

QLineEdit* SettingsScreen::lineEdit(const QString& name, const QString& tip) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setToolTip(tip);
    e->setMaximumWidth(90);
    return e;
}

QWidget* SettingsScreen::buildChannelGroups() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* countRow = new QHBoxLayout;
    m_feeders = new QComboBox(panel);
    m_feeders->setObjectName("Combo1");
    m_feeders->setToolTip("測定するフィーダ数を指定します");
    countRow->addWidget(caption("測定ﾌｨｰﾀﾞ数", panel));
    countRow->addWidget(m_feeders);
    countRow->addStretch();
    layout->addLayout(countRow);
    layout->addWidget(buildSeveralFeederChannels(panel));
    layout->addWidget(buildOneFeederChannels(panel));
    return panel;
}

QGroupBox* SettingsScreen::buildSeveralFeederChannels(QWidget* panel) {
    // Fixed channel pairs, per-feeder inversion and line-voltage input.
    m_channelsSeveral = new QGroupBox("入力チャンネル設定", panel);
    m_channelsSeveral->setObjectName("ChannelsSeveral");
    auto* several = new QGridLayout(m_channelsSeveral);
    several->setVerticalSpacing(1);
    for (int f = 0; f < kChannelLabelCount; ++f) {
        m_channelLabels[f] = new QLabel(m_channelsSeveral);
        m_channelLabels[f]->setObjectName(indexed("Label23", f));
        several->addWidget(m_channelLabels[f], f, 0);
    }
    m_swap = new QCheckBox("相入替", m_channelsSeveral);
    m_swap->setObjectName("Check2");
    m_swap->setToolTip("R-SとT-Sのデータを入れ替えます。");
    several->addWidget(m_swap, 0, 1);
    for (int f = 0; f < kMaxChannelFeeders; ++f) {
        auto* invert = new QCheckBox("反転", m_channelsSeveral);
        invert->setObjectName(indexed("Check1", 2 * f));
        invert->setToolTip(kInvertTip);
        auto* line = new QCheckBox("V入力", m_channelsSeveral);
        line->setObjectName(indexed("Check1", 2 * f + 1));
        line->setToolTip(kLineVoltageTip);
        m_feederInputs[2 * f] = invert;
        m_feederInputs[2 * f + 1] = line;
        several->addWidget(invert, f + 1, 1);
        several->addWidget(line, f + 1, 2);
    }
    return m_channelsSeveral;
}

QGroupBox* SettingsScreen::buildOneFeederChannels(QWidget* panel) {
    // Each quantity on any of the first four channels.
    m_channelsOne = new QGroupBox("入力チャンネル", panel);
    m_channelsOne->setObjectName("ChannelsOne");
    auto* one = new QGridLayout(m_channelsOne);
    const QStringList frames = {"(R-S相)", "(T-S相)", "(Ｒ相)", "(Ｔ相)"};
    const QStringList names = {"Option3", "Option4", "Option5", "Option6"};
    for (int q = 0; q < 4; ++q) {
        m_chooserFrames[q] = new QGroupBox(frames[q], m_channelsOne);
        m_chooserFrames[q]->setObjectName("Frame" + names[q]);
        m_choosers[q] = radioGroup(m_chooserFrames[q], names[q], {"１ch", "２ch", "３ch", "４ch"});
        one->addWidget(m_chooserFrames[q], 0, q);
    }
    for (int k = 0; k < 2; ++k) {
        m_invertVoltage[k] = new QCheckBox("反転", m_channelsOne);
        m_invertVoltage[k]->setObjectName(indexed("Check6", k));
        m_invertVoltage[k]->setToolTip(kInvertTip);
        one->addWidget(m_invertVoltage[k], 1, k);
    }
    m_feederInputs[14] = new QCheckBox("反転", m_channelsOne);
    m_feederInputs[14]->setObjectName("Check1_14");
    m_feederInputs[14]->setToolTip("クランプ向きが反対の場合にチックをつけます。");
    m_feederInputs[15] = new QCheckBox("電圧V結", m_channelsOne);
    m_feederInputs[15]->setObjectName("Check1_15");
    m_feederInputs[15]->setToolTip(kLineVoltageTip);
    one->addWidget(m_feederInputs[14], 1, 2);
    one->addWidget(m_feederInputs[15], 1, 3);
    return m_channelsOne;
}

QWidget* SettingsScreen::buildConversionGroup() {
    auto* box = new QGroupBox("入力変換値", this);
    box->setObjectName("ConversionGroup");
    auto* layout = new QVBoxLayout(box);

    m_pt = lineEdit("Text2", kPtTip);
    auto* ptRow = new QHBoxLayout;
    ptRow->addWidget(caption("ＰＴ比", box));
    ptRow->addWidget(m_pt);
    ptRow->addStretch();
    layout->addLayout(ptRow);

    m_conversionOne = new QWidget(box);
    m_conversionOne->setObjectName("ConversionOne");
    auto* one = new QGridLayout(m_conversionOne);
    one->setContentsMargins(0, 0, 0, 0);
    auto* kindBox = new QGroupBox(m_conversionOne);
    kindBox->setObjectName("SenseKindGroup");
    kindBox->setFlat(true);
    m_senseKind = radioGroup(kindBox, "Option12", {"ｼｬﾝﾄ", "ｸﾗﾝﾌﾟ"}, false);
    one->addWidget(kindBox, 0, 0, 1, 3);
    m_sense[0] = lineEdit("Text1_0", kShuntTip);
    m_sense[1] = lineEdit("Text1_1", kClampTip);
    m_senseCaptions[0] = caption("ｼｬﾝﾄ抵抗", m_conversionOne);
    m_senseCaptions[1] = caption("ｸﾗﾝﾌﾟﾚﾝｼﾞ", m_conversionOne);
    const QStringList units = {"Ω", "A"};
    for (int i = 0; i < 2; ++i) {
        one->addWidget(m_senseCaptions[i], 1 + i, 0);
        one->addWidget(m_sense[i], 1 + i, 1);
        one->addWidget(caption(units[i], m_conversionOne), 1 + i, 2);
    }
    m_ct = lineEdit("Text3", kCtTip);
    one->addWidget(caption("CT比", m_conversionOne), 3, 0);
    one->addWidget(m_ct, 3, 1);
    m_oneFeederName = new QLineEdit(m_conversionOne);
    m_oneFeederName->setObjectName("FeederNameOne");
    m_oneFeederName->setToolTip(kNameTip);
    m_oneFeederName->setMaxLength(kNameLength);
    one->addWidget(caption("ﾌｨｰﾀﾞ名", m_conversionOne), 4, 0);
    one->addWidget(m_oneFeederName, 4, 1, 1, 2);
    layout->addWidget(m_conversionOne);

    m_conversionSeveral = new QWidget(box);
    m_conversionSeveral->setObjectName("ConversionSeveral");
    auto* several = new QGridLayout(m_conversionSeveral);
    several->setContentsMargins(0, 0, 0, 0);
    several->setVerticalSpacing(1);
    several->addWidget(caption("名称", m_conversionSeveral), 0, 1);
    several->addWidget(caption("CT比", m_conversionSeveral), 0, 2);
    several->addWidget(caption("ｸﾗﾝﾌﾟﾚﾝｼﾞ(A)", m_conversionSeveral), 0, 3);
    for (int f = 0; f < kMaxFeeders; ++f) {
        m_feederCaptions[f] = caption("ﾌｨｰﾀﾞ" + QString::number(f + 1), m_conversionSeveral);
        m_feederCaptions[f]->setObjectName(indexed("FeederCaption", f));
        m_feederNames[f] = new QLineEdit(m_conversionSeveral);
        m_feederNames[f]->setObjectName(indexed("FeederName", f));
        m_feederNames[f]->setToolTip(kNameTip);
        m_feederNames[f]->setMaxLength(kNameLength);
        m_feederCt[f] = lineEdit(indexed("Text10", f), kCtTip);
        m_feederClamp[f] = lineEdit(indexed("Text11", f), kClampTip);
        several->addWidget(m_feederCaptions[f], f + 1, 0);
        several->addWidget(m_feederNames[f], f + 1, 1);
        several->addWidget(m_feederCt[f], f + 1, 2);
        several->addWidget(m_feederClamp[f], f + 1, 3);
    }
    several->setColumnStretch(1, 1);
    layout->addWidget(m_conversionSeveral);
    return box;
}

void SettingsScreen::connectBox(QLineEdit* edit, SessionBox box, int feeder) {
    connect(edit, &QLineEdit::textChanged, this, [this, box, feeder](const QString& text) {
        m_session.typeText(box, feeder, text.toStdString());
        if (box == SessionBox::TimeOffset) showSession();
    });
    connect(edit, &QLineEdit::editingFinished, this, [this, box, feeder] {
        m_session.leaveBox(box, feeder);
        showSession();
    });
}

void SettingsScreen::connectChannelGroups() {
    connect(m_feeders, &QComboBox::activated, this, [this](int i) {
        m_session.chooseFeederCount(i + 1);
        showSession();
    });
    for (int q = 0; q < 4; ++q) {
        connect(m_choosers[q], &QButtonGroup::idClicked, this, [this, q](int i) {
            m_session.chooseChannel(static_cast<ChosenQuantity>(q), i + 1);
            showSession();
        });
    }
    for (int i = 0; i < 16; ++i) {
        connect(m_feederInputs[i], &QCheckBox::clicked, this, [this, i](bool checked) {
            m_session.setFeederInput(i, checked);
            showSession();
        });
    }
    connect(m_swap, &QCheckBox::clicked, this, [this](bool checked) {
        m_session.setSwapVoltages(checked);
        showSession();
    });
    for (int k = 0; k < 2; ++k) {
        connect(m_invertVoltage[k], &QCheckBox::clicked, this, [this, k](bool checked) {
            m_session.setInvertVoltage(k, checked);
            showSession();
        });
    }
}

void SettingsScreen::connectConversionGroup() {
    connect(m_senseKind, &QButtonGroup::idClicked, this, [this](int i) {
        m_session.setClampChosen(i == 1);
        showSession();
    });
    // Names are kept when the box is left, so that blanks typed inside a name stay.
    for (int f = 0; f < kMaxFeeders; ++f) {
        connect(m_feederNames[f], &QLineEdit::editingFinished, this, [this, f] {
            m_session.setFeederName(f, m_feederNames[f]->text().toStdString());
            showSession();
        });
    }
    connect(m_oneFeederName, &QLineEdit::editingFinished, this, [this] {
        m_session.setFeederName(0, m_oneFeederName->text().toStdString());
        showSession();
    });
    connectBox(m_sense[0], SessionBox::Shunt);
    connectBox(m_sense[1], SessionBox::Clamp);
    connectBox(m_pt, SessionBox::PtRatio);
    connectBox(m_ct, SessionBox::CtRatio);
    for (int f = 0; f < kMaxFeeders; ++f) {
        connectBox(m_feederCt[f], SessionBox::FeederCt, f);
        connectBox(m_feederClamp[f], SessionBox::FeederClamp, f);
    }
}

void SettingsScreen::showFeederCounts() {
    const int offered = m_session.offeredFeederCounts();
    const int n = m_session.settings().feederCount;
    const QSignalBlocker block(m_feeders);
    if (m_feeders->count() != offered) {
        m_feeders->clear();
        for (int k = 1; k <= offered; ++k) m_feeders->addItem(QString::number(k));
    }
    if (n - 1 < m_feeders->count()) m_feeders->setCurrentIndex(n - 1);
}

void SettingsScreen::showChannels() {
    const ConversionSettings& s = m_session.settings();
    const FeederCountEffects e = feederCountEffects(s.feederCount, s.harmonicOption());
    m_channelsSeveral->setVisible(e.severalFeeders);
    m_channelsOne->setVisible(!e.severalFeeders);
    m_conversionSeveral->setVisible(e.severalFeeders);
    m_conversionOne->setVisible(!e.severalFeeders);
    const int sensor = m_session.clampChosen() ? 1 : 0;
    check(m_senseKind, sensor);
    for (int k = 0; k < 2; ++k) {
        m_sense[k]->setEnabled(k == sensor);
        m_senseCaptions[k]->setEnabled(k == sensor);
    }
    for (int f = 0; f < kMaxFeeders; ++f) {
        const bool on = e.feederEnabled[f];
        m_feederNames[f]->setEnabled(on);
        m_feederCaptions[f]->setEnabled(on);
        m_feederCt[f]->setEnabled(on);
        m_feederClamp[f]->setEnabled(on);
        m_channelLabels[f + 1]->setEnabled(on);
    }
    // Types with one channel per feeder have no T-phase quantities to choose.
    const bool tPhase = channelsPerFeeder(s.measurementType) == 2;
    for (const int q : {1, 3}) m_chooserFrames[q]->setEnabled(tPhase);
    for (int q = 0; q < 4; ++q) {
        const int channel = s.channelMap[q];
        QButtonGroup* group = m_choosers[q];
        if (channel >= 1 && channel <= 4) {
            group->button(channel - 1)->setChecked(true);
            continue;
        }
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons()) b->setChecked(false);
        group->setExclusive(true);
    }
    // The first feeder's boxes appear in both channel groups and always agree.
    for (int f = 0; f < kMaxChannelFeeders; ++f) {
        m_feederInputs[2 * f]->setChecked(s.invertCurrent[f]);
        m_feederInputs[2 * f + 1]->setChecked(s.lineVoltageInput[f]);
    }
    m_feederInputs[14]->setChecked(s.invertCurrent[0]);
    m_feederInputs[15]->setChecked(s.lineVoltageInput[0]);
    m_swap->setChecked(s.swapVoltages);
    for (int k = 0; k < 2; ++k) m_invertVoltage[k]->setChecked(s.invertVoltage[k]);

    std::array<std::string, 16> names;
    const Recording* recording = m_session.recording();
    for (int c = 0; c < 16; ++c)
        names[c] = recording ? recording->header.slots[c].name : "ch" + std::to_string(c + 1);
    const auto labels = feederChannelLabels(s.measurementType, s.feederCount, names, &s.channelMap);
    for (int f = 0; f < kChannelLabelCount; ++f) m_channelLabels[f]->setText(qText(labels[f]));
}

void SettingsScreen::showTexts() {
    const SessionTexts& t = m_session.texts();
    showText(m_pt, t.ptRatio);
    showText(m_ct, t.ctRatio);
    showText(m_sense[0], t.sense.shunt);
    showText(m_sense[1], t.sense.clamp);
    for (int f = 0; f < kMaxFeeders; ++f) {
        showText(m_feederCt[f], t.feederCt[f]);
        showText(m_feederClamp[f], t.feederClamp[f]);
    }
    showText(m_timeOffset, t.timeOffset);
    const ConversionSettings& s = m_session.settings();
    for (int f = 0; f < kMaxFeeders; ++f) showText(m_feederNames[f], feederName(s, f));
    showText(m_oneFeederName, feederName(s, 0));
    showText(m_siteName, s.siteName);
}

}  // namespace waveharm
