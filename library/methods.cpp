#include "cluster_analysis/methods.h"

#include "engine/method_table.h"
#include "library/translation.h"

namespace cluster_analysis {

// The public enumeration lists the methods in the table's order.
static_assert(static_cast<std::size_t>(Method::ward) + 1 == cluster::kMethods.size());

const std::vector<Method>& AllMethods() {
  static const std::vector<Method> methods = [] {
    std::vector<Method> all;
    for (std::size_t k = 0; k < cluster::kMethods.size(); ++k) all.push_back(static_cast<Method>(k));
    return all;
  }();
  return methods;
}

std::string_view NameOf(Method method) { return cluster::kMethods[static_cast<std::size_t>(method)].name; }

std::optional<Method> MethodNamed(std::string_view name) {
  const cluster::MethodInfo* info = cluster::FindMethod(name);
  if (info == nullptr) return std::nullopt;
  return cluster::library::MethodOfCode(info->code);
}

bool WorksFromCoordinates(Method method) {
  return cluster::kMethods[static_cast<std::size_t>(method)].fromCoordinates;
}

bool NeedsEuclidean(Method method) { return cluster::kMethods[static_cast<std::size_t>(method)].euclidean; }

}  // namespace cluster_analysis
