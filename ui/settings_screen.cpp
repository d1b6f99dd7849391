#include "ui/settings_screen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "display/error_texts.h"
#include "output/result_writer.h"
#include "settings/interpolation_loss.h"
#include "ui/campaign_view.h"
#include "ui/conversion_progress.h"
#include "ui/wiring_check_dialog.h"

#ifndef WAVEHARM_VERSION
#define WAVEHARM_VERSION "0"
#endif

namespace waveharm {
namespace {

const QString kWindowTitle = "波形データからの高調波測定．設定画面(2018/12/12)";
const QString kLineVoltageTip = "線間電圧を入力した場合にチェックをつけます。";
const QString kInvertTip = "位相を反転させます。";
const QString kClampTip = "レンジ設定値に対する出力電圧は0.2Vで計算します";
const QString kCtTip = "1次電流／2次電流";
const QString kPtTip = "1次電圧／2次電圧";
const QString kShuntTip = "出力電圧／入力電流";

QString indexed(const QString& name, int i) { return name + "_" + QString::number(i); }

QString numberText(double value) { return QString::fromStdString(formatBoxNumber(value)); }

std::string toStd(const QString& s) { return s.toStdString(); }

QLabel* caption(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

QLabel* valueLabel(const QString& name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setMinimumWidth(60);
    return l;
}

QString defaultFileName(QWidget* parent) {
    QFileDialog dialog(parent, "ファイル名設定");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The chosen name is only a stem: the extension follows the harmonic option.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({"すべてのファイル (*.*)", "harm ファイル (*.h*)"});
    dialog.selectNameFilter("harm ファイル (*.h*)");
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void defaultWiringCheck(ConversionSettings& settings, const Recording& recording, QWidget* parent) {
    WiringCheckDialog dialog(settings, recording, parent);
    dialog.exec();
}

}  // namespace

// ---- construction --------------------------------------------------------------------

SettingsScreen::SettingsScreen(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)) {
    setObjectName("Form01");
    setWindowTitle(kWindowTitle);
    m_launchRun = &SettingsScreen::runWithProgressDialog;
    m_chooseFileName = &defaultFileName;
    m_presentWiringCheck = &defaultWiringCheck;
    m_report = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };
    m_endTimer = new QTimer(this);
    m_endTimer->setObjectName("Timer1");

    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(buildFolderGroup(), 3);
    left->addWidget(buildInfoGroup());
    left->addWidget(buildRangeGroup(), 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(buildOptionGroups());
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildChannelGroups());
    right->addWidget(buildConversionGroup());
    right->addWidget(buildOutputGroup());
    right->addStretch();
    columns->addLayout(left, 3);
    columns->addLayout(middle, 2);
    columns->addLayout(right, 3);

    connectHandlers();

    // The screen shows the initial record: one feeder, three-phase 2M, 1024 samples.
    m_feeders->addItem("1");
    m_settings = ConversionSettings{};
    measurementTypeClicked(static_cast<int>(m_settings.measurementType));
    feederCountChosen(1);
    senseKindClicked(0);
    showHarmonicOption();
    showChannelChoice();
    updateStartButton();
}

SettingsScreen::~SettingsScreen() = default;

QButtonGroup* SettingsScreen::radioGroup(QGroupBox* box, const QString& name,
                                         const QStringList& captions, bool vertical) {
    auto* group = new QButtonGroup(box);
    group->setObjectName(name);
    QBoxLayout* layout = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(box))
                                  : static_cast<QBoxLayout*>(new QHBoxLayout(box));
    for (int i = 0; i < captions.size(); ++i) {
        auto* b = new QRadioButton(captions[i], box);
        b->setObjectName(indexed(name, i));
        group->addButton(b, i);
        layout->addWidget(b);
    }
    return group;
}

QLineEdit* SettingsScreen::lineEdit(const QString& name, const QString& text, const QString& tip) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(name);
    e->setToolTip(tip);
    e->setMaximumWidth(90);
    return e;
}

QWidget* SettingsScreen::buildFolderGroup() {
    auto* box = new QGroupBox("入力データフォルダ", this);
    box->setObjectName("FolderGroup");
    m_drive = new QComboBox(box);
    m_drive->setObjectName("Drive1");
    m_drive->setToolTip("ドライブ装置");
    for (const QFileInfo& d : QDir::drives()) m_drive->addItem(d.absoluteFilePath());
    m_dirModel = new QFileSystemModel(box);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_dirModel->setRootPath(QDir::rootPath());
    m_dirs = new QTreeView(box);
    m_dirs->setObjectName("Dir1");
    m_dirs->setToolTip("ディレクトリー");
    m_dirs->setModel(m_dirModel);
    for (int c = 1; c < m_dirModel->columnCount(); ++c) m_dirs->hideColumn(c);
    m_dirs->header()->hide();
    m_pattern = new QLabel("*.MEM", box);
    m_pattern->setObjectName("File1Pattern");
    m_fileList = new QListWidget(box);
    m_fileList->setObjectName("File1");
    m_wev = new QCheckBox("8840(*.wev)", box);
    m_wev->setObjectName("Check4");
    m_notice = new QLabel(box);
    m_notice->setObjectName("Label41");
    m_notice->hide();

    auto* grid = new QGridLayout(box);
    grid->addWidget(m_drive, 0, 0);
    grid->addWidget(m_wev, 0, 1);
    grid->addWidget(m_dirs, 1, 0);
    auto* files = new QVBoxLayout;
    files->addWidget(m_pattern);
    files->addWidget(m_fileList);
    grid->addLayout(files, 1, 1);
    const QStringList listCaptions = {"最初のデータ", "最後のデータ", "ファイル数"};
    auto* list = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        m_listInfo[i] = valueLabel(indexed("Label36", i), box);
        list->addWidget(caption(listCaptions[i], box), i, 0);
        list->addWidget(m_listInfo[i], i, 1);
    }
    grid->addLayout(list, 2, 0, 1, 2);
    grid->addWidget(m_notice, 3, 0, 1, 2);
    return box;
}

