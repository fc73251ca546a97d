#include "library/translation.h"

#include <exception>
#include <new>
#include <string>

#include "cluster_analysis/error.h"
#include "common/codepage.h"
#include "engine/memory_budget.h"
#include "engine/method_table.h"
#include "engine/metrics.h"
#include "engine/run_control.h"

namespace cluster::library {

namespace api = cluster_analysis;

std::uint8_t CodeOf(Method method) { return kMethods[static_cast<std::size_t>(method)].code; }

Method MethodOfCode(std::uint8_t code) {
  for (std::size_t k = 0; k < kMethods.size(); ++k) {
    if (kMethods[k].code == code) return static_cast<Method>(k);
  }
  throw api::InvalidArgument("no method has the selector " + std::to_string(code));
}

Tree TreeOf(const MergeList& list) {
  Tree tree;
  tree.method = MethodOfCode(list.method);
  tree.objects = list.objects;
  tree.units = list.units == HeightUnits::kSciPy ? api::Units::scipy : api::Units::own;
  tree.merges.reserve(list.merges.size());
  for (const Merge& merge : list.merges) {
    tree.merges.push_back({merge.left, merge.right, merge.id, merge.height, merge.members});
  }
  return tree;
}

MergeList MergeListOf(const Tree& tree) {
  if (!tree.method && tree.units != api::Units::scipy) {
    throw api::InvalidArgument("a tree in the method's own units needs its method");
  }
  MergeList list;
  // A tree of unknown method has SciPy's units, which no method converts.
  list.method = tree.method ? CodeOf(*tree.method) : kSingleLinkage;
  list.objects = tree.objects;
  list.units = tree.units == api::Units::scipy ? HeightUnits::kSciPy : HeightUnits::kOwn;
  list.merges.reserve(tree.merges.size());
  for (const api::Merge& merge : tree.merges) {
    list.merges.push_back({merge.left, merge.right, merge.id, merge.height, merge.members});
  }
  Translated([&] { CheckMergeList(list); });
  return list;
}

void RethrowTranslated() {
  try {
    throw;
  } catch (const api::Error&) {
    throw;
  } catch (const ECancelled& failure) {
    throw api::Cancelled(Utf8FromCp932(failure.Message()));
  } catch (const EMemoryRefused& failure) {
    throw api::OutOfMemory(Utf8FromCp932(failure.Message()));
  } catch (const EInvalidMergeList& failure) {
    throw api::InvalidArgument(Utf8FromCp932(failure.Message()));
  } catch (const ENoSciPyHeight& failure) {
    throw api::InvalidArgument(Utf8FromCp932(failure.Message()));
  } catch (const EUndefinedDissimilarity& failure) {
    throw api::InvalidArgument(failure.Message());
  } catch (const Exception& failure) {
    throw api::Error(Utf8FromCp932(failure.Message()));
  } catch (const std::bad_alloc&) {
    throw api::OutOfMemory("not enough memory");
  }
}

}  // namespace cluster::library
