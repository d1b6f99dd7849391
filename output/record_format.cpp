#include "output/record_format.h"

#include <cassert>
#include <cmath>

#include "base/error.h"

namespace waveharm {
namespace {

bool hasVoltageAngleRow(HarmonicOption option) {
    return option == HarmonicOption::WithSuperpositionAngle ||
           option == HarmonicOption::WithAngleAndUnbalance ||
           option == HarmonicOption::HighOrder256;
}

bool hasCurrentAngleRow(HarmonicOption option) {
    return option == HarmonicOption::WithSuperpositionAngle;
}

bool hasUnbalanceRows(HarmonicOption option) {
    return option == HarmonicOption::WithUnbalance ||
           option == HarmonicOption::WithAngleAndUnbalance;
}

}  // namespace

const char* unitOf(ColumnQuantity quantity) {
    switch (quantity) {
        case ColumnQuantity::VoltageRms:
            return "V";
        case ColumnQuantity::CurrentRms:
            return "A";
        case ColumnQuantity::AngleDegrees:
            return "deg";
    }
    return "";
}

ColumnQuantity RecordField::quantity() const {
    switch (kind) {
        case FieldKind::CurrentRms:
        case FieldKind::CurrentRmsByPhase:
            return ColumnQuantity::CurrentRms;
        case FieldKind::CurrentAngle:
        case FieldKind::VoltageAngle:
        case FieldKind::FirstCurrentAngle:
            return ColumnQuantity::AngleDegrees;
        default:
            return ColumnQuantity::VoltageRms;
    }
}

int ResultLayout::recordBytes() const { return recordLength(option, feederCount); }

ResultRecordFormat::ResultRecordFormat(const ResultLayout& layout)
    : m_layout(layout), m_orders(writtenOrders(layout.option)) {
    assert(layout.feederCount >= 1 && layout.feederCount <= kMaxFeeders && "feeders 1..9");
    int at = kTimeField.offset + kTimeField.bytes();
    auto add = [&](FieldKind kind, int order, int feeder, int phase) {
        RecordField f{kind, at, order, feeder, phase};
        at += f.bytes();
        m_columns.push_back(f);
    };
    auto perOrder = [&](FieldKind kind, int feeder) {
        for (int n : m_orders) add(kind, n, feeder, 0);
    };
    perOrder(FieldKind::VoltageRms, 0);
    for (int k = 1; k <= layout.feederCount; ++k) {
        perOrder(FieldKind::CurrentRms, k);
        perOrder(FieldKind::CurrentAngle, k);
    }
    if (hasVoltageAngleRow(layout.option)) perOrder(FieldKind::VoltageAngle, 0);
    if (hasCurrentAngleRow(layout.option)) perOrder(FieldKind::FirstCurrentAngle, 1);
    if (hasUnbalanceRows(layout.option)) {
        for (int j = 1; j <= 3; ++j) add(FieldKind::VoltageRmsByPhase, 0, 0, j);
        // Each feeder's three phase currents are stored in the phase order 1, 3, 2 and
        // listed 1, 2, 3.
        for (int k = 1; k <= layout.feederCount; ++k, at += 12)
            for (int j = 1; j <= 3; ++j) {
                const int slot = j == 1 ? 0 : j == 2 ? 2 : 1;
                m_columns.push_back({FieldKind::CurrentRmsByPhase, at + 4 * slot, 0, k, j});
            }
    }
    m_recordBytes = at;
}

std::string ResultRecordFormat::name(const RecordField& f) const {
    const std::string order = "_h" + std::to_string(f.order);
    const std::string feeder = "I" + std::to_string(f.feeder);
    const bool phaseFile = m_layout.phase != 0;
    switch (f.kind) {
        case FieldKind::Date:
            return "date";
        case FieldKind::Time:
            return "time";
        case FieldKind::VoltageRms:
            return "V" + order;
        case FieldKind::CurrentRms:
            return feeder + order;
        case FieldKind::CurrentAngle:
            return feeder + "_angle" + order;
        case FieldKind::VoltageAngle:
            return (phaseFile ? "V_phase_angle" : "V_sup_angle") + order;
        case FieldKind::FirstCurrentAngle:
            return (phaseFile ? "I1_phase_angle" : "I1_sup_angle") + order;
        case FieldKind::VoltageRmsByPhase:
            return "V_rms_ph" + std::to_string(f.phase);
        case FieldKind::CurrentRmsByPhase:
            return feeder + "_rms_ph" + std::to_string(f.phase);
    }
    return {};
}

int ResultRecordFormat::find(FieldKind kind, int order, int feeder, int phase) const {
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const RecordField& f = m_columns[c];
        if (f.kind == kind && f.order == order && f.feeder == feeder && f.phase == phase)
            return static_cast<int>(c);
    }
    return -1;
}

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

std::vector<int> writtenOrders(HarmonicOption option) {
    std::vector<int> orders;
    if (option == HarmonicOption::HighOrder256) {
        for (int n = 1; n <= 256; ++n) orders.push_back(n);
    } else {
        for (int n = 1; n <= 49; n += 2) orders.push_back(n);
    }
    return orders;
}

int recordLength(HarmonicOption option, int feederCount) {
    return ResultRecordFormat({option, feederCount, 0}).recordBytes();
}

}  // namespace waveharm