QWidget* SettingsScreen::buildInfoGroup() {
    auto* box = new QGroupBox("入力ファイル情報", this);
    box->setObjectName("InfoGroup");
    auto* grid = new QGridLayout(box);
    auto* fileCaption = caption("入力ファイル", box);
    m_inFileName = valueLabel("InFileName", box);
    grid->addWidget(fileCaption, 0, 0);
    grid->addWidget(m_inFileName, 0, 1, 1, 3);
    m_model = valueLabel("Label28_0", box);
    m_tDiv = valueLabel("T_Div", box);
    m_vDiv = valueLabel("V_Div", box);
    for (int i = 0; i < 4; ++i) m_time[i] = valueLabel(indexed("Label15", i), box);
    m_totalSamples = valueLabel("LabASn", box);
    m_rate = valueLabel("Label21", box);
    for (int i = 0; i < 2; ++i) m_trigger[i] = valueLabel(indexed("Label26", i), box);

    const std::vector<std::pair<QString, QLabel*>> rows = {
        {"測定器形式", m_model},       {"測定年月日", m_time[0]},  {"測定開始時間", m_time[1]},
        {"時間軸(/DIV)", m_time[2]},   {"記録長  DIV", m_time[3]}, {"ﾃﾞｰﾀ数 (/DIV)", m_tDiv},
        {"全ｻﾝﾌﾟﾙ数", m_totalSamples}, {"ｻﾝﾌﾟﾘﾝｸﾞ周期", m_rate},   {"ﾌﾟﾘﾄﾘｶﾞ", m_trigger[0]},
        {"記録時間", m_trigger[1]},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = 1 + static_cast<int>(i) / 2;
        const int c = 2 * (static_cast<int>(i) % 2);
        grid->addWidget(caption(rows[i].first, box), r, c);
        grid->addWidget(rows[i].second, r, c + 1);
    }
    grid->addWidget(m_vDiv, 6, 1);
    m_readError = new QLabel(box);
    m_readError->setObjectName("ReadError");
    m_readError->setWordWrap(true);
    m_readError->setStyleSheet("color: #b00000");
    grid->addWidget(m_readError, 7, 0, 1, 4);
    return box;
}

QWidget* SettingsScreen::buildRangeGroup() {
    auto* box = new QGroupBox("入力レンジ(/DIV)", this);
    box->setObjectName("RangeGroup");
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(1);
    for (int s = 0; s < kSlotCount; ++s) {
        m_slotNames[s] = new QLabel("ch" + QString::number(s + 1), box);
        m_slotNames[s]->setObjectName(indexed("Label12", s));
        m_slotRanges[s] = new QLabel("--", box);
        m_slotRanges[s]->setObjectName(indexed("Label14", s));
        m_slotRanges[s]->setEnabled(false);
        const int r = s % 8;
        const int c = 2 * (s / 8);
        grid->addWidget(m_slotNames[s], r, c);
        grid->addWidget(m_slotRanges[s], r, c + 1);
    }
    return box;
}

