// The settings screen's output side: the time-difference correction, the result file
// name and the commands that start a run and end the program.

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include "base/utf8_path.h"
#include "display/error_texts.h"
#include "output/result_writer.h"
#include "ui/campaign_view.h"
#include "ui/help_page.h"
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
    m_timeOffset = lineEdit("Text4", "記録の開始時刻に加える時間（時間単位、±48まで）");
    auto* offset = new QHBoxLayout;
    offset->addWidget(m_timeOffset);
    offset->addWidget(caption("時間", panel));
    grid->addWidget(caption("時差補正", panel), 0, 0);
    grid->addLayout(offset, 0, 1);
    m_underOneMinute = new QCheckBox("１分未満　データ出力", panel);
    m_underOneMinute->setObjectName("Check3");
    grid->addWidget(m_underOneMinute, 0, 2);
    m_outputName = new ElidedPathLabel(panel);
    m_outputName->setObjectName("Label7");
    m_outputName->setFrameShape(QFrame::StyledPanel);
    m_outputName->setMinimumWidth(200);
    grid->addWidget(caption("出力ファイル", panel), 1, 0);
    grid->addWidget(m_outputName, 1, 1, 1, 2);
    m_chooseName = new QPushButton("ファイル名設定(&F)", panel);
    m_chooseName->setObjectName("Command10");
    m_start = new QPushButton("データ変換開始(&D)", panel);
    m_start->setObjectName("Command4");
    m_end = new QPushButton("終　　了(&X)", panel);
    m_end->setObjectName("Command5");
    auto* buttons = new QGridLayout;
    buttons->addWidget(m_chooseName, 0, 0);
    buttons->addWidget(m_start, 0, 1);
    buttons->addWidget(m_end, 1, 1);
    // The campaign view reads the result files of earlier runs: it opens on the
    // chosen result file when that exists.
    auto* campaign = new QPushButton("キャンペーン集計(&C)", panel);
    campaign->setObjectName("CampaignButton");
    connect(campaign, &QPushButton::clicked, this, [this] {
        const QString name = qText(m_session.settings().outputFileName);
        CampaignView* view = showCampaignView(
            !name.isEmpty() && QFileInfo(name).isFile() ? QStringList{name} : QStringList{}, this);
        view->setCampaignChoices(m_session.campaign());
    });
    buttons->addWidget(campaign, 1, 0);
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
    QString folder = qText(utf8Text(m_session.outputFolder()));
    // Before a name is chosen the dialog opens where the last run's results went.
    const QString last = remembered("folders/output");
    if (m_session.settings().outputFileName.empty() && !last.isEmpty() && QFileInfo(last).isDir())
        folder = last;
    const QString chosen = m_chooseFileName(this, folder);
    if (chosen.isEmpty()) return false;
    // A folder the run could not write to is told now, not after the wiring check.
    if (!reportUnwritableFolder(chosen.toStdString())) return false;
    m_session.chooseOutputName(chosen.toStdString());
    remember("folders/output", QFileInfo(chosen).absolutePath());
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

