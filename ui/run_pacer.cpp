#include "ui/run_pacer.h"

namespace waveharm {

RunPacer::RunPacer(RunController& run, QObject* parent) : QObject(parent), m_run(run) {
    m_timer.setSingleShot(true);
    // A wait of whole seconds should not come back early and be re-armed for the rest.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RunPacer::tick);
}

void RunPacer::reschedule() {
    const auto due = m_run.nextStepIn();
    if (!due) {
        m_timer.stop();
        return;
    }
    m_timer.start(*due);
}

void RunPacer::tick() {
    auto due = m_run.nextStepIn();
    if (!due) return;
    if (due->count() > 0) {
        m_timer.start(*due);
        return;
    }
    const auto frameEnd = std::chrono::steady_clock::now() + kFrame;
    do {
        const std::optional<int> shown = m_run.step();
        if (m_run.state() == RunState::Ended) {
            Q_EMIT runEnded();
            return;
        }
        if (shown) Q_EMIT recordingShown(*shown);
        due = m_run.nextStepIn();
    } while (due && due->count() == 0 && std::chrono::steady_clock::now() < frameEnd);
    Q_EMIT frameDone();
    reschedule();
}

}  // namespace waveharm
