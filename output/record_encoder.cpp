#include "output/record_encoder.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "engine/complex_math.h"

namespace waveharm {
namespace {

float quotient(double sum, double count) { return static_cast<float>(sum / count); }

double magnitude(double re, double im) { return std::sqrt(re * re + im * im); }

void requireSize(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("result record: ") + what);
}

// The record's bytes, each field written at its place.
class RecordBytes {
  public:
    explicit RecordBytes(int size) : m_bytes(static_cast<std::size_t>(size)) {}
    void putF32(int at, float value) {
        // A NaN or infinity in a result file would be read as a measurement; refuse it.
        if (!std::isfinite(value))
            throw NonFiniteValue("a value of the record is not a finite number");
        put(at, std::bit_cast<std::uint32_t>(value), 4);
    }
    void putI16(int at, std::int16_t value) { put(at, static_cast<std::uint16_t>(value), 2); }
    std::vector<std::byte> take() { return std::move(m_bytes); }

  private:
    void put(int at, std::uint32_t bits, int width) {
        assert(at >= 0 && std::size_t(at + width) <= m_bytes.size() && "field inside the record");
        for (int i = 0; i < width; ++i)
            m_bytes[static_cast<std::size_t>(at + i)] = static_cast<std::byte>(bits >> (8 * i));
    }
    std::vector<std::byte> m_bytes;
};

// The stamp, then every field of the table: `angle(field)` for the 16-bit angles,
// `value(field)` for the rest.
template <class Value, class Angle>
std::vector<std::byte> encode(const ResultRecordFormat& format, const RecordStamp& stamp,
                              const Value& value, const Angle& angle) {
    RecordBytes b(format.recordBytes());
    b.putF32(kDateField.offset, stamp.dateField);
    b.putI16(kTimeField.offset, stamp.timeField);
    for (const RecordField& f : format.columns()) {
        if (f.isI16())
            b.putI16(f.offset, angle(f));
        else
            b.putF32(f.offset, value(f));
    }
    return b.take();
}

// The per-phase RMS values, the same in the single file and in each phase file.
float byPhaseValue(const IntervalAggregate& iv, const RecordField& f, double count) {
    if (f.kind == FieldKind::VoltageRmsByPhase)
        return quotient(iv.voltageRmsByPhase[f.phase - 1], count);
    return quotient(iv.currentRmsByPhase(f.phase - 1, f.feeder - 1), count);
}

}  // namespace

std::int16_t angleField(double x, double y) { return roundToInt16(phaseAngle(x, y) * 180.0 / kPi); }

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

std::vector<std::byte> encodeSingleRecord(const ResultRecordFormat& format,
                                          const RecordStamp& stamp, const IntervalAggregate& iv) {
    assert(iv.intervalState > 0 && "an empty interval has no record");
    const double count = iv.intervalState;
    const auto value = [&](const RecordField& f) {
        const int n = f.order, k = f.feeder - 1;
        if (f.kind == FieldKind::VoltageRms) return quotient(iv.voltageRms[n], count);
        if (f.kind == FieldKind::CurrentRms) return quotient(iv.currentRms(k, n), count);
        return byPhaseValue(iv, f, count);
    };
    const auto angle = [&](const RecordField& f) {
        const int n = f.order, k = f.feeder - 1;
        if (f.kind == FieldKind::CurrentAngle)
            return angleField(iv.activePower(k, n), iv.reactivePower(k, n));
        if (f.kind == FieldKind::VoltageAngle) return angleField(iv.voltageX[n], iv.voltageY[n]);
        return angleField(iv.currentRefX[n], iv.currentRefY(0, n));
    };
    return encode(format, stamp, value, angle);
}

std::vector<std::byte> encodePhaseRecord(const ResultRecordFormat& format, const RecordStamp& stamp,
                                         const IntervalAggregate& iv, int p) {
    assert(iv.intervalState > 0 && "an empty interval has no record");
    assert(p >= 0 && p < 3 && "phase slot 0..2");
    const double count = iv.intervalState;
    const auto value = [&](const RecordField& f) {
        const int n = f.order, k = f.feeder - 1;
        if (f.kind == FieldKind::VoltageRms)
            return quotient(magnitude(iv.voltagePhasorRe(p, n), iv.voltagePhasorIm(p, n)), count);
        if (f.kind == FieldKind::CurrentRms)
            return quotient(magnitude(iv.currentPhasorRe(k, p, n), iv.currentPhasorIm(k, p, n)),
                            count);
        return byPhaseValue(iv, f, count);
    };
    const auto angle = [&](const RecordField& f) {
        const int n = f.order, k = f.feeder - 1;
        if (f.kind == FieldKind::CurrentAngle) {
            // The angle between the voltage and current phasors of this phase: the
            // product of the voltage with the conjugate current.
            const double vr = iv.voltagePhasorRe(p, n), vi = iv.voltagePhasorIm(p, n);
            const double ir = iv.currentPhasorRe(k, p, n), ii = iv.currentPhasorIm(k, p, n);
            return angleField(vr * ir + vi * ii, vi * ir - vr * ii);
        }
        if (f.kind == FieldKind::VoltageAngle)
            return angleField(iv.anglePhasorVoltageIm(p, n), iv.anglePhasorVoltageRe(p, n));
        return angleField(iv.anglePhasorCurrentIm(p, n), iv.anglePhasorCurrentRe(p, n));
    };
    return encode(format, stamp, value, angle);
}

}  // namespace waveharm
