#pragma once
// Reads "harm" result files back: the file is split into records of the length its
// harmonic option and feeder count fix, and every field is decoded. Used by the
// dump command and by the tests that check what the writers produced.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_settings.h"

namespace waveharm {

/// The record layout of one result file.
struct ResultLayout {
    HarmonicOption option = HarmonicOption::Odd1To49;
    int feederCount = 1;
    char phase = 0;  ///< 'R', 'T' or 'S' for a per-phase file, 0 for a single file

    int recordBytes() const;
};

/// One decoded record. Per-order values are indexed like `writtenOrders(option)`.
struct ResultRecord {
    float dateField = 0;         ///< yymmdd as written
    std::int16_t timeField = 0;  ///< hhmm as written
    std::vector<float> voltageRms;
    std::vector<std::vector<float>> currentRms;  ///< [feeder][order index]
    /// [feeder][order index]: angle between voltage and current, degrees.
    std::vector<std::vector<std::int16_t>> currentAngleDeg;
    /// Superposition angle of the voltage (single file) or the voltage phase angle
    /// (per-phase file), degrees; empty when the layout has no such row.
    std::vector<std::int16_t> voltageAngleDeg;
    /// The same for the first feeder's current; empty when absent.
    std::vector<std::int16_t> firstCurrentAngleDeg;
    bool hasUnbalance = false;
    std::array<float, 3> voltageRmsByPhase{};             ///< phases 0, 1, 2
    std::vector<std::array<float, 3>> currentRmsByPhase;  ///< [feeder][phase 0, 1, 2]
};

struct ResultFileContents {
    ResultLayout layout;
    std::vector<int> orders;  ///< the harmonic order of each per-order index
    std::vector<ResultRecord> records;
};

/// What a result file's extension says: ".hmN", ".ha4", ".ha5", ".hvN", ".hnN", each
/// possibly with the phase letter R, T or S before the "h" (letters in either case).
struct ExtensionLayout {
    HarmonicOption option = HarmonicOption::Odd1To49;
    std::optional<int> feederCount;  ///< absent for .ha4 and .ha5
    char phase = 0;
};

/// Nothing when the extension is not one of the result extensions.
std::optional<ExtensionLayout> layoutFromExtension(std::string_view fileName);

/// The layout of a file of `fileSize` bytes: `option` and `feederCount`, when given,
/// override what the extension says; a feeder count known from neither is the only
/// one (1..9) whose record length divides the file size. Throws InputError when the
/// layout cannot be told or the size is not a whole number of records.
ResultLayout resolveResultLayout(const std::string& fileName, std::int64_t fileSize,
                                 std::optional<HarmonicOption> option,
                                 std::optional<int> feederCount);

/// Decodes one record; `bytes` must be exactly `layout.recordBytes()` long.
/// `offset` is the record's position in the file for error messages.
ResultRecord decodeResultRecord(std::span<const std::byte> bytes, const ResultLayout& layout,
                                const std::string& fileName, std::int64_t offset = 0);

/// Splits and decodes a whole file image. Throws InputError when its size is not a
/// whole number of records.
std::vector<ResultRecord> parseResultRecords(std::span<const std::byte> bytes,
                                             const ResultLayout& layout,
                                             const std::string& fileName);

/// Reads and decodes a result file. Throws InputError (unreadable, unknown layout,
/// size not a whole number of records).
ResultFileContents readResultFile(const std::string& path,
                                  std::optional<HarmonicOption> option = std::nullopt,
                                  std::optional<int> feederCount = std::nullopt);

}  // namespace waveharm