QWidget* SettingsScreen::buildOptionGroups() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* measurement = new QGroupBox("測定種別", panel);
    measurement->setObjectName("MeasurementGroup");
    m_measurement = radioGroup(measurement, "Option2",
                               {"単相２線", "単相３線", "三相２Ｍ", "三相１Ｍ", "三相３Ｍ"});
    m_measurement->button(2)->setToolTip(
        "三相回路を２電力計法で測定します。出力は三相平均値となります。");
    m_measurement->button(3)->setToolTip("三相の内どれか１相のみで計測する簡易測定法です");
    m_measurement->button(4)->setToolTip(
        "三相の各相別に出力ファイルが作られる最も高精度の測定法です");
    m_measurement->button(2)->setChecked(true);

    auto* samples = new QGroupBox("ｻﾝﾌﾟﾘﾝｸﾞ数", panel);
    samples->setObjectName("SampleCountGroup");
    samples->setToolTip("サンプリング数が多いほど精度が上がります");
    m_samples = radioGroup(samples, "Option1", {"256", "512", "1024"}, false);
    m_samples->button(2)->setChecked(true);

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
    m_interpolation->button(0)->setChecked(true);
    m_interpolationLoss = new QLabel(interpolation);
    m_interpolationLoss->setObjectName("InterpolationLoss");
    m_interpolationLoss->setToolTip(
        "直線補間による49次高調波の振幅誤差（この記録のサンプリング速度）");
    interpolationRows->addWidget(m_interpolationLoss);

    auto* sync = new QGroupBox("同期検出", panel);
    sync->setObjectName("SyncGroup");
    sync->setToolTip("測定電圧にノイズが多いとき固定を選択して下さい");
    m_sync = radioGroup(sync, "Option13", {"ｾﾞﾛｸﾛｽ", "50Hz固定", "60Hz固定", "ﾌｰﾘｴ演算"});
    m_sync->button(0)->setToolTip("標準");
    for (int i = 1; i < 4; ++i)
        m_sync->button(i)->setToolTip("測定電圧にノイズが多いとき指定します");
    m_sync->button(0)->setChecked(true);

    auto* save = new QGroupBox("ﾃﾞｰﾀ保存形式", panel);
    save->setObjectName("SaveModeGroup");
    m_saveMode = radioGroup(save, "Option7", {"平均値", "瞬時値", "電圧歪最大", "電流歪最大"});
    const QStringList saveTips = {
        "保存間隔内にｻﾝﾌﾟﾘﾝｸﾞされたデータを平均化して保存します",
        "保存間隔で指定された時間にｻﾝﾌﾟﾘﾝｸﾞされたデータを保存します",
        "保存間隔内でｻﾝﾌﾟﾘﾝｸﾞされたデータの内、電圧歪みが最大となったときの値を保存します",
        "保存間隔内でｻﾝﾌﾟﾘﾝｸﾞされたデータの内、電流歪みが最大となったときの値を保存します"};
    for (int i = 0; i < 4; ++i) m_saveMode->button(i)->setToolTip(saveTips[i]);
    m_saveMode->button(0)->setChecked(true);

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
    m_harmonic->button(4)->setChecked(true);
    m_perPhase = new QCheckBox("相別出力", option);
    m_perPhase->setObjectName("Check5");
    option->layout()->addWidget(m_perPhase);

    m_phaseBox = new QGroupBox("位相補正", panel);
    m_phaseBox->setObjectName("PhaseGroup");
    m_phase =
        radioGroup(m_phaseBox, "Option9", {"-９０", "-３０", "　０", "+３０", "+９０"}, false);
    for (int i = 0; i < 5; ++i)
        m_phase->button(i)->setToolTip("線間電圧に対する測定電流の位相差を指定します。");
    m_phase->button(2)->setChecked(true);

    for (QWidget* w : {static_cast<QWidget*>(measurement), static_cast<QWidget*>(samples),
                       static_cast<QWidget*>(interpolation), static_cast<QWidget*>(sync),
                       static_cast<QWidget*>(save), static_cast<QWidget*>(option),
                       static_cast<QWidget*>(m_phaseBox)})
        layout->addWidget(w);
    return panel;
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

    // Several feeders: fixed channel pairs, per-feeder inversion and line-voltage input.
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
    layout->addWidget(m_channelsSeveral);

    // One feeder: each quantity on any of the first four channels.
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
    layout->addWidget(m_channelsOne);
    return panel;
}

QWidget* SettingsScreen::buildConversionGroup() {
    auto* box = new QGroupBox("入力変換値", this);
    box->setObjectName("ConversionGroup");
    auto* layout = new QVBoxLayout(box);

    m_pt = lineEdit("Text2", "60", kPtTip);
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
    m_senseKind->button(0)->setChecked(true);
    one->addWidget(kindBox, 0, 0, 1, 3);
    m_sense[0] = lineEdit("Text1_0", "0.1", kShuntTip);
    m_sense[1] = lineEdit("Text1_1", "2", kClampTip);
    m_senseCaptions[0] = caption("ｼｬﾝﾄ抵抗", m_conversionOne);
    m_senseCaptions[1] = caption("ｸﾗﾝﾌﾟﾚﾝｼﾞ", m_conversionOne);
    const QStringList units = {"Ω", "A"};
    for (int i = 0; i < 2; ++i) {
        one->addWidget(m_senseCaptions[i], 1 + i, 0);
        one->addWidget(m_sense[i], 1 + i, 1);
        one->addWidget(caption(units[i], m_conversionOne), 1 + i, 2);
    }
    m_ct = lineEdit("Text3", "1", kCtTip);
    one->addWidget(caption("CT比", m_conversionOne), 3, 0);
    one->addWidget(m_ct, 3, 1);
    layout->addWidget(m_conversionOne);

    m_conversionSeveral = new QWidget(box);
    m_conversionSeveral->setObjectName("ConversionSeveral");
    auto* several = new QGridLayout(m_conversionSeveral);
    several->setContentsMargins(0, 0, 0, 0);
    several->setVerticalSpacing(1);
    several->addWidget(caption("CT比", m_conversionSeveral), 0, 1);
    several->addWidget(caption("ｸﾗﾝﾌﾟﾚﾝｼﾞ", m_conversionSeveral), 0, 2);
    for (int f = 0; f < kMaxFeeders; ++f) {
        m_feederCaptions[f] = caption("ﾌｨｰﾀﾞ" + QString::number(f + 1), m_conversionSeveral);
        m_feederCaptions[f]->setObjectName(indexed("FeederCaption", f));
        m_feederCt[f] = lineEdit(indexed("Text10", f), "1", kCtTip);
        m_feederClamp[f] = lineEdit(indexed("Text11", f), "2", kClampTip);
        several->addWidget(m_feederCaptions[f], f + 1, 0);
        several->addWidget(m_feederCt[f], f + 1, 1);
        several->addWidget(m_feederClamp[f], f + 1, 2);
    }
    layout->addWidget(m_conversionSeveral);
    return box;
}

