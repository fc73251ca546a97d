#include "desktop/datawindow/program_store.h"

namespace cluster {

AnalysisStore& ProgramStore() {
  static AnalysisStore store(AnalysisStore::kDesktopMaxObjects);
  return store;
}

}  // namespace cluster
