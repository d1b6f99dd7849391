#pragma once
// Drives a conversion run from the event loop: one step per timer shot whenever the run
// says a recording is due, so the window's buttons act between recordings. Never a
// nested event loop.

#include <QObject>
#include <QTimer>

#include "run/run_controller.h"

namespace waveharm {

class RunPacer : public QObject {
    Q_OBJECT
  public:
    /// Paces `run`, which must outlive the pacer.
    explicit RunPacer(RunController& run, QObject* parent = nullptr);

    /// Arms the timer for the next due step, or stops it when none is due (not started,
    /// held or over). Called after every command that may change what is due.
    void reschedule();

  Q_SIGNALS:
    /// A step analysed and showed the recording at `index` of the file list; told once
    /// the step is over, so that listeners may press any button.
    void recordingShown(int index);
    /// A step (or the start) ended the run: finished, or stopped by a fault.
    void runEnded();

  private:
    void tick();

    RunController& m_run;
    QTimer m_timer;
};

}  // namespace waveharm
