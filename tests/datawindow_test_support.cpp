#include "tests/datawindow_test_support.h"

#include <cstdlib>
#include <filesystem>

#include "common/codepage.h"
#include "desktop/datawindow/grid_editing.h"
#include "tests/file_bytes.h"

namespace cluster::testing {

std::string U(const std::string& utf8) { return Cp932FromUtf8(utf8); }

void FillGrids(DataGrids& grids, const std::vector<std::string>& labels,
               const std::vector<std::vector<std::string>>& lower) {
  const auto n = static_cast<std::int32_t>(labels.size());
  grids.Labels.SetColCount(2);
  grids.Labels.SetRowCount(n + 1);
  grids.Matrix.SetColCount(n + 1);
  grids.Matrix.SetRowCount(n + 1);
  grids.Labels.SetCell(0, 0, U(" 対　象"));
  grids.Labels.SetCell(1, 0, U(" ラベル"));
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::string heading = U(i < 10 ? " 対象 " + std::to_string(i) : " 対象" + std::to_string(i));
    grids.Labels.SetCell(0, i, heading);
    grids.Labels.SetCell(1, i, labels[static_cast<std::size_t>(i - 1)]);
    grids.Matrix.SetCell(0, i, heading);
    grids.Matrix.SetCell(i, 0, heading);
    for (std::int32_t k = i; k <= n; ++k) grids.Matrix.SetCell(k, i, "*");
  }
  for (std::size_t r = 0; r < lower.size(); ++r) {
    for (std::size_t c = 0; c < lower[r].size(); ++c) {
      grids.Matrix.SetCell(static_cast<std::int32_t>(c + 1), static_cast<std::int32_t>(r + 2), lower[r][c]);
    }
  }
  grids.Matrix.SetCurrentCell(1, 1);
  grids.Labels.SetCurrentCell(1, 1);
}

void SetUpTwoTypedObjects(DataGrids& grids) {
  SetInitialState(grids);
  grids.Labels.SetCell(1, 1, "A");
  grids.Labels.SetCell(1, 2, "B");
  grids.Matrix.SetCell(1, 2, "2.5");
}

void SetUpWithoutObjectRows(DataGrids& grids) {
  SetInitialState(grids);
  grids.Labels.SetRowCount(1);
  grids.Matrix.SetRowCount(1);
  grids.Matrix.SetColCount(1);
}

}  // namespace cluster::testing
