// The merge list of a finished analysis, one line per merge in merge order:
//   left <TAB> right <TAB> id <TAB> height <TAB> members
// left and right are the merged clusters' ids (smaller first), id the new
// cluster's, members its object count, and height the merge height in the
// engine's own squared units with 21 significant digits, enough to read back
// every bit of the 80-bit value. The format never depends on the locale.
#pragma once

#include <string>

namespace cluster {

class AnalysisStore;

// The merge list of the store's finished tree.
std::string MergeListText(const AnalysisStore& store);

}  // namespace cluster
