#include "output/record_encoder.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "engine/complex_math.h"
#include "output/result_writer.h"

namespace waveharm {
namespace {

float quotient(double sum, double count) { return static_cast<float>(sum / count); }

double magnitude(double re, double im) { return std::sqrt(re * re + im * im); }

// Rows 7 and 8: the per-phase RMS values, currents in the phase order 0, 2, 1.
void putUnbalanceRows(RecordBuffer& b, const IntervalAggregate& interval, int feederCount) {
    const double count = interval.intervalState;
    for (int j = 0; j < 3; ++j) b.putF32(quotient(interval.voltageRmsByPhase[j], count));
    for (int k = 0; k < feederCount; ++k)
        for (int j : {0, 2, 1}) b.putF32(quotient(interval.currentRmsByPhase(j, k), count));
}

void requireSize(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("result record: ") + what);
}

}  // namespace

RecordStamp recordStampFor(DateTime t) {
    const CivilDateTime c = t.civil();
    RecordStamp s;
    s.dateField = static_cast<float>((c.year % 100) * 10000 + c.month * 100 + c.day);
    s.timeField = static_cast<std::int16_t>(c.hour * 100 + c.minute);
    return s;
}

std::optional<CivilDateTime> stampTime(const RecordStamp& stamp) {
    const double date = stamp.dateField;
    if (!(date >= 0 && date <= 991231) || date != std::floor(date) || stamp.timeField < 0)
        return std::nullopt;
    const int yymmdd = static_cast<int>(date);
    const CivilDateTime c{fullYear(yymmdd / 10000), yymmdd / 100 % 100,    yymmdd % 100,
                          stamp.timeField / 100,    stamp.timeField % 100, 0};
    if (!isValidCivil(c)) return std::nullopt;
    return c;
}

CivilDateTime recordTime(const RecordStamp& stamp, const std::string& file, std::int64_t index,
                         std::int64_t offset) {
    if (const auto c = stampTime(stamp)) return *c;
    throw InputError(ErrorKind::NotAResultFile, file, offset,
                     "record " + std::to_string(index + 1) +
                         " has no valid time stamp (date field " + std::to_string(stamp.dateField) +
                         ", time field " + std::to_string(stamp.timeField) + ")");
}

std::int64_t minuteKey(DateTime t) {
    const CivilDateTime c = t.civil();
    return ((std::int64_t(c.year) * 100 + c.month) * 100 + c.day) * 10000 + c.hour * 100 + c.minute;
}

std::int16_t angleField(double x, double y) { return roundToInt16(phaseAngle(x, y) * 180.0 / kPi); }

void RecordBuffer::putF32(float value) {
    // A NaN or infinity in a result file would be read as a measurement; refuse it.
    if (!std::isfinite(value)) throw NonFiniteValue("a value of the record is not a finite number");
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::byte>(bits >> (8 * i)));
}

void RecordBuffer::putI16(std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    m_bytes.push_back(static_cast<std::byte>(bits & 0xFF));
    m_bytes.push_back(static_cast<std::byte>(bits >> 8));
}

void checkIntervalShape(const IntervalAggregate& iv, HarmonicOption option, int feederCount) {
    const std::size_t f = static_cast<std::size_t>(feederCount);
    const std::size_t orders = static_cast<std::size_t>(writtenOrders(option).back()) + 1;
    requireSize(feederCount >= 1, "no feeder");
    requireSize(iv.voltageRms.size() >= orders && iv.voltageX.size() >= orders &&
                    iv.voltageY.size() >= orders && iv.currentRefX.size() >= orders,
                "interval voltage arrays too short");
    for (const Array2<float>* a :
         {&iv.currentRms, &iv.activePower, &iv.reactivePower, &iv.currentRefY})
        requireSize(a->rows() >= f && a->cols() >= orders, "interval current arrays too short");
    requireSize(iv.currentRmsByPhase.rows() >= 3 && iv.currentRmsByPhase.cols() >= f,
                "interval per-phase current RMS too short");
    for (const Array2<float>* a :
         {&iv.voltagePhasorRe, &iv.voltagePhasorIm, &iv.anglePhasorVoltageRe,
          &iv.anglePhasorVoltageIm, &iv.anglePhasorCurrentRe, &iv.anglePhasorCurrentIm})
        requireSize(a->rows() >= 3 && a->cols() >= orders, "interval phase phasors too short");
    for (const Array3<float>* a : {&iv.currentPhasorRe, &iv.currentPhasorIm})
        requireSize(a->size0() >= f && a->size1() >= 3 && a->size2() >= orders,
                    "interval current phasors too short");
}

