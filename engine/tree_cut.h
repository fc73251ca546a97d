// A tree cut into groups: by the number of groups, or at a height.
//
// Groups are numbered 1.. in the order in which each group's first object
// comes in the data, and listed per object in data order.
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/merge_list.h"

namespace cluster {

// Undoes the last groups - 1 merges (1 <= groups <= n).
std::vector<std::int32_t> GroupsOfCut(const MergeList& list, std::int32_t groups);

// A group is a largest subtree whose merges all lie at or below `height`
// (AtOrBelowCut), in the list's units.
std::vector<std::int32_t> GroupsBelowHeight(const MergeList& list, Real height);

// Whether a merge at `height` lies at or below the cut: when it is not
// above it, and also when `cut` is the height as printed, so that a value
// copied from an output cuts where it reads. The printed forms are the
// shortest text of the double (as the linkage matrix and Newick give it)
// and 15 significant digits (as R prints a height); 21 digits read back as
// the height itself. Printed texts are read back as the cut was, by the
// program's number rules with the user's decimal separator.
bool AtOrBelowCut(Real height, Real cut);

}  // namespace cluster
