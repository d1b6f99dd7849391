#pragma once
// A result file read whole into records grouped by what they hold, for tests that check
// the numbers a run wrote. Read through the programs' own reader and field table.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/result_reader.h"

namespace waveharm::testing {

/// One record; per-order values are indexed like `ResultFileContents::orders`.
struct ResultRecord {
    float dateField = 0;
    std::int16_t timeField = 0;
    std::vector<float> voltageRms;
    std::vector<std::vector<float>> currentRms;              ///< [feeder][order index]
    std::vector<std::vector<std::int16_t>> currentAngleDeg;  ///< [feeder][order index]
    std::vector<std::int16_t> voltageAngleDeg;               ///< empty when absent
    std::vector<std::int16_t> firstCurrentAngleDeg;          ///< empty when absent
    bool hasUnbalance = false;
    std::array<float, 3> voltageRmsByPhase{};             ///< phases 1, 2, 3
    std::vector<std::array<float, 3>> currentRmsByPhase;  ///< [feeder][phase 1, 2, 3]
};

struct ResultFileContents {
    ResultLayout layout;
    std::vector<int> orders;
    std::vector<ResultRecord> records;
};

inline ResultRecord groupedRecord(const RecordView& view, const ResultRecordFormat& format) {
    ResultRecord r;
    const RecordStamp stamp = view.stamp();
    r.dateField = stamp.dateField;
    r.timeField = stamp.timeField;
    const auto feeders = static_cast<std::size_t>(format.layout().feederCount);
    r.currentRms.resize(feeders);
    r.currentAngleDeg.resize(feeders);
    for (const RecordField& f : format.columns()) {
        const auto k = static_cast<std::size_t>(f.feeder > 0 ? f.feeder - 1 : 0);
        const auto j = static_cast<std::size_t>(f.phase > 0 ? f.phase - 1 : 0);
        switch (f.kind) {
            case FieldKind::VoltageRms:
                r.voltageRms.push_back(view.value(f));
                break;
            case FieldKind::CurrentRms:
                r.currentRms[k].push_back(view.value(f));
                break;
            case FieldKind::CurrentAngle:
                r.currentAngleDeg[k].push_back(view.whole(f));
                break;
            case FieldKind::VoltageAngle:
                r.voltageAngleDeg.push_back(view.whole(f));
                break;
            case FieldKind::FirstCurrentAngle:
                r.firstCurrentAngleDeg.push_back(view.whole(f));
                break;
            case FieldKind::VoltageRmsByPhase:
                r.hasUnbalance = true;
                r.voltageRmsByPhase[j] = view.value(f);
                break;
            case FieldKind::CurrentRmsByPhase:
                r.currentRmsByPhase.resize(feeders);
                r.currentRmsByPhase[k][j] = view.value(f);
                break;
            case FieldKind::Date:
            case FieldKind::Time:
                break;
        }
    }
    return r;
}

/// Every record of `path`. Throws InputError as ResultFileReader does.
inline ResultFileContents readResultFile(const std::string& path,
                                         std::optional<HarmonicOption> option = std::nullopt,
                                         std::optional<int> feederCount = std::nullopt) {
    ResultFileReader reader(path, option, feederCount);
    ResultFileContents contents;
    contents.layout = reader.format().layout();
    contents.orders = reader.format().orders();
    reader.read([&](const RecordView& view) {
        contents.records.push_back(groupedRecord(view, reader.format()));
    });
    return contents;
}

}  // namespace waveharm::testing
