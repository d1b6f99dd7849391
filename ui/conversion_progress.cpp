#include "ui/conversion_progress.h"

#include <QProgressDialog>
#include <QTimer>

#include "output/result_writer.h"

namespace waveharm {

ConversionProgress::ConversionProgress(const ConversionSettings& settings, WaveformFileList files,
                                       QWidget* parent)
    : QObject(parent) {
    ConversionObserver& observer = *this;
    m_driver = std::make_unique<ConversionDriver>(settings, std::move(files), observer);
    m_progress =
        new QProgressDialog("データ変換中", "中止", 0, std::max(1, m_driver->fileCount()), parent);
    m_progress->setObjectName("ConversionProgress");
    m_progress->setWindowTitle("データ変換");
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &ConversionProgress::step);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        if (m_ended) return;
        try {
            m_driver->abort();
        } catch (const OutputError& e) {
            end(QString("結果ファイルを閉じられません：%1").arg(e.what()));
            return;
        }
        end("データ変換を中止しました。");
    });
}

ConversionProgress::~ConversionProgress() { delete m_progress; }

void ConversionProgress::start() {
    try {
        m_driver->start();
    } catch (const OutputError& e) {
        end(QString("結果ファイルを開けません：%1").arg(e.what()));
        return;
    }
    m_progress->setValue(0);
    m_progress->show();
    m_timer->start();
}

void ConversionProgress::step() {
    if (m_ended) return;
    try {
        const bool more = m_driver->step();
        m_progress->setValue(m_driver->nextIndex());
        if (more && !m_driver->done()) {
            m_timer->start();
            return;
        }
        m_driver->finish();
    } catch (const OutputError& e) {
        try {
            m_driver->abort();
        } catch (const OutputError&) {
            // The first error is the one worth reporting.
        }
        end(QString("結果ファイルに書き込めません：%1").arg(e.what()));
        return;
    }
    end(summaryText());
}

QString ConversionProgress::summaryText() const {
    const ConversionSummary& s = m_driver->summary();
    QString text = QString("データ変換を終了しました。\n解析 %1 件、書き込み %2 レコード")
                       .arg(s.analysed)
                       .arg(s.recordsWritten);
    for (const std::string& f : s.files) text += "\n" + QString::fromStdString(f);
    if (!m_skipped.isEmpty()) text += "\n解析できなかった記録:" + m_skipped;
    return text;
}

void ConversionProgress::end(const QString& message) {
    if (m_ended) return;
    m_ended = true;
    m_timer->stop();
    m_progress->hide();
    Q_EMIT finished(message);
}

void ConversionProgress::onRecordingSkipped(int, const std::string& fileName,
                                            const std::string& reason) {
    m_skipped +=
        QString("\n%1: %2").arg(QString::fromStdString(fileName), QString::fromStdString(reason));
}

}  // namespace waveharm
