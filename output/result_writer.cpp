#include "output/result_writer.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "output/record_encoder.h"
#include "output/result_file.h"

namespace waveharm {

OutputError::OutputError(ErrorKind kind, std::string file, std::string reason, int systemError)
    : std::runtime_error(file + ": " + reason),
      m_kind(kind),
      m_file(std::move(file)),
      m_reason(std::move(reason)),
      m_systemError(systemError) {}

namespace {

ResultLayout checkedLayout(const ConversionSettings& settings) {
    if (settings.feederCount < 1 || settings.feederCount > kMaxFeeders)
        throw std::invalid_argument("result writer: feeder count out of range");
    return {settings.harmonicOption(), settings.feederCount, 0};
}

// The interval boundary shared by both writers: a record when the recording's minute
// differs from the last record's (or always, below one minute) and the interval holds
// at least one recording; the interval is cleared after each record.
class IntervalWriter : public ResultWriter {
  public:
    explicit IntervalWriter(const ConversionSettings& settings)
        : m_option(settings.harmonicOption()),
          m_feeders(settings.feederCount),
          m_format(checkedLayout(settings)),
          m_everyRecording(settings.outputUnderOneMinute) {}

    bool offer(DateTime recordingTime, IntervalAggregate& interval) override {
        const std::int64_t minute = minuteKey(recordingTime);
        if (!m_everyRecording && m_lastMinute == minute) return false;
        // A distortion-maximum interval may have taken no recording: there is nothing
        // to divide, so no record, and the stamp stays that of the last record.
        if (interval.intervalState <= 0) return false;
        write(recordingTime, interval);
        return true;
    }

    bool flushPending(DateTime lastRecordingTime, IntervalAggregate& interval) override {
        if (interval.intervalState <= 0) return false;
        write(lastRecordingTime, interval);
        return true;
    }

    int recordsWritten() const override { return m_records; }

  protected:
    virtual void writeRecord(const RecordStamp& stamp, const IntervalAggregate& interval) = 0;

    HarmonicOption m_option;
    int m_feeders;
    ResultRecordFormat m_format;  ///< the same for the single file and each phase file

  private:
    void write(DateTime t, IntervalAggregate& interval) {
        try {
            writeRecord(recordStampFor(t), interval);
        } catch (const NonFiniteValue& e) {
            // Nothing of the record reached the file; the run stops on this interval.
            throw OutputError(ErrorKind::CannotWrite, fileNames().front(),
                              std::string("record not written: ") + e.what());
        }
        m_lastMinute = minuteKey(t);
        ++m_records;
        interval.clear();
    }

    bool m_everyRecording;
    std::optional<std::int64_t> m_lastMinute;  // none before the first record
    int m_records = 0;
};

class SingleFileWriter final : public IntervalWriter {
  public:
    explicit SingleFileWriter(const ConversionSettings& settings) : IntervalWriter(settings) {
        m_file.open(settings.outputFileName);
    }
    ~SingleFileWriter() override {
        try {
            close();
        } catch (const OutputError&) {
        }
    }

    void close() override { m_file.close(); }
    std::vector<std::string> fileNames() const override { return {m_file.name()}; }

  private:
    void writeRecord(const RecordStamp& stamp, const IntervalAggregate& interval) override {
        checkIntervalShape(interval, m_option, m_feeders);
        m_file.append(encodeSingleRecord(m_format, stamp, interval));
    }

    ResultFile m_file;
};

// Three-wattmeter measurements: one file per phase (R, T, S), each with its own record.
class PhaseFileWriter final : public IntervalWriter {
  public:
    explicit PhaseFileWriter(const ConversionSettings& settings) : IntervalWriter(settings) {
        const auto names = phaseFileNames(settings.outputFileName);
        for (int p = 0; p < 3; ++p) m_files[p].open(names[p]);
    }
    ~PhaseFileWriter() override {
        for (auto& f : m_files) {
            try {
                f.close();
            } catch (const OutputError&) {
            }
        }
    }

    void close() override {
        std::optional<OutputError> first;
        for (auto& f : m_files) {
            try {
                f.close();
            } catch (const OutputError& e) {
                if (!first) first = e;
            }
        }
        if (first) throw *first;
    }

    std::vector<std::string> fileNames() const override {
        return {m_files[0].name(), m_files[1].name(), m_files[2].name()};
    }

  private:
    void writeRecord(const RecordStamp& stamp, const IntervalAggregate& interval) override {
        checkIntervalShape(interval, m_option, m_feeders);
        std::array<std::vector<std::byte>, 3> records;
        for (int p = 0; p < 3; ++p) records[p] = encodePhaseRecord(m_format, stamp, interval, p);
        std::array<std::int64_t, 3> before{};
        for (int p = 0; p < 3; ++p) before[p] = m_files[p].bytesWritten();
        for (int p = 0; p < 3; ++p) {
            try {
                m_files[p].append(records[p]);
            } catch (const OutputError&) {
                // Keep the three files at the same record count.
                for (int q = 0; q < p; ++q) m_files[q].rollBackTo(before[q]);
                throw;
            }
        }
    }

    std::array<ResultFile, 3> m_files;
};

}  // namespace

std::unique_ptr<ResultWriter> ResultWriter::open(const ConversionSettings& settings) {
    if (settings.measurementType == MeasurementType::ThreePhase3M)
        return std::make_unique<PhaseFileWriter>(settings);
    return std::make_unique<SingleFileWriter>(settings);
}

}  // namespace waveharm
