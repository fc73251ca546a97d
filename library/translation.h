// Between the library's public records and the engine's: methods and
// their selectors, trees and merge lists, and the engine's exceptions
// turned into the library's.
#pragma once

#include <cstdint>

#include "cluster_analysis/linkage.h"
#include "cluster_analysis/methods.h"
#include "engine/merge_list.h"

namespace cluster::library {

using cluster_analysis::Method;
using cluster_analysis::Tree;

std::uint8_t CodeOf(Method method);
Method MethodOfCode(std::uint8_t code);

Tree TreeOf(const cluster::MergeList& list);
// The engine's list of a tree, checked (InvalidArgument unless a tree).
cluster::MergeList MergeListOf(const Tree& tree);

// Runs `work`, turning the engine's exceptions into the library's: a
// cancelled run into Cancelled, a refused one into OutOfMemory, a list
// that is no tree into InvalidArgument, any other into Error; messages in
// UTF-8.
template <typename Work>
auto Translated(Work work) -> decltype(work());

[[noreturn]] void RethrowTranslated();

template <typename Work>
auto Translated(Work work) -> decltype(work()) {
  try {
    return work();
  } catch (...) {
    RethrowTranslated();
  }
}

}  // namespace cluster::library
