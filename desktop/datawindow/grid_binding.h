// Shows a CellGrid in a TextGrid control: the control reads and edits the
// cells through this binding, and every change of the cells, whoever makes
// it, reaches the control.
#pragma once

#include "desktop/datawindow/cell_grid.h"
#include "platform/text_grid.h"

namespace cluster {

class GridBinding : public TextGridSource, public CellGridListener {
 public:
  // Binds for the binding's lifetime; both must outlive it.
  GridBinding(CellGrid& cells, TextGrid& control);
  ~GridBinding() override;
  GridBinding(const GridBinding&) = delete;
  GridBinding& operator=(const GridBinding&) = delete;

  // TextGridSource
  std::int32_t ColCount() const override { return cells_.ColCount(); }
  std::int32_t RowCount() const override { return cells_.RowCount(); }
  std::string_view Cell(std::int32_t col, std::int32_t row) const override { return cells_.Cell(col, row); }
  void SetCell(std::int32_t col, std::int32_t row, std::string text) override;
  std::int32_t CurrentCol() const override { return cells_.CurrentCol(); }
  std::int32_t CurrentRow() const override { return cells_.CurrentRow(); }
  void SetCurrentCell(std::int32_t col, std::int32_t row) override { cells_.SetCurrentCell(col, row); }

  // CellGridListener
  void GridAboutToReset() override { control_.NotifyAboutToReset(); }
  void GridReset() override { control_.NotifyReset(); }
  void CellChanged(std::int32_t col, std::int32_t row) override { control_.NotifyCellChanged(col, row); }
  void CurrentCellChanged() override { control_.NotifyCurrentCellChanged(); }

 private:
  CellGrid& cells_;
  TextGrid& control_;
};

}  // namespace cluster