QWidget* SettingsScreen::buildOutputGroup() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    m_timeOffset = lineEdit("Text4", "0", "");
    grid->addWidget(caption("時差補正", panel), 0, 0);
    grid->addWidget(m_timeOffset, 0, 1);
    m_underOneMinute = new QCheckBox("１分未満　データ出力", panel);
    m_underOneMinute->setObjectName("Check3");
    grid->addWidget(m_underOneMinute, 0, 2);
    m_outputName = valueLabel("Label7", panel);
    m_outputName->setMinimumWidth(200);
    grid->addWidget(caption("出力ファイル", panel), 1, 0);
    grid->addWidget(m_outputName, 1, 1, 1, 2);
    m_chooseName = new QPushButton("ファイル名設定", panel);
    m_chooseName->setObjectName("Command10");
    m_start = new QPushButton("データ変換開始", panel);
    m_start->setObjectName("Command4");
    m_end = new QPushButton("終　　了", panel);
    m_end->setObjectName("Command5");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_chooseName);
    buttons->addWidget(m_start);
    buttons->addWidget(m_end);
    // The campaign view reads the result files of earlier runs: it opens on the
    // chosen result file when that exists.
    auto* campaign = new QPushButton("キャンペーン集計", panel);
    campaign->setObjectName("CampaignButton");
    connect(campaign, &QPushButton::clicked, this, [this] {
        const QString name = QString::fromStdString(m_settings.outputFileName);
        showCampaignView(
            !name.isEmpty() && QFileInfo(name).isFile() ? QStringList{name} : QStringList{}, this);
    });
    buttons->addWidget(campaign);
    grid->addLayout(buttons, 2, 0, 1, 3);
    return panel;
}

