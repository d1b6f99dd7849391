#pragma once
// Drives a conversion run from the event loop: whenever the run says a recording is due,
// steps it for up to one frame of the screen (one recording when the wait spaces them),
// then lets the window show the latest recording and hands the event loop back, so the
// buttons act between frames and the screen never holds the run to its drawing pace.
// Never a nested event loop.

#include <QObject>
#include <QTimer>
#include <chrono>

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
    /// A step analysed the recording at `index` of the file list; told once the step is
    /// over, so that listeners may press any button (a pause or end takes effect before
    /// the next recording).
    void recordingShown(int index);
    /// The steps of one frame are over (the run may be held or going on): time to show
    /// the latest recording.
    void frameDone();
    /// A step (or the start) ended the run: finished, or stopped by a fault.
    void runEnded();

  public:
    /// How long the recordings of one frame may take before the screen is updated.
    static constexpr std::chrono::milliseconds kFrame{40};

  private:
    void tick();

    RunController& m_run;
    QTimer m_timer;
};

}  // namespace waveharm
