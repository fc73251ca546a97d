#include "desktop/datawindow/data_grids.h"

#include "common/codepage.h"
#include "common/numbers.h"

namespace cluster {

std::int32_t ObjectCountOf(const DataGrids& grids) noexcept { return grids.Labels.RowCount() - 1; }

std::string ObjectHeading(std::int32_t i) {
  static const std::string prefix = Cp932FromUtf8(" 対象");
  const std::string number = IntToText(i);
  return prefix + (number.size() < 2 ? " " : "") + number;
}

void WriteMask(CellGrid& matrix) {
  const std::int32_t rows = matrix.RowCount();
  for (std::int32_t r = 1; r <= rows - 1; ++r) {
    for (std::int32_t k = r; k <= rows - 1; ++k) matrix.SetCell(k, r, kMaskText);
  }
}

}  // namespace cluster
