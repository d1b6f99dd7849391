#include "ui/settings_screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

#include "display/session_texts.h"
#include "ui/analysis_launch.h"
#include "ui/settings_screen_parts.h"
#include "ui/window_fit.h"
#include "ui/wiring_check_dialog.h"

#ifndef WAVEHARM_VERSION
#define WAVEHARM_VERSION "0"
#endif

namespace waveharm {

using namespace screen;

namespace {

const QString kWindowTitle = "波形データからの高調波測定．設定画面(2018/12/12)";

}  // namespace

namespace screen {

QLabel* valueLabel(const QString& name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setMinimumWidth(60);
    return l;
}

QButtonGroup* radioGroup(QGroupBox* box, const QString& name, const QStringList& captions,
                         bool vertical) {
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

void check(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id)) b->setChecked(true);
}

void showText(QLineEdit* edit, const std::string& text) {
    const QString shown = qText(text);
    if (edit->text() == shown) return;
    const QSignalBlocker block(edit);
    edit->setText(shown);
}

}  // namespace screen

SettingsScreen::SettingsScreen(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)) {
    setObjectName("Form01");
    setWindowTitle(kWindowTitle);
    m_launchRun = [](SettingsScreen& s) { launchAnalysisWindow(s); };
    m_chooseFileName = &chooseResultFileName;
    m_presentWiringCheck = [this](const ConversionSettings& settings, const Recording& recording,
                                  QWidget* owner) {
        WiringCheckDialog dialog(settings, recording, owner);
        // A finding's fix goes through the session's rules, as a click on its box would,
        // and the screen shows the changed settings.
        dialog.setFixApplier([this](const WiringFix& fix) {
            m_session.applyWiringFix(fix);
            const Recording* again = m_session.recordingForCheck();
            showSession();
            return again;
        });
        return dialog.exec() == QDialog::Accepted;
    };
    m_report = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };

    // Four columns fit every group on a 1366 × 768 screen; a smaller screen scrolls.
    auto* content = new QWidget;
    content->setObjectName("SettingsContent");
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(6, 4, 6, 4);
    auto* left = new QVBoxLayout;
    left->addWidget(buildFolderGroup(), 3);
    left->addWidget(buildInfoGroup());
    const std::array<QWidget*, 2> optionColumns = buildOptionColumns();
    // The input ranges below the wiring type and the transform.
    auto* second = new QVBoxLayout;
    second->addWidget(optionColumns[0]);
    second->addWidget(buildRangeGroup());
    second->addStretch();
    // The site and the result file beside the options they go with; the wiring and
    // scaling of up to nine feeders on the right.
    auto* third = new QVBoxLayout;
    third->addWidget(optionColumns[1]);
    third->addWidget(buildSiteGroup());
    third->addWidget(buildOutputGroup());
    third->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildChannelGroups());
    right->addWidget(buildRecordGroup());
    right->addWidget(buildConversionGroup());
    right->addStretch();
    columns->addLayout(left, 4);
    columns->addLayout(second, 2);
    columns->addLayout(third, 3);
    columns->addLayout(right, 4);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("SettingsScroll");
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    connectFolderGroup();
    connectOptionGroups();
    connectChannelGroups();
    connectRecordGroup();
    connectConversionGroup();
    connectOutputGroup();
    connectKeys();

    // The screen shows the initial record: one feeder, three-phase 2M, 1024 samples.
    m_session.chooseFeederCount(1);
    showSession();
}

