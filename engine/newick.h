// A tree in Newick format, the text phylogenetics tools and R's ape read.
//
// A branch is the parent's height less the child's, in the list's units
// (negative under an inversion of the centroid or median method), written
// as the shortest text that reads back (common/real_text.h). A label that
// holds what the format gives a meaning (blanks, underscores, brackets and
// punctuation) or a control byte is quoted with single quotes, an inner one
// doubled.
#pragma once

#include <string>
#include <vector>

#include "engine/merge_list.h"

namespace cluster {

// The tree and ";\n"; labels[i - 1] names object i (any encoding: bytes
// are copied). Empty for a list of no objects.
std::string NewickText(const MergeList& list, const std::vector<std::string>& labels);

}  // namespace cluster
