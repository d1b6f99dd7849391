#include "display/results_table.h"

#include <algorithm>
#include <cmath>

#include "display/number_format.h"

namespace waveharm {

namespace {

constexpr const char* kVolts = "####0.0V";
constexpr const char* kAmperes = "####0.0A";
constexpr const char* kDegrees = "##0ﾟ";

/// A value already held in percent, shown with one decimal and "%".
std::string percentText(double percent) { return formatNumber(percent / 100.0, "##0.0%"); }

/// A ratio shown as a percentage; empty when there is nothing to divide by.
std::string ratioText(double numerator, double denominator, const char* picture) {
    if (denominator == 0 || !std::isfinite(denominator)) return {};
    return formatNumber(numerator / denominator, picture);
}

/// The part of a phase's true RMS that is not its fundamental; 0 when rounding puts the
/// RMS below the fundamental.
double distortionPart(double rms, double fundamental) {
    if (rms < fundamental) return 0;
    return std::sqrt(rms * rms - fundamental * fundamental);
}

void setHeaders(DisplayMode mode, ResultGrids& grids) {
    static const char* const kHeaders[4][5] = {
        {"電圧", "歪み率", "電流", "歪み率", "位相差"},
        {"電圧１", "電圧２", "電圧３", "", ""},
        {"電流１", "電流２", "電流３", "", ""},
        {"電圧", "位相角", "電流", "位相角", "位相差"},
    };
    for (auto& grid : grids) {
        grid.at(0, 0) = "次数";
        for (int c = 1; c < grid.columns(); ++c)
            grid.at(0, c) = kHeaders[static_cast<int>(mode) - 2][c - 1];
    }
}

void fillOrderRow(DisplayMode mode, const HarmonicResult& r, std::size_t f, int n, TableGrid& grid,
                  int row) {
    grid.at(row, 0) = formatNumber(n, "##次");
    switch (mode) {
        case DisplayMode::TotalsTable:
            grid.at(row, 1) = formatNumber(r.voltageRms[n], kVolts);
            grid.at(row, 2) = percentText(n == 1 ? 100.0 : r.voltageHarmonicPercent[n]);
            grid.at(row, 3) = formatNumber(r.currentRms(f, n), kAmperes);
            grid.at(row, 4) = percentText(n == 1 ? 100.0 : r.currentHarmonicPercent(f, n));
            grid.at(row, 5) = formatNumber(r.phaseAngleDeg(f, n), kDegrees);
            break;
        case DisplayMode::VoltageTable:
            for (int c = 0; c < 3; ++c) {
                grid.at(row, c + 1) = formatNumber(r.voltageHarmonicMagnitude(c, n), kVolts);
            }
            break;
        case DisplayMode::CurrentTable:
            for (int c = 0; c < 3; ++c) {
                grid.at(row, c + 1) = formatNumber(r.currentHarmonicMagnitude(f, c, n), kAmperes);
            }
            break;
        case DisplayMode::AngleTable:
            grid.at(row, 1) = formatNumber(r.voltageRms[n], kVolts);
            grid.at(row, 2) = formatNumber(r.voltageAngleDeg[n], kDegrees);
            grid.at(row, 3) = formatNumber(r.currentRms(f, n), kAmperes);
            grid.at(row, 4) = formatNumber(r.currentRefAngleDeg(f, n), kDegrees);
            grid.at(row, 5) = formatNumber(r.phaseAngleDeg(f, n), kDegrees);
            break;
        default:  // the graphic modes have no grids
            break;
    }
}

void fillTotalsRow(DisplayMode mode, const HarmonicResult& r, std::size_t f, TableGrid& grid,
                   int row) {
    grid.at(row, 0) = "総合";
    if (mode == DisplayMode::TotalsTable) {
        grid.at(row, 1) = formatNumber(r.voltageDistortionSum, kVolts);
        grid.at(row, 2) = ratioText(r.voltageDistortionSum, r.voltageRms[1], "#0.0%");
        grid.at(row, 3) = formatNumber(r.currentDistortionSum[f], kAmperes);
        // A feeder without fundamental current has no distortion ratio.
        grid.at(row, 4) = ratioText(r.currentDistortionSum[f], r.currentRms(f, 1), "##0.0%");
        grid.at(row, 5) = formatNumber(r.harmonicPowerAngle[f], kDegrees);
        return;
    }
    for (int c = 0; c < 3; ++c) {
        grid.at(row, c + 1) = mode == DisplayMode::VoltageTable
                                  ? formatNumber(r.voltageDistortionByPhase[c], kVolts)
                                  : formatNumber(r.currentDistortionByPhase(c, f), kAmperes);
    }
}

void fillRmsRow(DisplayMode mode, const HarmonicResult& r, std::size_t f, int usedPhases,
                TableGrid& grid, int row) {
    grid.at(row, 0) = "実効値";
    if (mode == DisplayMode::TotalsTable) {
        double v = 0, i = 0;
        for (int c = 0; c < usedPhases; ++c) {
            v += r.voltageRmsByPhase[c];
            i += r.currentRmsByPhase(c, f);
        }
        grid.at(row, 1) = formatNumber(v / usedPhases, kVolts);
        grid.at(row, 3) = formatNumber(i / usedPhases, kAmperes);
        return;
    }
    for (int c = 0; c < 3; ++c) {
        grid.at(row, c + 1) = mode == DisplayMode::VoltageTable
                                  ? formatNumber(r.voltageRmsByPhase[c], kVolts)
                                  : formatNumber(r.currentRmsByPhase(c, f), kAmperes);
    }
}

void fillDistortionRow(DisplayMode mode, const HarmonicResult& r, std::size_t f, TableGrid& grid,
                       int row) {
    grid.at(row, 0) = "全歪";
    if (mode == DisplayMode::TotalsTable) return;
    for (int c = 0; c < 3; ++c) {
        grid.at(row, c + 1) =
            mode == DisplayMode::VoltageTable
                ? formatNumber(
                      distortionPart(r.voltageRmsByPhase[c], r.voltageHarmonicMagnitude(c, 1)),
                      kVolts)
                : formatNumber(distortionPart(r.currentRmsByPhase(c, f),
                                              r.currentHarmonicMagnitude(f, c, 1)),
                               kAmperes);
    }
}

}  // namespace

void TableGrid::resize(int rows, int columns) {
    std::vector<std::string> cells(static_cast<std::size_t>(rows) * columns);
    for (int r = 0; r < std::min(rows, m_rows); ++r) {
        for (int c = 0; c < std::min(columns, m_columns); ++c) {
            cells[static_cast<std::size_t>(r) * columns + c] = std::move(at(r, c));
        }
    }
    m_rows = rows;
    m_columns = columns;
    m_cells = std::move(cells);
}

int initialGridRows(int maxOrder) { return maxOrder / 2 + 2; }

ResultGrids buildResultGrids(DisplayMode displayMode, const HarmonicResult& result, int feeder,
                             int maxOrder, MeasurementType type) {
    assert(isTableMode(displayMode) && "only the numeric modes have grids");
    const int half = maxOrder / 2;
    const int columns =
        displayMode == DisplayMode::VoltageTable || displayMode == DisplayMode::CurrentTable ? 4
                                                                                             : 6;
    const int rows = displayMode == DisplayMode::AngleTable ? half + 2 : half + 3;
    ResultGrids grids{TableGrid(rows, columns), TableGrid(rows, columns)};
    setHeaders(displayMode, grids);

    const auto f = static_cast<std::size_t>(feeder);
    const int lastOrder = std::min(maxOrder, result.orders);
    for (int n = 1; n <= lastOrder; ++n) {
        fillOrderRow(displayMode, result, f, n, grids[gridOfOrder(n)], rowOfOrder(n));
    }
    if (displayMode == DisplayMode::AngleTable) return grids;  // no totals, RMS or distortion rows
    fillTotalsRow(displayMode, result, f, grids[1], half + 1);
    fillRmsRow(displayMode, result, f, lastVoltageColumn(type) + 1, grids[0], half + 2);
    fillDistortionRow(displayMode, result, f, grids[1], half + 2);
    return grids;
}

}  // namespace waveharm
