#include "desktop/datawindow/data_window_outcome.h"

namespace cluster {

std::int32_t DataWindowOutcome = kDataWindowWaiting;

}  // namespace cluster