void SettingsScreen::connectHandlers() {
    // The folder tree fills in the background: show the input folder once it is there.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QModelIndex index = m_dirModel->index(m_folder);
        if (!index.isValid() || !m_folder.startsWith(loaded)) return;
        m_dirs->setCurrentIndex(index);
        m_dirs->scrollTo(index, QAbstractItemView::PositionAtCenter);
    });
    connect(m_drive, &QComboBox::activated, this,
            [this](int i) { setInputFolder(m_drive->itemText(i)); });
    connect(m_dirs, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { setInputFolder(m_dirModel->filePath(index)); });
    connect(m_fileList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { selectInputFile(item->text()); });
    connect(m_wev, &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.wevFiles = checked;
        m_pattern->setText(checked ? "*.wav" : "*.mem");
        scanFolder(m_folder);
    });

    connect(m_samples, &QButtonGroup::idClicked, this, &SettingsScreen::sampleCountClicked);
    connect(m_interpolation, &QButtonGroup::idClicked, this,
            [this](int i) { m_settings.interpolation = static_cast<InterpolationMode>(i); });
    connect(m_measurement, &QButtonGroup::idClicked, this, &SettingsScreen::measurementTypeClicked);
    for (int q = 0; q < 4; ++q) {
        connect(m_choosers[q], &QButtonGroup::idClicked, this,
                [this, q](int i) { channelClicked(static_cast<ChosenQuantity>(q), i); });
    }
    connect(m_saveMode, &QButtonGroup::idClicked, this,
            [this](int i) { m_settings.saveMode = saveModeForButton(i); });
    connect(m_harmonic, &QButtonGroup::idClicked, this, &SettingsScreen::harmonicOptionClicked);
    connect(m_phase, &QButtonGroup::idClicked, this,
            [this](int i) { m_settings.setPhaseCorrectionIndex(i); });
    connect(m_senseKind, &QButtonGroup::idClicked, this, &SettingsScreen::senseKindClicked);
    connect(m_sync, &QButtonGroup::idClicked, this,
            [this](int i) { m_settings.syncMode = static_cast<SyncMode>(i); });

    for (int i = 0; i < 16; ++i) {
        connect(m_feederInputs[i], &QCheckBox::clicked, this, [this, i] { feederInputClicked(i); });
    }
    connect(m_swap, &QCheckBox::clicked, this, [this](bool checked) {
        m_settings.swapVoltages = checked;
        readCurrentFile(false);
    });
    for (int k = 0; k < 2; ++k) {
        connect(m_invertVoltage[k], &QCheckBox::clicked, this, [this, k](bool checked) {
            m_settings.invertVoltage[k] = checked;
            readCurrentFile(false);
        });
    }
    connect(m_underOneMinute, &QCheckBox::clicked, this,
            [this](bool checked) { m_settings.outputUnderOneMinute = checked; });

    for (int i = 0; i < 2; ++i) {
        connect(m_sense[i], &QLineEdit::editingFinished, this, [this, i] { senseBoxLeft(i); });
    }
    connect(m_pt, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (auto v = positiveValue(RatioBox::PtRatio, toStd(text)))
            m_settings.ptRatio = static_cast<std::int16_t>(*v);
    });
    connect(m_pt, &QLineEdit::editingFinished, this, [this] {
        m_pt->setText(QString::fromStdString(restoredText(RatioBox::PtRatio, toStd(m_pt->text()))));
    });
    connect(m_ct, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (auto v = positiveValue(RatioBox::CtRatio, toStd(text)))
            m_settings.ctRatio[0] = static_cast<float>(*v);
    });
    connect(m_ct, &QLineEdit::editingFinished, this, [this] {
        m_ct->setText(QString::fromStdString(restoredText(RatioBox::CtRatio, toStd(m_ct->text()))));
    });
    for (int f = 0; f < kMaxFeeders; ++f) {
        connect(m_feederCt[f], &QLineEdit::textChanged, this, [this, f](const QString& text) {
            if (auto v = positiveValue(RatioBox::CtRatio, toStd(text)))
                m_settings.ctRatio[f] = static_cast<float>(*v);
        });
        connect(m_feederCt[f], &QLineEdit::editingFinished, this, [this, f] {
            FeederTexts texts;
            for (int g = 0; g < kMaxFeeders; ++g) texts[g] = toStd(m_feederCt[g]->text());
            copyCtRatioDown(m_settings, texts, f);
            for (int g = f; g < kMaxFeeders; ++g)
                m_feederCt[g]->setText(QString::fromStdString(texts[g]));
        });
        connect(m_feederClamp[f], &QLineEdit::textChanged, this, [this, f](const QString& text) {
            if (auto v = positiveValue(RatioBox::FeederClamp, toStd(text)))
                m_settings.currentSenseOhms[f] = clampRangeToSenseOhms(*v);
        });
        connect(m_feederClamp[f], &QLineEdit::editingFinished, this, [this, f] {
            FeederTexts texts;
            for (int g = 0; g < kMaxFeeders; ++g) texts[g] = toStd(m_feederClamp[g]->text());
            copyClampRangeDown(m_settings, texts, f);
            for (int g = f; g < kMaxFeeders; ++g)
                m_feederClamp[g]->setText(QString::fromStdString(texts[g]));
        });
    }
    connect(m_timeOffset, &QLineEdit::textChanged, this, [this](const QString& text) {
        double hours = 0;
        if (!parseTimeOffsetHours(toStd(text), hours)) return;
        m_settings.timeOffset = toStd(text);
        readCurrentFile(false);
    });
    connect(m_timeOffset, &QLineEdit::editingFinished, this, [this] {
        double hours = 0;
        if (!parseTimeOffsetHours(toStd(m_timeOffset->text()), hours)) m_timeOffset->setText("0");
    });

    connect(m_feeders, &QComboBox::activated, this, [this](int i) { feederCountChosen(i + 1); });
    connect(m_chooseName, &QPushButton::clicked, this, &SettingsScreen::chooseOutputFile);
    connect(m_start, &QPushButton::clicked, this, &SettingsScreen::startConversion);
    connect(m_end, &QPushButton::clicked, this, &QWidget::close);
    connect(m_endTimer, &QTimer::timeout, this, [this] {
        m_endTimer->stop();
        m_end->setEnabled(true);
    });
}

// ---- start-up -------------------------------------------------------------------------

QString SettingsScreen::aboutText() {
    const QStringList lines = {
        "このソフトは、HIOKIﾒﾓﾘｰﾊｲｺｰﾀﾞ8808-8835-8841-8880-8861-MR8847-MR8880で測定し、"
        "フラッシュメモリーやＭＯ等にセーブした波形データファイル(バイナリ形式)から、"
        "高調波を解析するソフトです。",
        "このソフトを使用すると測定時はメモリーハイコーダのみで測定が可能です。",
        "低次の高調波測定では、測定器の時間軸は10～2ms/DIVに設定してください。",
        "高次の高調波測定では、測定器の時間軸は2ms/DIV～400us/DIVに設定してください。",
        "記録長は40ms程度以上に設定してください。",
        "電圧・電流の入力はch1とch2に線間電圧がＶ接続になるよう入力し(｢－｣端が共通)、"
        "電流は７回路まで測定でき、"
        "電圧測定チャンネル(ch1とch2)の｢＋｣側測定相にch3とch4、ch5とch6、ch7とch8･････"
        "ch15とch16にそれぞれ二電力計法となるよう接続します。",
        "トリガーはch1のupで設定し、プリトリガーを2%とします。AND条件で時間トリガーを設定します。",
        "時間トリガーは、測定開始時に開始時間を超えていると測定を行わないので十分注意してください"
        "。",
        "測定データはディレクトリーを作って同一フォルダーにまとめて保存してください。",
        "",
        QString("waveharm ") + WAVEHARM_VERSION,
    };
    return lines.join("\n");
}

