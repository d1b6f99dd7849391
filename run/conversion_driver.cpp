#include "run/conversion_driver.h"

#include <cassert>
#include <cmath>
#include <utility>

#include "output/result_writer.h"
#include "run/record_reading.h"

namespace waveharm {

bool isRangeOver(const std::array<std::int16_t, 21>& peakTable, int feederCount) {
    // Channel pairs: the two line voltages, then the R and T current of each feeder.
    const int lastSlot = 2 * (feederCount - 1) + 3;
    for (int e = 0; e <= lastSlot && e + 1 < static_cast<int>(peakTable.size()); e += 2) {
        if (peakTable[e] > kRangeLimitCounts || peakTable[e + 1] > kRangeLimitCounts) return true;
    }
    return false;
}

ConversionDriver::ConversionDriver(const ConversionSettings& settings, WaveformFileList files,
                                   ConversionObserver& observer, int jobs)
    : m_settings(settings.records.format == RecordFormat::Recorder ? settings
                                                                   : settingsForRecords(settings)),
      m_files(std::move(files)),
      m_observer(observer),
      m_jobs(jobs),
      m_plan(planFor(settings)) {
    const int orders = settings.maxHarmonicOrder();
    m_result.allocate(orders, settings.feederCount);
    m_interval.allocate(orders, settings.feederCount);
}

ConversionDriver::~ConversionDriver() {
    // A driver dropped without finish() or abort() (an exception on the way out)
    // still synchronises and closes its files; every record written so far is already
    // in them.
    m_analysis.reset();
    if (!m_writer) return;
    try {
        m_writer->close();
    } catch (...) {
    }
}

void ConversionDriver::start() {
    m_writer = ResultWriter::open(m_settings);
    m_summary.files = m_writer->fileNames();
    m_analysis = std::make_unique<ParallelAnalysis>(
        m_settings, m_plan, m_files, m_jobs,
        m_observer.showsRecordings() ? ResultDetail::Full : ResultDetail::Records);
}

bool ConversionDriver::done() const { return m_nextIndex >= m_files.count(); }

bool ConversionDriver::step() {
    assert(m_writer && m_analysis && "start() opens the result files before the first step");
    if (done()) return false;
    AnalysedRecording* item = m_analysis->next();
    assert(item && item->index == m_nextIndex && "recordings come back in list order");
    ++m_nextIndex;

    m_observer.onStage(RunStage::Reading);
    if (item->headerRead) {
        m_observer.onHeaderRead(item->recording.header);
        m_observer.onStage(RunStage::CheckingFrequency);
    }
    if (item->skipped) {
        skip(*item->skipped);
        return true;
    }
    // The buffers go back to the workers with the previous recording's contents.
    std::swap(m_recording, item->recording);
    std::swap(m_window, item->window);
    std::swap(m_result, item->result);
    m_hasResult = true;
    m_lastRecordingTime = m_recording.header.startTime;

    report(item->index, item->period);
    aggregateInterval(m_result, m_settings, m_interval);
    offerInterval();
    return true;
}

void ConversionDriver::skip(const SkippedRecording& skipped) {
    ++m_summary.skipped;
    m_summary.skippedRecordings.push_back(skipped);
    m_observer.onRecordingSkipped(skipped);
}

void ConversionDriver::report(int index, const AnalysisPeriod& period) {
    RecordingReport r;
    r.index = index;
    r.fileName = m_files.names.at(index);
    m_observer.onPeriodFound(period);

    // Over range is reported and the recording still analysed and written: the
    // clipped peaks only distort the harmonics of that recording. Records of other
    // instruments hold real values, with no counts to be over range; their samples at the
    // limit of the file's number format are reported as clipped.
    if (m_recording.header.recordFormat.empty()) {
        r.rangeOver = isRangeOver(m_window.peakTable, m_settings.feederCount);
    } else {
        r.clipped = m_recording.header.clippedSamples > 0;
    }
    if (r.rangeOver) {
        ++m_summary.rangeOver;
        m_observer.onStage(RunStage::RangeOver);
    }
    if (r.clipped) {
        ++m_summary.clipped;
        m_observer.onStage(RunStage::Clipped);
    }
    m_observer.onStage(RunStage::Transforming);
    m_observer.onStage(RunStage::Computing);
    m_observer.onStage(RunStage::Displaying);

    ++m_summary.analysed;
    r.period = period;
    r.recording = &m_recording;
    r.window = &m_window;
    r.result = &m_result;
    m_observer.onRecordingAnalysed(r);
}

void ConversionDriver::offerInterval() {
    const DateTime stamp = *m_lastRecordingTime;
    const bool written = m_writer->offer(stamp, m_interval);
    m_summary.recordsWritten = m_writer->recordsWritten();
    if (!written) return;
    m_summary.lastRecordStamp = stamp;
    m_observer.onRecordWritten(stamp);
}

void ConversionDriver::finish() {
    m_analysis.reset();
    if (!m_writer) return;
    if (m_lastRecordingTime) {
        // The recordings after the last record would otherwise be lost.
        const DateTime stamp = *m_lastRecordingTime;
        if (m_writer->flushPending(stamp, m_interval)) {
            m_summary.lastRecordStamp = stamp;
            m_observer.onRecordWritten(stamp);
        }
        m_summary.recordsWritten = m_writer->recordsWritten();
    }
    m_writer->close();
    m_writer.reset();
}

void ConversionDriver::abort() {
    m_analysis.reset();
    if (!m_writer) return;
    m_summary.recordsWritten = m_writer->recordsWritten();
    auto writer = std::move(m_writer);
    writer->close();
}

}  // namespace waveharm
