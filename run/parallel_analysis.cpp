#include "run/parallel_analysis.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "run/record_reading.h"

namespace waveharm {

namespace {

std::string describe(const InputError& e) {
    std::string text = e.reason();
    if (e.offset() >= 0) text += " (byte " + std::to_string(e.offset()) + ")";
    return text;
}

// Recordings a worker may be ahead of the run, per worker: enough that a slow recording
// (a whole-table reread) does not hold the others up, few enough that memory stays flat.
constexpr int kSlotsPerJob = 2;

// A record of another instrument: read whole, its analysed stretch made a recording.
template <class Skip>
void analyseRecord(const std::filesystem::path& path, Analyzer& analyzer, AnalysedRecording& out,
                   const Skip& skip) {
    try {
        readRecordRecording(path, analyzer.settings(), out.recording);
        out.headerRead = true;
        out.period = analyzer.analyze(out.recording, out.window, out.result);
    } catch (const AnalysisError& e) {
        skip(e.what(), e.kind(), -1);
    } catch (const InputError& e) {
        skip(describe(e), e.kind(), e.offset());
    }
}

}  // namespace

void analyseRecording(const WaveformFileList& files, int index, Analyzer& analyzer,
                      AnalysedRecording& out, FilePieces& file) {
    out.index = index;
    out.headerRead = false;
    out.skipped.reset();
    const auto skip = [&](const std::string& reason, ErrorKind kind, std::int64_t offset) {
        out.skipped = SkippedRecording{index, files.names.at(static_cast<std::size_t>(index)),
                                       reason, kind, offset};
    };
    const ConversionSettings& settings = analyzer.settings();
    const ReadOptions read = ReadOptions::from(settings);
    const auto path = files.pathOf(index);
    if (settings.records.format != RecordFormat::Recorder) {
        analyseRecord(path, analyzer, out, skip);
        return;
    }
    try {
        // Only the rows around the trigger point the analysis reads are decoded.
        readRecording(
            path, read,
            [&settings](const RecorderFileHeader& h) { return rowsForAnalysis(h, settings); },
            out.recording, file);
    } catch (const InputError& e) {
        skip(describe(e), e.kind(), e.offset());
        return;
    }
    out.headerRead = true;
    try {
        try {
            out.period = analyzer.analyze(out.recording, out.window, out.result);
        } catch (const RowsNotLoaded&) {
            // A crossing far from the trigger point, or none: the whole recording.
            readRecording(path, read, {}, out.recording, file);
            out.period = analyzer.analyze(out.recording, out.window, out.result);
        }
    } catch (const AnalysisError& e) {
        skip(e.what(), e.kind(), -1);
    } catch (const InputError& e) {
        skip(describe(e), e.kind(), e.offset());
    }
}

int defaultJobs() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

ParallelAnalysis::ParallelAnalysis(const ConversionSettings& settings, const FftPlan& plan,
                                   const WaveformFileList& files, int jobs, ResultDetail detail)
    : m_files(files),
      m_jobs(std::max(1, jobs)),
      m_plan(plan),
      m_detail(detail),
      m_slots(static_cast<std::size_t>(m_jobs == 1 ? 1 : kSlotsPerJob * m_jobs)) {
    const int orders = settings.maxHarmonicOrder();
    for (Slot& slot : m_slots) slot.item.result.allocate(orders, settings.feederCount);
    m_ownAnalyzer = std::make_unique<Analyzer>(settings, m_plan, m_detail);
    // The caller's thread is one of the jobs.
    m_workers.reserve(static_cast<std::size_t>(m_jobs - 1));
    for (int w = 1; w < m_jobs; ++w) m_workers.emplace_back([this, settings] { work(settings); });
}

ParallelAnalysis::~ParallelAnalysis() {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_slotFree.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

void ParallelAnalysis::analyseSlot(int index, Analyzer& analyzer, FilePieces& file) {
    Slot& slot = slotOf(index);
    try {
        analyseRecording(m_files, index, analyzer, slot.item, file);
    } catch (...) {
        slot.failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> hold(m_lock);
    slot.state = SlotState::Ready;
}

void ParallelAnalysis::work(const ConversionSettings& settings) {
    // Each worker's own transform buffers and scratch, for every recording it takes.
    Analyzer analyzer(settings, m_plan, m_detail);
    FilePieces file;
    for (;;) {
        int index = 0;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            // Recordings are taken in list order, each once its slot is handed back.
            m_slotFree.wait(hold, [this] {
                return m_stopping || m_nextToAssign >= m_files.count() ||
                       slotOf(m_nextToAssign).state == SlotState::Free;
            });
            if (m_stopping || m_nextToAssign >= m_files.count()) return;
            index = m_nextToAssign++;
            slotOf(index).state = SlotState::Busy;
        }
        analyseSlot(index, analyzer, file);
        m_slotReady.notify_one();
    }
}

AnalysedRecording* ParallelAnalysis::next() {
    std::unique_lock<std::mutex> hold(m_lock);
    if (m_nextToHand > 0) {
        slotOf(m_nextToHand - 1).state = SlotState::Free;
        m_slotFree.notify_one();
    }
    if (m_nextToHand >= m_files.count()) return nullptr;
    const int index = m_nextToHand++;
    Slot& slot = slotOf(index);
    // Rather than wait for a worker, the caller analyses the next recording no worker has
    // taken, its own or one ahead: it sleeps only while its recording is on a worker and
    // no other can be taken. Every thread switch costs more than a small recording.
    while (slot.state != SlotState::Ready) {
        if (m_nextToAssign < m_files.count() && slotOf(m_nextToAssign).state == SlotState::Free) {
            const int taken = m_nextToAssign++;
            slotOf(taken).state = SlotState::Busy;
            hold.unlock();
            analyseSlot(taken, *m_ownAnalyzer, m_ownFile);
            hold.lock();
            continue;
        }
        m_slotReady.wait(hold);
    }
    hold.unlock();
    assert(slot.item.index == index && "the slots are filled in list order");
    if (slot.failure) std::rethrow_exception(std::exchange(slot.failure, nullptr));
    return &slot.item;
}

}  // namespace waveharm