void SettingsScreen::start() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
    show();
    const bool suppressed = qEnvironmentVariable("WAVEHARM_NO_ABOUT") == "1";
    if (m_options.showAbout && !suppressed) {
        QMessageBox about(QMessageBox::NoIcon, "ソフトウェアについて", aboutText(), QMessageBox::Ok,
                          this);
        about.exec();
    }
    setInputFolder(m_options.startFolder.isEmpty() ? QDir::currentPath() : m_options.startFolder);
}

void SettingsScreen::setInputFolder(const QString& folder) {
    const QString path = QDir(folder).absolutePath();
    const QModelIndex index = m_dirModel->index(path);
    if (index.isValid()) {
        m_dirs->setCurrentIndex(index);
        m_dirs->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    scanFolder(path);
}

void SettingsScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QCoreApplication::quit();
}

void SettingsScreen::holdEndButton(int milliseconds) {
    m_end->setEnabled(false);
    m_endTimer->start(milliseconds);
}

// ---- the input folder and the current recording ---------------------------------------

void SettingsScreen::fillFileList() {
    m_fileList->clear();
    QDir dir(m_folder);
    const QStringList patterns =
        m_settings.wevFiles ? QStringList{"*.wav", "*.wev"} : QStringList{"*.mem"};
    dir.setNameFilters(patterns);
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    m_fileList->addItems(dir.entryList());
}

void SettingsScreen::scanFolder(const QString& folder) {
    m_folder = folder;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_notice->setText("日時データロード中");
    m_notice->show();
    QStringList notes;
    try {
        m_files = waveharm::scanFolder(std::filesystem::path(toStd(folder)), m_settings.wevFiles);
    } catch (const InputError& e) {
        m_files = WaveformFileList{};
        m_files.folder = std::filesystem::path(toStd(folder));
        notes << QString::fromStdString(readErrorMessage(e.kind(), e.file(), e.offset(), ""));
    } catch (const std::exception&) {
        m_files = WaveformFileList{};
        m_files.folder = std::filesystem::path(toStd(folder));
        notes << QString("フォルダを読めません：%1").arg(folder);
    }
    for (const auto& r : m_files.renamed) notes << QString::fromStdString(r);
    for (const auto& p : m_files.problems) notes << QString::fromStdString(p);
    fillFileList();

    if (m_files.count() <= 1) {
        m_listInfo[0]->clear();
        m_listInfo[1]->clear();
        m_currentFileName.clear();
        readCurrentFile(true);
    } else {
        m_notice->setText("初期データロード中");
        m_listInfo[0]->setText(QString::fromStdString(m_files.firstStartText()));
        m_listInfo[1]->setText(QString::fromStdString(m_files.lastStartText()));
        // The earliest readable recording becomes current; unreadable ones sort first.
        m_currentFileName = m_files.names[std::max(0, m_files.firstDatedIndex())];
        readCurrentFile(true);
    }
    m_listInfo[2]->setText(QString::number(m_files.count()));
    if (!notes.isEmpty()) m_readError->setText(notes.join("\n"));
    m_notice->hide();
    QApplication::restoreOverrideCursor();
}

void SettingsScreen::selectInputFile(const QString& name) {
    m_currentFileName = toStd(name);
    readCurrentFile(false);
}

void SettingsScreen::readCurrentFile(bool fromScan) {
    m_inFileName->setText(QString::fromStdString(m_currentFileName));
    m_readError->clear();
    if (m_currentFileName.empty()) {
        m_recording.reset();
        clearRecordingInfo();
        updateStartButton();
        return;
    }
    const std::filesystem::path path =
        std::filesystem::path(toStd(m_folder)) / std::filesystem::path(m_currentFileName);
    try {
        Recording recording = readRecording(path, ReadOptions::from(m_settings));
        m_recording = std::move(recording);
        showRecordingInfo(m_recording->header);
        refillFeederCounts(m_recording->header, fromScan);
    } catch (const InputError& e) {
        // No samples are kept under another file's description.
        m_recording.reset();
        clearRecordingInfo();
        m_readError->setText(QString::fromStdString(
            readErrorMessage(e.kind(), m_currentFileName, e.offset(), e.reason())));
    } catch (const std::exception&) {
        m_recording.reset();
        clearRecordingInfo();
        m_readError->setText(
            QString("読み込めないファイルです：%1").arg(QString::fromStdString(m_currentFileName)));
    }
    updateStartButton();
}

void SettingsScreen::showRecordingInfo(const RecorderFileHeader& h) {
    m_model->setText(QString::fromStdString(h.model));
    m_tDiv->setText(numberText(h.pointsPerDiv));
    m_vDiv->setText(numberText(h.countsPerDiv));
    m_time[0]->setText(QString::fromStdString(h.dateText()));
    m_time[1]->setText(QString::fromStdString(h.timeText()));
    m_time[2]->setText(QString::fromStdString(h.timeAxisText));
    m_time[3]->setText(QString::fromStdString(h.recordLengthText));
    m_totalSamples->setText(QString::number(h.totalSamples));
    m_rate->setText(numberText(h.samplingRateKHz));
    m_interpolationLoss->setText(QString::fromStdString(linearLossText(h.samplingRateKHz)));
    m_trigger[0]->setText(numberText(h.pretrigger));
    m_trigger[1]->setText(numberText(h.recordTimeMs));
    for (int s = 0; s < kSlotCount; ++s) {
        m_slotNames[s]->setText(QString::fromStdString(h.slots[s].name));
        m_slotRanges[s]->setText(QString::fromStdString(h.slots[s].rangeText));
        m_slotRanges[s]->setEnabled(h.slots[s].channelInUse);
    }
    for (int s = 0; s < 4; ++s) {
        const QString name = QString::fromStdString(h.slots[s].name);
        for (int q = 0; q < 4; ++q) m_choosers[q]->button(s)->setText(name);
    }
}

