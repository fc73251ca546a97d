// The value that stopped the reading of dissimilarities: the cell of the
// lower triangle whose text is no number, as the desktop program shows it.
#pragma once

#include <cstdint>
#include <string>

namespace cluster {

// Its row i (the row object), its column j, and its text unchanged.
struct CaptureFailure {
  std::int32_t Row = 0;
  std::int32_t Col = 0;
  std::string Text;
};

// "Error ===>  Cells[i,j] = text", the row first.
std::string CaptureFailureMessage(const CaptureFailure& failure);

}  // namespace cluster
