// What the batch tool writes of a finished tree for other tools, besides
// Newick (engine/newick.h):
//
// - The merge list, one line per merge in merge order:
//     left <TAB> right <TAB> id <TAB> height <TAB> members
//   ids as the engine gives them (objects 1..n, merges n + 1..), heights in
//   the list's units with 21 significant digits, enough to read back every
//   bit of the 80-bit value.
// - SciPy's linkage matrix: one merge per line, tab-separated, the two
//   merged ids 0-based (objects 0..n - 1, the k-th merge n + k - 1, the
//   one drawn first first: the smaller unless the list's drawing order
//   turns the merge), the height in SciPy's units and the member count.
// - Groups: label <TAB> group, one line per object in data order.
// - The leaf order: one label per line, top to bottom as drawn.
// - The cophenetic correlation coefficient, as "%.17g".
//
// Reals are written with the shortest decimal text that reads back
// (common/real_text.h); nothing depends on the locale. Labels are given in
// UTF-8; in tab-separated lines a label's backslash, tab, CR and LF are
// written as \\, \t, \r and \n, so that every line keeps its fields.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/merge_list.h"

namespace cluster {

std::string MergeListText(const MergeList& list);

// ENoSciPyHeight for a height with no root, or one past the range of the
// doubles SciPy's matrix holds.
std::string LinkageText(const MergeList& list);

// A label as a field of a tab-separated line: backslash, tab, CR and LF
// written as \\, \t, \r and \n; any other byte as it is.
std::string TabField(const std::string& label);
std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups);
std::string OrderText(const MergeList& list, const std::vector<std::string>& labels);

// The coefficient and a line end ("nan" for fewer than two objects).
// `rowsDone`, when given, counts the rows of pairs done.
std::string CopheneticText(const MergeList& list, const DissimilarityRows& rows,
                           std::atomic<std::int64_t>* rowsDone = nullptr);

}  // namespace cluster
