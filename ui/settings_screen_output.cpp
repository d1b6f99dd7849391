// The settings screen's output side: the time-difference correction, the result file
// name and the commands that start a run and end the program.

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>

#include "base/utf8_path.h"
#include "display/error_texts.h"
#include "output/result_writer.h"
#include "ui/campaign_view.h"
#include "ui/settings_screen.h"
#include "ui/settings_screen_parts.h"

namespace waveharm {

using namespace screen;

namespace screen {

QString chooseResultFileName(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, "ファイル名設定", folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The chosen name is only a stem: the extension follows the harmonic option.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({"すべてのファイル (*.*)", "harm ファイル (*.h*)"});
    dialog.selectNameFilter("harm ファイル (*.h*)");
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

OverwriteAnswer askOverwrite(QWidget* parent, const std::vector<std::string>& existing) {
    QString files;
    for (const std::string& name : existing) files += "\n　" + qText(name);
    QMessageBox box(QMessageBox::Warning, "ファイル名設定",
                    "次の結果ファイルは既にあります。上書きすると、その結果は失われます。\n" +
                        files + "\n\n上書きしますか？",
                    QMessageBox::NoButton, parent);
    box.setObjectName("OverwriteQuestion");
    QPushButton* overwrite = box.addButton("上書き", QMessageBox::DestructiveRole);
    overwrite->setObjectName("OverwriteButton");
    QPushButton* other = box.addButton("別の名前…", QMessageBox::AcceptRole);
    other->setObjectName("OtherNameButton");
    QPushButton* cancel = box.addButton("キャンセル", QMessageBox::RejectRole);
    cancel->setObjectName("CancelButton");
    // Only a deliberate press replaces results: Enter chooses another name.
    box.setDefaultButton(other);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == overwrite) return OverwriteAnswer::Overwrite;
    if (box.clickedButton() == other) return OverwriteAnswer::OtherName;
    return OverwriteAnswer::Cancel;
}

}  // namespace screen

QWidget* SettingsScreen::buildOutputGroup() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    m_timeOffset = lineEdit("Text4", "");
    grid->addWidget(caption("時差補正", panel), 0, 0);
    grid->addWidget(m_timeOffset, 0, 1);
    m_underOneMinute = new QCheckBox("１分未満　データ出力", panel);
    m_underOneMinute->setObjectName("Check3");
    grid->addWidget(m_underOneMinute, 0, 2);
    m_outputName = new ElidedPathLabel(panel);
    m_outputName->setObjectName("Label7");
    m_outputName->setFrameShape(QFrame::StyledPanel);
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
        const QString name = qText(m_session.settings().outputFileName);
        showCampaignView(
            !name.isEmpty() && QFileInfo(name).isFile() ? QStringList{name} : QStringList{}, this);
    });
    buttons->addWidget(campaign);
    grid->addLayout(buttons, 2, 0, 1, 3);
    return panel;
}

void SettingsScreen::connectOutputGroup() {
    connectBox(m_timeOffset, SessionBox::TimeOffset);
    connect(m_underOneMinute, &QCheckBox::clicked, this,
            [this](bool checked) { m_session.setOutputUnderOneMinute(checked); });
    connect(m_chooseName, &QPushButton::clicked, this, &SettingsScreen::chooseOutputFile);
    connect(m_start, &QPushButton::clicked, this, &SettingsScreen::startConversion);
    connect(m_end, &QPushButton::clicked, this, &QWidget::close);
}

bool SettingsScreen::chooseOutputFile() {
    const QString folder = qText(utf8Text(m_session.outputFolder()));
    const QString chosen = m_chooseFileName(this, folder);
    if (chosen.isEmpty()) return false;
    // A folder the run could not write to is told now, not after the wiring check.
    if (!reportUnwritableFolder(chosen.toStdString())) return false;
    m_session.chooseOutputName(chosen.toStdString());
    showSession();
    return true;
}

bool SettingsScreen::reportUnwritableFolder(const std::string& fileName) {
    try {
        checkResultFolderWritable(fileName);
        return true;
    } catch (const OutputError& e) {
        m_report("ファイル名設定",
                 qText(writeErrorMessage(e.kind(), e.file(), e.systemError())) +
                     "\n出力フォルダに書き込めません。別のフォルダを選んでください。");
        return false;
    }
}

bool SettingsScreen::confirmResultFiles() {
    while (true) {
        if (!reportUnwritableFolder(m_session.settings().outputFileName)) return false;
        const auto existing = existingResultFiles(m_session.settings());
        if (existing.empty()) return true;
        switch (askOverwrite(this, existing)) {
            case OverwriteAnswer::Overwrite:
                return true;
            case OverwriteAnswer::Cancel:
                return false;
            case OverwriteAnswer::OtherName:
                if (!chooseOutputFile()) return false;
                break;
        }
    }
}

void SettingsScreen::showOutput() {
    m_outputName->setPath(qText(m_session.settings().outputFileName));
    m_outputName->setPlaceholder(
        m_session.outputNameCleared()
            ? "（入力フォルダを変えたため未設定：「ファイル名設定」で選んでください）"
            : "（未設定）");
    m_underOneMinute->setChecked(m_session.settings().outputUnderOneMinute);
    m_start->setEnabled(m_session.canStart());
}

}  // namespace waveharm
