#include "datafiles/capture_failure.h"

#include "common/numbers.h"

namespace cluster {

std::string CaptureFailureMessage(const CaptureFailure& failure) {
  return "Error ===>  Cells[" + IntToText(failure.Row) + "," + IntToText(failure.Col) + "] = " + failure.Text;
}

}  // namespace cluster