void SettingsScreen::clearRecordingInfo() {
    for (QLabel* l : {m_model, m_tDiv, m_vDiv, m_totalSamples, m_rate, m_trigger[0], m_trigger[1],
                      m_time[0], m_time[1], m_time[2], m_time[3], m_interpolationLoss})
        l->clear();
    for (QLabel* l : m_slotRanges) l->clear();
}

void SettingsScreen::refillFeederCounts(const RecorderFileHeader& header, bool fromScan) {
    // The analysis handles the currents of at most seven feeders.
    const int offered =
        std::clamp(maxFeederCount(header, m_settings.measurementType), 1, kMaxChannelFeeders);
    const int current = m_settings.feederCount;
    const int selected = fromScan ? offered : std::min(current, offered);
    {
        const QSignalBlocker block(m_feeders);
        m_feeders->clear();
        for (int n = 1; n <= offered; ++n) m_feeders->addItem(QString::number(n));
        m_feeders->setCurrentIndex(selected - 1);
    }
    if (fromScan || selected != current)
        feederCountChosen(selected);
    else
        showFeederLabels();
}

// ---- handlers -------------------------------------------------------------------------

void SettingsScreen::sampleCountClicked(int i) { m_settings.setSampleCount(256 << i); }

void SettingsScreen::measurementTypeClicked(int i) {
    const auto type = static_cast<MeasurementType>(i);
    const MeasurementTypeEffects e = applyMeasurementType(m_settings, type);
    for (const int q : {1, 3}) m_chooserFrames[q]->setEnabled(e.tPhaseChoosersEnabled);
    m_phaseBox->setEnabled(e.phaseCorrectionEnabled);
    m_phase->button(m_settings.phaseCorrectionIndex)->setChecked(true);
    m_measurement->button(i)->setChecked(true);
    showChannelChoice();
    // The channels per feeder change the feeder counts the recording offers.
    readCurrentFile(false);
    showFeederLabels();
}

void SettingsScreen::channelClicked(ChosenQuantity q, int i) {
    chooseChannel(m_settings, q, i + 1);
    showChannelChoice();
}

void SettingsScreen::harmonicOptionClicked(int i) {
    m_settings.setHarmonicOption(static_cast<HarmonicOption>(i));
    showHarmonicOption();
    applyOutputName();
}

void SettingsScreen::senseKindClicked(int i) {
    for (int k = 0; k < 2; ++k) {
        m_sense[k]->setEnabled(k == i);
        m_senseCaptions[k]->setEnabled(k == i);
    }
}

void SettingsScreen::feederInputClicked(int i) {
    const bool checked = m_feederInputs[i]->isChecked();
    // The first feeder's boxes appear in both channel groups and always agree.
    if (i <= 1) m_feederInputs[i + 14]->setChecked(checked);
    if (i >= 14) m_feederInputs[i - 14]->setChecked(checked);
    const int box = i >= 14 ? i - 14 : i;
    const int feeder = box / 2;
    if (box % 2 == 0)
        m_settings.invertCurrent[feeder] = checked;
    else
        m_settings.lineVoltageInput[feeder] = checked;
    m_settings.channelSettingsChanged = true;
}

void SettingsScreen::senseBoxLeft(int i) {
    const std::string text = toStd(m_sense[i]->text());
    const SenseTexts t = i == 1 ? applyClampRange(m_settings, text) : applyShunt(m_settings, text);
    m_sense[0]->setText(QString::fromStdString(t.shunt));
    m_sense[1]->setText(QString::fromStdString(t.clamp));
}

void SettingsScreen::feederCountChosen(int n) {
    const FeederCountEffects e = applyFeederCount(m_settings, n);
    n = m_settings.feederCount;
    m_channelsSeveral->setVisible(e.severalFeeders);
    m_channelsOne->setVisible(!e.severalFeeders);
    m_conversionSeveral->setVisible(e.severalFeeders);
    m_conversionOne->setVisible(!e.severalFeeders);
    for (int i = 0; i < 5; ++i) m_harmonic->button(i)->setEnabled(e.harmonicOptionEnabled[i]);
    m_saveMode->button(3)->setEnabled(e.currentThdMaxEnabled);
    m_saveMode->button(buttonForSaveMode(m_settings.saveMode))->setChecked(true);
    for (int f = 0; f < kMaxFeeders; ++f) {
        const bool on = e.feederEnabled[f];
        m_feederCaptions[f]->setEnabled(on);
        m_feederCt[f]->setEnabled(on);
        m_feederClamp[f]->setEnabled(on);
        m_channelLabels[f + 1]->setEnabled(on);
    }
    if (n - 1 < m_feeders->count()) {
        const QSignalBlocker block(m_feeders);
        m_feeders->setCurrentIndex(n - 1);
    }
    showHarmonicOption();
    showChannelChoice();
    showFeederLabels();
    applyVisibleConversionTexts();
    applyOutputName();
}

