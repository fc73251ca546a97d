#include "desktop/datawindow/grid_binding.h"

namespace cluster {

GridBinding::GridBinding(CellGrid& cells, TextGrid& control) : cells_(cells), control_(control) {
  cells_.SetListener(this);
  control_.SetSource(this);
}

GridBinding::~GridBinding() {
  cells_.SetListener(nullptr);
  control_.SetSource(nullptr);
}

void GridBinding::SetCell(std::int32_t col, std::int32_t row, std::string text) {
  cells_.SetCell(col, row, text);
}

}  // namespace cluster
