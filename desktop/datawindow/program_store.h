// The desktop program's analysis store: one for the whole process, sized for
// 1000 objects, living until the program ends. The data window captures into
// it, the run merges in it, the plot and the output file read it.
#pragma once

#include "engine/matrix/analysis_store.h"

namespace cluster {

AnalysisStore& ProgramStore();

}  // namespace cluster
