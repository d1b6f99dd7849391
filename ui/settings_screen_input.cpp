// The settings screen's input side: the folder and file lists, the recording's
// information and its input ranges.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "base/utf8_path.h"
#include "display/session_texts.h"
#include "settings/interpolation_loss.h"
#include "ui/settings_screen.h"
#include "ui/settings_screen_parts.h"

namespace waveharm {

using namespace screen;

namespace {

QString numberText(double value) { return qText(formatBoxNumber(value)); }

}  // namespace

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
    m_folderPath = new ElidedPathLabel(box);
    m_folderPath->setObjectName("FolderPath");
    m_folderPath->setFrameShape(QFrame::StyledPanel);
    m_folderNote = new QLabel(box);
    m_folderNote->setObjectName("FolderNote");
    m_folderNote->setWordWrap(true);
    m_folderNote->setStyleSheet("color: #b00000");
    m_fileList = new QListWidget(box);
    m_fileList->setObjectName("File1");
    m_wev = new QCheckBox("8840(*.wev)", box);
    m_wev->setObjectName("Check4");
    m_notice = new QLabel(box);
    m_notice->setObjectName("Label41");
    m_notice->hide();

    auto* grid = new QGridLayout(box);
    grid->addWidget(m_drive, 0, 0);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_wev);
    kinds->addWidget(buildFormatChoice(box));
    grid->addLayout(kinds, 0, 1);
    grid->addWidget(m_folderPath, 1, 0, 1, 2);
    grid->addWidget(m_dirs, 2, 0);
    auto* files = new QVBoxLayout;
    files->addWidget(m_pattern);
    files->addWidget(m_fileList);
    files->addWidget(m_folderNote);
    grid->addLayout(files, 2, 1);
    const QStringList listCaptions = {"最初のデータ", "最後のデータ", "ファイル数"};
    auto* list = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        m_listInfo[i] = valueLabel(indexed("Label36", i), box);
        list->addWidget(caption(listCaptions[i], box), i, 0);
        list->addWidget(m_listInfo[i], i, 1);
    }
    grid->addLayout(list, 3, 0, 1, 2);
    grid->addWidget(m_notice, 4, 0, 1, 2);
    return box;
}

QWidget* SettingsScreen::buildInfoGroup() {
    auto* box = new QGroupBox("入力ファイル情報", this);
    box->setObjectName("InfoGroup");
    auto* grid = new QGridLayout(box);
    m_inFileName = valueLabel("InFileName", box);
    grid->addWidget(caption("入力ファイル", box), 0, 0);
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
        {"記録時間", m_trigger[1]},    {"ｶｳﾝﾄ数 (/DIV)", m_vDiv},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = 1 + static_cast<int>(i) / 2;
        const int c = 2 * (static_cast<int>(i) % 2);
        grid->addWidget(caption(rows[i].first, box), r, c);
        grid->addWidget(rows[i].second, r, c + 1);
    }
    m_vDiv->setToolTip("縦軸１目盛りあたりの測定値のカウント数");
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
        grid->addWidget(m_slotNames[s], s % 8, 2 * (s / 8));
        grid->addWidget(m_slotRanges[s], s % 8, 2 * (s / 8) + 1);
    }
    return box;
}

void SettingsScreen::connectFolderGroup() {
    // The folder tree fills in the background: show the input folder once it is there.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString folder = m_listedFolder;
        const QModelIndex index = m_dirModel->index(folder);
        if (!index.isValid() || !folder.startsWith(loaded)) return;
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
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_session.setWevFiles(checked);
        showSession();
        QApplication::restoreOverrideCursor();
    });
}