SettingsScreen::~SettingsScreen() = default;

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
    fitToScreen();
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().topLeft());
    show();
    const bool suppressed = qEnvironmentVariable("WAVEHARM_NO_ABOUT") == "1" ||
                            store().value("startup/hideAbout", false).toBool();
    if (m_options.showAbout && !suppressed) {
        QMessageBox about(QMessageBox::NoIcon, "ソフトウェアについて", aboutText(), QMessageBox::Ok,
                          this);
        auto* hide = new QCheckBox("次回から表示しない", &about);
        hide->setObjectName("HideAbout");
        about.setCheckBox(hide);
        about.exec();
        if (hide->isChecked()) store().setValue("startup/hideAbout", true);
    }
    // The folder named on the command line, else the last run's, else the current one.
    QString folder = m_options.startFolder;
    const QString last = remembered("folders/input");
    if (folder.isEmpty() && !last.isEmpty() && QFileInfo(last).isDir()) folder = last;
    setInputFolder(folder.isEmpty() ? QDir::currentPath() : folder);
    // The last profile applies again; one that no longer reads is forgotten.
    const QString profile = remembered("profile/last");
    if (!profile.isEmpty() && QFileInfo(profile).isFile() && !openProfileFrom(profile))
        remember("profile/last", {});
}

QSettings& SettingsScreen::store() {
    if (!m_store) {
        m_store = m_options.storeFile.isEmpty()
                      ? std::make_unique<QSettings>("waveharm", "waveharm")
                      : std::make_unique<QSettings>(m_options.storeFile, QSettings::IniFormat);
    }
    return *m_store;
}

void SettingsScreen::remember(const QString& key, const QString& value) {
    store().setValue(key, value);
}

QString SettingsScreen::remembered(const QString& key) const {
    return const_cast<SettingsScreen*>(this)->store().value(key).toString();
}

void SettingsScreen::fitToScreen() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    // Room for every group without scrolling, as far as the screen allows.
    QSize wanted = m_scroll->widget()->sizeHint();
    wanted += QSize(m_scroll->verticalScrollBar()->sizeHint().width(), 0);
    const QSize size = fittedSize(wanted.expandedTo(this->size()), minimumSizeHint(),
                                  screen->availableGeometry().size(), windowFrameMargins(*this));
    if (size != this->size()) resize(size);
}

void SettingsScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window moved before the window manager framed it may have its title bar above
    // the screen: keep the frame within the available area.
    const QScreen* screen = this->screen();
    if (!screen || !isWindow()) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    if (frame.top() < area.top() || frame.left() < area.left())
        move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

void SettingsScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the main window ends the program, whatever else is open.
    QCoreApplication::quit();
}

void SettingsScreen::setInputFolder(const QString& folder) {
    const QString absolute = QDir(folder).absolutePath();
    scanFolder(absolute);
    if (QFileInfo(absolute).isDir()) remember("folders/input", absolute);
}

void SettingsScreen::selectInputFile(const QString& name) {
    m_session.selectFile(name.toStdString());
    showSession();
}

void SettingsScreen::showSession() {
    showFileList();
    showRecordingInfo();
    showFeederCounts();
    showOptions();
    showChannels();
    showRecordMap();
    showTexts();
    showOutput();
}

void SettingsScreen::startConversion() {
    if (!m_session.canStart()) return;
    if (!confirmResultFiles()) return;
    // The screen stays busy while the check is open; the check's own window does not.
    setCursor(Qt::WaitCursor);
    const Recording* recording = m_session.recordingForCheck();
    showSession();
    if (!recording) {
        unsetCursor();
        m_report(windowTitle(),
                 m_session.readError() ? qText(sessionNoteText(*m_session.readError())) : "");
        return;
    }
    // A record's quantities are volts and amperes in their own slots: the check scales
    // them as the run will. The recorder's settings are passed as the session holds them,
    // so that the check sees a fix applied from it.
    const bool records = m_session.settings().records.format != RecordFormat::Recorder;
    const ConversionSettings recordSettings =
        records ? m_session.analysisSettings() : ConversionSettings{};
    const bool confirmed =
        m_presentWiringCheck(records ? recordSettings : m_session.settings(), *recording, this);
    unsetCursor();
    if (!confirmed) return;
    if (!m_session.wiringConfirmed()) {
        m_report(windowTitle(), qText(kNothingToConvert));
        return;
    }
    showSession();
    hide();
    m_launchRun(*this);
}

}  // namespace waveharm