QWidget* SettingsScreen::buildSiteGroup() {
    auto* box = new QGroupBox("現場", this);
    box->setObjectName("SiteGroup");
    auto* grid = new QGridLayout(box);
    m_siteName = new QLineEdit(box);
    m_siteName->setObjectName("SiteName");
    m_siteName->setToolTip("測定する現場の名称（設定ファイルに保存します）");
    m_siteName->setMaxLength(40);
    auto* open = new QPushButton("設定を開く…(&O)", box);
    open->setObjectName("OpenProfile");
    open->setToolTip("現場の設定ファイルを読み込みます (Ctrl+Shift+O)");
    auto* save = new QPushButton("設定を保存…(&S)", box);
    save->setObjectName("SaveProfile");
    save->setToolTip("現場の設定をファイルに保存します (Ctrl+S)");
    m_profilePath = new ElidedPathLabel(box);
    m_profilePath->setObjectName("ProfilePath");
    grid->addWidget(caption("現場名", box), 0, 0);
    grid->addWidget(m_siteName, 0, 1, 1, 2);
    grid->addWidget(caption("設定ファイル", box), 1, 0);
    grid->addWidget(m_profilePath, 1, 1, 1, 2);
    grid->addWidget(open, 2, 1);
    grid->addWidget(save, 2, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    connect(m_siteName, &QLineEdit::editingFinished, this, [this] {
        m_session.setSiteName(m_siteName->text().toStdString());
        showSession();
    });
    connect(open, &QPushButton::clicked, this, &SettingsScreen::openProfile);
    connect(save, &QPushButton::clicked, this, &SettingsScreen::saveProfile);
    return box;
}

void SettingsScreen::saveProfile() {
    QString folder = QFileInfo(m_profilePath->path()).absolutePath();
    if (m_profilePath->path().isEmpty()) folder = qText(utf8Text(m_session.folder()));
    QFileDialog dialog(this, "設定を保存", folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({"現場設定ファイル (*.toml)", "すべてのファイル (*.*)"});
    dialog.setDefaultSuffix("toml");
    const QString site = qText(m_session.settings().siteName);
    if (!site.isEmpty()) dialog.selectFile(site + ".toml");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    saveProfileTo(dialog.selectedFiles().front());
}

void SettingsScreen::openProfile() {
    QString folder = QFileInfo(m_profilePath->path()).absolutePath();
    if (m_profilePath->path().isEmpty()) folder = qText(utf8Text(m_session.folder()));
    QFileDialog dialog(this, "設定を開く", folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({"現場設定ファイル (*.toml)", "すべてのファイル (*.*)"});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    openProfileFrom(dialog.selectedFiles().front());
}

bool SettingsScreen::saveProfileTo(const QString& path) {
    // Names still being typed count: Ctrl+S does not leave the box.
    if (m_siteName->hasFocus()) m_session.setSiteName(m_siteName->text().toStdString());
    for (int f = 0; f < kMaxFeeders; ++f)
        if (m_feederNames[f]->hasFocus())
            m_session.setFeederName(f, m_feederNames[f]->text().toStdString());
    if (m_oneFeederName->hasFocus())
        m_session.setFeederName(0, m_oneFeederName->text().toStdString());
    try {
        writeSiteProfile(utf8Path(path.toStdString()), m_session.profile());
    } catch (const std::exception& e) {
        m_report(windowTitle(), "設定ファイルを保存できません。\n" + qText(e.what()));
        return false;
    }
    m_profilePath->setPath(path);
    remember("profile/last", QFileInfo(path).absoluteFilePath());
    showSession();
    return true;
}

bool SettingsScreen::openProfileFrom(const QString& path) {
    SiteProfile profile;
    try {
        profile = readSiteProfile(utf8Path(path.toStdString()));
    } catch (const ProfileError& e) {
        QString where = e.line() > 0 ? QString("%1 行目").arg(e.line()) : QString();
        if (!e.key().empty()) where += (where.isEmpty() ? "" : "、") + qText(e.key());
        m_report(windowTitle(),
                 QString("設定ファイルを読めません（何も変更していません）。\n%1\n%2：%3")
                     .arg(path, where, qText(e.reason())));
        return false;
    }
    m_session.applyProfile(profile);
    m_profilePath->setPath(path);
    remember("profile/last", QFileInfo(path).absoluteFilePath());
    showSession();
    return true;
}

void SettingsScreen::chooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, "入力データフォルダ", qText(utf8Text(m_session.folder())),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!folder.isEmpty()) setInputFolder(folder);
}

void SettingsScreen::connectKeys() {
    auto shortcut = [this](const QKeySequence& keys, auto slot) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Open, [this] { chooseFolder(); });
    shortcut(QKeySequence("Ctrl+Shift+O"), [this] { openProfile(); });
    shortcut(QKeySequence::Save, [this] { saveProfile(); });
    shortcut(QKeySequence("Ctrl+Q"), [this] { close(); });
    shortcut(QKeySequence::HelpContents, [this] { showHelp(); });
}

void SettingsScreen::showHelp() { showHelpPage(this); }

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
