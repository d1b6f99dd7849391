#include "run/run_controller.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "output/result_writer.h"

namespace waveharm {

RunController::RunController(const ConversionSettings& settings, WaveformFileList files,
                             ConversionObserver& observer, int jobs, Clock clock)
    : m_driver(settings, std::move(files), observer, jobs), m_clock(std::move(clock)) {}

void RunController::start() {
    if (m_started || m_end) return;
    m_started = true;
    updateActiveClock();
    try {
        m_driver.start();
    } catch (const OutputError&) {
        stop(RunFault::OpeningFiles);
    }
}

void RunController::setPaused(bool paused) {
    if (m_end) return;
    m_paused = paused;
    updateActiveClock();
}

void RunController::updateActiveClock() {
    const bool running = m_started && !m_paused && !m_end;
    if (running && !m_runningSince) m_runningSince = m_clock();
    if (!running && m_runningSince) {
        m_activeBefore += m_clock() - *m_runningSince;
        m_runningSince.reset();
    }
}

std::chrono::milliseconds RunController::activeTime() const {
    auto active = m_activeBefore;
    if (m_runningSince) active += m_clock() - *m_runningSince;
    return std::chrono::duration_cast<std::chrono::milliseconds>(active);
}

std::optional<std::chrono::milliseconds> RunController::timeLeft() const {
    const int done = processedCount();
    if (done <= 0 || m_end) return std::nullopt;
    return activeTime() * (recordingCount() - done) / done;
}

void RunController::end() {
    if (m_end) return;
    m_end = RunEnd::Ended;
    updateActiveClock();
    try {
        m_driver.abort();
    } catch (const std::exception&) {
        // Ending anyway: the records written so far are already in the files.
    }
}

void RunController::setShownFeeder(int feeder) {
    assert(feeder >= 0 && feeder < feederCount() && "shown feeder out of range");
    m_shownFeeder = feeder;
}

void RunController::setWait(bool on) { m_wait = on; }

void RunController::setWaitInterval(std::chrono::milliseconds interval) {
    m_waitInterval = std::max(interval, std::chrono::milliseconds(0));
}

RunState RunController::state() const {
    if (m_end) return RunState::Ended;
    if (!m_started) return RunState::Ready;
    return m_paused ? RunState::Paused : RunState::Running;
}

std::optional<std::chrono::milliseconds> RunController::nextStepIn() const {
    if (state() != RunState::Running) return std::nullopt;
    // Finishing after the last recording waits for nothing.
    if (!m_wait || !m_lastStepAt || m_driver.done()) return std::chrono::milliseconds(0);
    const auto left = *m_lastStepAt + m_waitInterval - m_clock();
    // Rounded up, so that a step is never taken before the wait is over.
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(left),
                    std::chrono::milliseconds(0));
}

std::optional<int> RunController::step() {
    const auto due = nextStepIn();
    if (!due || due->count() > 0) return std::nullopt;
    if (m_driver.done()) {
        finish();
        return std::nullopt;
    }
    m_lastStepAt = m_clock();
    const int analysedBefore = m_driver.summary().analysed;
    try {
        m_driver.step();
    } catch (const OutputError&) {
        stop(RunFault::Writing);
        return std::nullopt;
    } catch (const std::exception&) {
        stop(RunFault::Analysing);
        return std::nullopt;
    }
    if (m_driver.summary().analysed == analysedBefore) return std::nullopt;
    return m_driver.nextIndex() - 1;
}

void RunController::finish() {
    try {
        m_driver.finish();
    } catch (const OutputError&) {
        // The last record or the closing of a file failed: the files are incomplete.
        stop(RunFault::Writing);
        return;
    }
    m_end = RunEnd::Finished;
    updateActiveClock();
}

void RunController::stop(RunFault fault) {
    // Called from a handler: the exception being handled is the one to report.
    m_failure = RunFailure{fault, std::current_exception()};
    m_end = RunEnd::Stopped;
    updateActiveClock();
    try {
        m_driver.abort();
    } catch (const std::exception&) {
        // The files are being given up already; the first fault is the one to report.
    }
}

}  // namespace waveharm
