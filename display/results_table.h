#pragma once
// Cell texts of the analysis window's two result grids: odd harmonic orders in the
// first grid, even orders in the second, side by side, with the totals, RMS and total
// distortion rows of the numeric display modes.

#include <array>
#include <cassert>
#include <string>
#include <vector>

#include "engine/harmonic_result.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// One grid's cell texts, row 0 the header row and column 0 the order column.
class TableGrid {
  public:
    TableGrid() = default;
    TableGrid(int rows, int columns) { resize(rows, columns); }

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    /// Keeps the texts of the cells that stay inside the new size.
    void resize(int rows, int columns);
    const std::string& at(int row, int column) const {
        assert(row >= 0 && row < m_rows && column >= 0 && column < m_columns &&
               "cell outside grid");
        return m_cells[static_cast<std::size_t>(row) * m_columns + column];
    }
    std::string& at(int row, int column) {
        assert(row >= 0 && row < m_rows && column >= 0 && column < m_columns &&
               "cell outside grid");
        return m_cells[static_cast<std::size_t>(row) * m_columns + column];
    }

  private:
    int m_rows = 0;
    int m_columns = 0;
    std::vector<std::string> m_cells;
};

/// The two grids: [0] odd orders, [1] even orders.
using ResultGrids = std::array<TableGrid, 2>;

/// Rows of both grids before any table is shown: maxOrder div 2 + 2.
int initialGridRows(int maxOrder);

/// Grid holding order n (0 odd, 1 even) and its row, (n + 1) div 2.
inline int gridOfOrder(int order) { return order % 2 == 0 ? 1 : 0; }
inline int rowOfOrder(int order) { return (order + 1) / 2; }

/// Column widths in twips: the order column and every value column.
inline constexpr int kOrderColumnTwips = 500;
inline constexpr int kValueColumnTwips = 700;

/// What the analysis window shows, numbered 1..9 as its display buttons `Command3`(0..8).
enum class DisplayMode : int {
    Charts = 1,                  ///< "グラフ"
    TotalsTable = 2,             ///< "数値Σ"
    VoltageTable = 3,            ///< "数値Ｖ"
    CurrentTable = 4,            ///< "数値Ｉ"
    AngleTable = 5,              ///< "数値Ｒ"
    Waveforms = 6,               ///< "波形"
    DistortionWaveforms = 7,     ///< "歪波形"
    WaveformsAndDistortion = 8,  ///< "波＋歪"
    HarmonicPhasors = 9,         ///< "ﾍﾞｸﾄﾙ"
};

/// The mode of display button `index` (0..8).
inline DisplayMode displayModeOfButton(int index) { return static_cast<DisplayMode>(index + 1); }

/// True for the numeric display modes.
inline bool isTableMode(DisplayMode mode) {
    return mode >= DisplayMode::TotalsTable && mode <= DisplayMode::AngleTable;
}

/// Fills the grids of a numeric mode ("数値Σ", "数値Ｖ", "数値Ｉ" or "数値Ｒ") from one
/// recording's results for the displayed feeder. Orders 1..maxOrder; the RMS row averages
/// the phases the measurement type uses.
ResultGrids buildResultGrids(DisplayMode displayMode, const HarmonicResult& result, int feeder,
                             int maxOrder, MeasurementType type);

}  // namespace waveharm