void SettingsScreen::chooseOutputFile() {
    const QString chosen = m_chooseFileName(this);
    if (chosen.isEmpty()) return;
    m_chosenName = toStd(chosen);
    applyOutputName();
}

void SettingsScreen::startConversion() {
    if (m_currentFileName.empty()) return;
    // The screen stays busy while the check is open; the check's own window does not.
    setCursor(Qt::WaitCursor);
    // The check must see the samples as the current channel settings read them.
    readCurrentFile(false);
    if (!m_recording) {
        unsetCursor();
        m_report(windowTitle(), m_readError->text());
        return;
    }
    m_presentWiringCheck(m_settings, *m_recording, this);
    unsetCursor();
    if (!m_settings.wiringConfirmed) return;
    if (m_files.count() == 0) {
        m_settings.wiringConfirmed = false;
        m_report(windowTitle(), "変換する記録がフォルダにありません。");
        return;
    }
    // The run starts from the earliest recording.
    m_currentFileName = m_files.names[0];
    readCurrentFile(false);
    hide();
    m_launchRun(*this);
    // One confirmation starts one run; the next start asks again.
    m_settings.wiringConfirmed = false;
}

void SettingsScreen::runWithProgressDialog(SettingsScreen& screen) {
    auto* run = new ConversionProgress(screen.settings(), screen.files(), &screen);
    connect(run, &ConversionProgress::finished, &screen, [&screen, run](const QString& message) {
        screen.show();
        screen.report("データ変換", message);
        run->deleteLater();
    });
    run->start();
}

// ---- showing the settings -------------------------------------------------------------

void SettingsScreen::showChannelChoice() {
    for (int q = 0; q < 4; ++q) {
        const int channel = m_settings.channelMap[q];
        QButtonGroup* group = m_choosers[q];
        if (channel >= 1 && channel <= 4) {
            group->button(channel - 1)->setChecked(true);
            continue;
        }
        group->setExclusive(false);
        for (QAbstractButton* b : group->buttons()) b->setChecked(false);
        group->setExclusive(true);
    }
}

void SettingsScreen::showHarmonicOption() {
    m_harmonic->button(static_cast<int>(m_settings.harmonicOption))->setChecked(true);
    // 256 orders need 1024 samples.
    const bool freeCount = m_settings.harmonicOption != HarmonicOption::HighOrder256;
    m_samples->button(0)->setEnabled(freeCount);
    m_samples->button(1)->setEnabled(freeCount);
    m_samples->button(m_settings.sampleCountLog2 - 8)->setChecked(true);
}

std::array<std::string, 16> SettingsScreen::channelNames() const {
    std::array<std::string, 16> names;
    for (int s = 0; s < 16; ++s)
        names[s] = m_recording ? m_recording->header.slots[s].name : "ch" + std::to_string(s + 1);
    return names;
}

void SettingsScreen::showFeederLabels() {
    const auto labels =
        feederChannelLabels(m_settings.measurementType, m_settings.feederCount, channelNames());
    for (int f = 0; f < kChannelLabelCount; ++f)
        m_channelLabels[f]->setText(QString::fromStdString(labels[f]));
}

void SettingsScreen::applyVisibleConversionTexts() {
    // The boxes shown are the ones the run uses: after the groups are exchanged the
    // settings take the values of the boxes now on screen.
    auto settle = [](QLineEdit* box, RatioBox kind) {
        const std::string text = restoredText(kind, toStd(box->text()));
        box->setText(QString::fromStdString(text));
        return *positiveValue(kind, text);
    };
    if (m_settings.feederCount == 1) {
        m_settings.ctRatio[0] = static_cast<float>(settle(m_ct, RatioBox::CtRatio));
        m_settings.currentSenseOhms[0] = static_cast<float>(settle(m_sense[0], RatioBox::Shunt));
        return;
    }
    for (int f = 0; f < kMaxFeeders; ++f) {
        m_settings.ctRatio[f] = static_cast<float>(settle(m_feederCt[f], RatioBox::CtRatio));
        m_settings.currentSenseOhms[f] =
            clampRangeToSenseOhms(settle(m_feederClamp[f], RatioBox::FeederClamp));
    }
}

void SettingsScreen::applyOutputName() {
    if (!m_chosenName.empty()) {
        m_settings.outputFileName = outputFileNameFor(m_chosenName, m_settings.outputExtension);
        m_outputName->setText(QString::fromStdString(m_settings.outputFileName));
    }
    updateStartButton();
}

void SettingsScreen::updateStartButton() {
    m_start->setEnabled(!m_currentFileName.empty() && m_recording.has_value() &&
                        !m_settings.outputFileName.empty());
}

}  // namespace waveharm