std::vector<std::byte> encodeSingleRecord(const RecordStamp& stamp, const IntervalAggregate& iv,
                                          HarmonicOption option, int feederCount) {
    assert(iv.intervalState > 0 && "an empty interval has no record");
    const double count = iv.intervalState;
    const std::vector<int> orders = writtenOrders(option);
    RecordBuffer b(static_cast<std::size_t>(recordLength(option, feederCount)));
    b.putF32(stamp.dateField);
    b.putI16(stamp.timeField);
    for (int n : orders) b.putF32(quotient(iv.voltageRms[n], count));
    for (int k = 0; k < feederCount; ++k) {
        for (int n : orders) b.putF32(quotient(iv.currentRms(k, n), count));
        for (int n : orders) b.putI16(angleField(iv.activePower(k, n), iv.reactivePower(k, n)));
    }
    if (hasVoltageAngleRow(option))
        for (int n : orders) b.putI16(angleField(iv.voltageX[n], iv.voltageY[n]));
    if (hasCurrentAngleRow(option))
        for (int n : orders) b.putI16(angleField(iv.currentRefX[n], iv.currentRefY(0, n)));
    if (hasUnbalanceRows(option)) putUnbalanceRows(b, iv, feederCount);
    assert(b.size() == static_cast<std::size_t>(recordLength(option, feederCount)));
    return b.bytes();
}

std::vector<std::byte> encodePhaseRecord(const RecordStamp& stamp, const IntervalAggregate& iv,
                                         int p, HarmonicOption option, int feederCount) {
    assert(iv.intervalState > 0 && "an empty interval has no record");
    assert(p >= 0 && p < 3 && "phase slot 0..2");
    const double count = iv.intervalState;
    const std::vector<int> orders = writtenOrders(option);
    RecordBuffer b(static_cast<std::size_t>(recordLength(option, feederCount)));
    b.putF32(stamp.dateField);
    b.putI16(stamp.timeField);
    for (int n : orders)
        b.putF32(quotient(magnitude(iv.voltagePhasorRe(p, n), iv.voltagePhasorIm(p, n)), count));
    for (int k = 0; k < feederCount; ++k) {
        for (int n : orders) {
            const double m = magnitude(iv.currentPhasorRe(k, p, n), iv.currentPhasorIm(k, p, n));
            b.putF32(quotient(m, count));
        }
        for (int n : orders) {
            // The angle between the voltage and current phasors of this phase: the
            // product of the voltage with the conjugate current.
            const double vr = iv.voltagePhasorRe(p, n), vi = iv.voltagePhasorIm(p, n);
            const double ir = iv.currentPhasorRe(k, p, n), ii = iv.currentPhasorIm(k, p, n);
            b.putI16(angleField(vr * ir + vi * ii, vi * ir - vr * ii));
        }
    }
    if (hasVoltageAngleRow(option))
        for (int n : orders)
            b.putI16(angleField(iv.anglePhasorVoltageIm(p, n), iv.anglePhasorVoltageRe(p, n)));
    if (hasCurrentAngleRow(option))
        for (int n : orders)
            b.putI16(angleField(iv.anglePhasorCurrentIm(p, n), iv.anglePhasorCurrentRe(p, n)));
    if (hasUnbalanceRows(option)) putUnbalanceRows(b, iv, feederCount);
    assert(b.size() == static_cast<std::size_t>(recordLength(option, feederCount)));
    return b.bytes();
}

}  // namespace waveharm
