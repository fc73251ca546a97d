#include "datawindow/data_capture.h"

#include "common/errors.h"
#include "common/numbers.h"

namespace cluster {

std::string CaptureFailureMessage(const CaptureFailure& failure) {
  return "Error ===>  Cells[" + IntToText(failure.Row) + "," + IntToText(failure.Col) + "] = " + failure.Text;
}

std::optional<CaptureFailure> CaptureData(const DataGrids& grids, AnalysisStore& store,
                                          std::uint8_t method) {
  const std::int32_t n = ObjectCountOf(grids);
  store.ObjectCount = n;
  for (std::int32_t i = 1; i <= n; ++i) store.ObjectNames(i) = grids.Labels.Cell(1, i);

  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      const std::string& text = grids.Matrix.Cell(j, i);
      try {
        store.DistMatrix(i, j) = TextToReal(text);
      } catch (const Exception&) {
        // A cell that is not a number, or one the store cannot take: the
        // user mends it and captures again.
        return CaptureFailure{i, j, text};
      }
    }
  }
  store.DistType = method;
  return std::nullopt;
}

}  // namespace cluster