void SettingsScreen::scanFolder(const QString& folder) {
    const QModelIndex index = m_dirModel->index(folder);
    if (index.isValid()) {
        m_dirs->setCurrentIndex(index);
        m_dirs->expand(index);
        m_dirs->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_notice->setText("日時データロード中");
    m_notice->show();
    m_session.scanFolder(utf8Path(folder.toStdString()));
    m_notice->hide();
    m_listedFolder.clear();  // renamed duplicates change the listing
    showSession();
    QApplication::restoreOverrideCursor();
    // More feeders show more rows: grow as far as the screen allows, then scroll.
    if (isVisible()) fitToScreen();
}

void SettingsScreen::showFileList() {
    const QStringList patterns = namePatterns(m_session.settings());
    const QString folder = QString::fromStdString(utf8Text(m_session.folder()));
    if (folder != m_listedFolder || patterns != m_listedPatterns) {
        m_listedFolder = folder;
        m_listedPatterns = patterns;
        m_fileList->clear();
        QDir dir(folder);
        dir.setNameFilters(patterns);
        dir.setFilter(QDir::Files);
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        const WaveformFileList& files = m_session.files();
        std::map<QString, std::string> starts;
        for (int i = 0; i < files.count(); ++i)
            starts[qText(files.names[static_cast<std::size_t>(i)])] = files.startText(i);
        for (const QString& name : dir.entryList()) {
            auto* item = new QListWidgetItem(name, m_fileList);
            if (auto it = starts.find(name); it != starts.end())
                item->setToolTip(qText(it->second));
        }
    }
    // The highlight follows the current recording.
    const QString current = qText(m_session.currentFileName());
    const QList<QListWidgetItem*> found = m_fileList->findItems(current, Qt::MatchExactly);
    const QSignalBlocker block(m_fileList);
    if (current.isEmpty() || found.isEmpty())
        m_fileList->setCurrentItem(nullptr);
    else
        m_fileList->setCurrentItem(found.front());

    // The pattern names the files the list holds.
    const bool wev = m_session.settings().wevFiles;
    const bool records = m_session.settings().records.format != RecordFormat::Recorder;
    m_pattern->setText(records ? patterns.join(" ") : wev ? "*.wev, *.wav" : "*.MEM");
    m_folderPath->setPath(QDir::toNativeSeparators(folder));
    const WaveformFileList& files = m_session.files();
    const bool unreadable = std::any_of(
        m_session.scanNotes().begin(), m_session.scanNotes().end(),
        [](const SessionNote& n) { return n.kind == SessionNote::Kind::FolderUnreadable; });
    if (unreadable)
        m_folderNote->setText("このフォルダは読めません。");
    else if (files.count() == 0 && records)
        m_folderNote->setText("このフォルダには記録（" + patterns.join(", ") + "）がありません。");
    else if (files.count() == 0)
        m_folderNote->setText(wev ? "このフォルダには 8840 の記録（*.wev, *.wav）がありません。"
                                  : "このフォルダには記録（*.MEM）がありません。");
    else
        m_folderNote->clear();
    m_folderNote->setVisible(!m_folderNote->text().isEmpty());
    const bool several = files.count() > 1;
    m_listInfo[0]->setText(several ? qText(files.firstStartText()) : QString());
    m_listInfo[1]->setText(several ? qText(files.lastStartText()) : QString());
    m_listInfo[2]->setText(QString::number(files.count()));
}

void SettingsScreen::showRecordingInfo() {
    m_inFileName->setText(qText(m_session.currentFileName()));
    QStringList problems;
    if (m_session.readError()) problems << qText(sessionNoteText(*m_session.readError()));
    for (const SessionNote& note : m_session.scanNotes()) problems << qText(sessionNoteText(note));
    m_readError->setText(problems.join("\n"));

    const Recording* recording = m_session.recording();
    if (!recording) {
        for (QLabel* l :
             {m_model, m_tDiv, m_vDiv, m_totalSamples, m_rate, m_trigger[0], m_trigger[1],
              m_time[0], m_time[1], m_time[2], m_time[3], m_interpolationLoss})
            l->clear();
        for (QLabel* l : m_slotRanges) l->clear();
        return;
    }
    const RecorderFileHeader& h = recording->header;
    m_model->setText(qText(h.model));
    m_tDiv->setText(numberText(h.pointsPerDiv));
    m_vDiv->setText(numberText(h.countsPerDiv));
    m_time[0]->setText(qText(h.dateText()));
    m_time[1]->setText(qText(h.timeText()));
    m_time[2]->setText(qText(h.timeAxisText));
    m_time[3]->setText(qText(h.recordLengthText));
    m_totalSamples->setText(QString::number(h.totalSamples));
    m_rate->setText(numberText(h.samplingRateKHz) + " kHz");
    m_interpolationLoss->setText(qText(linearLossText(h.samplingRateKHz)));
    m_trigger[0]->setText(numberText(h.pretrigger) + " %");
    m_trigger[1]->setText(numberText(h.recordTimeMs) + " ms");
    for (int s = 0; s < kSlotCount; ++s) {
        m_slotNames[s]->setText(qText(h.slots[s].name));
        m_slotRanges[s]->setText(qText(h.slots[s].rangeText));
        m_slotRanges[s]->setEnabled(h.slots[s].channelInUse);
    }
    for (int s = 0; s < 4; ++s) {
        const QString name = qText(h.slots[s].name);
        for (int q = 0; q < 4; ++q) m_choosers[q]->button(s)->setText(name);
    }
}

}  // namespace waveharm
