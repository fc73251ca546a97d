#include "engine/method_table.h"

#include <string>
#include <vector>

namespace cluster {

namespace {

// The names of the methods `take` accepts, listed with commas and the last
// joined by `last`.
template <typename Take>
std::string NamesOf(Take take, const char* last) {
  std::vector<std::string_view> names;
  for (const MethodInfo& method : kMethods) {
    if (take(method)) names.push_back(method.name);
  }
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) text += k + 1 == names.size() ? last : ", ";
    text += names[k];
  }
  return text;
}

}  // namespace

std::string_view MethodNamesText() {
  static const std::string text = NamesOf([](const MethodInfo&) { return true; }, " or ");
  return text;
}

std::string_view CoordinateMethodNamesText() {
  static const std::string text = NamesOf([](const MethodInfo& method) { return method.fromCoordinates; }, " and ");
  return text;
}

}  // namespace cluster
