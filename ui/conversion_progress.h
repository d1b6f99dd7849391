#pragma once
// A conversion run without the analysis window: the driver steps one recording per
// event-loop turn (a zero-interval timer, no nested event loops) while a progress
// dialog shows how far the run is and offers to stop it.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "run/conversion_driver.h"

class QProgressDialog;
class QTimer;
class QWidget;

namespace waveharm {

class ConversionProgress : public QObject, private ConversionObserver {
    Q_OBJECT
  public:
    /// Prepares a run over `files` with a copy of `settings`; `parent` hosts the
    /// progress dialog.
    ConversionProgress(const ConversionSettings& settings, WaveformFileList files, QWidget* parent);
    ~ConversionProgress() override;

    /// Opens the result files and schedules the first step. A result file that cannot
    /// be opened ends the run at once (`finished` with the reason).
    void start();
    const ConversionSummary& summary() const { return m_driver->summary(); }

  Q_SIGNALS:
    /// The run ended: `message` says how (records written, files, skipped recordings,
    /// or the error that stopped it).
    void finished(const QString& message);

  private:
    void step();
    void end(const QString& message);
    QString summaryText() const;
    void onRecordingSkipped(int index, const std::string& fileName,
                            const std::string& reason) override;

    std::unique_ptr<ConversionDriver> m_driver;
    QProgressDialog* m_progress = nullptr;
    QTimer* m_timer = nullptr;
    QString m_skipped;
    bool m_ended = false;
};

}  // namespace waveharm
