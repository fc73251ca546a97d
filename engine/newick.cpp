#include "engine/newick.h"

#include <string_view>

#include "common/real_text.h"

namespace cluster {

namespace {

std::string NewickLabel(const std::string& label) {
  bool plain = true;
  for (const char c : label) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 32 || b == 127 || std::string_view("()[]':;,_").find(c) != std::string_view::npos) plain = false;
  }
  if (plain) return label;
  std::string quoted = "'";
  for (const char c : label) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace

std::string NewickText(const MergeList& list, const std::vector<std::string>& labels) {
  const std::int32_t n = list.objects;
  if (n < 1) return std::string();
  if (n == 1) return NewickLabel(labels.at(0)) + ";\n";
  const Children children = ChildrenOf(list);
  const auto heightOf = [&](std::int32_t id) {
    return id <= n ? Real{0} : list.merges[static_cast<std::size_t>(id - n - 1)].height;
  };
  // Written depth first with an explicit stack: a chained tree is as deep
  // as it is long. A step either opens a cluster, closes one, or is the
  // comma between two children.
  struct Step {
    std::int32_t id;      // 0: the comma
    std::int32_t parent;  // 0 for the root
    bool close;
  };
  std::string text;
  std::vector<Step> pending{{2 * n - 1, 0, false}};
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    if (step.id == 0) {
      text += ',';
      continue;
    }
    const bool merged = step.id > n;
    if (merged && !step.close) {
      text += '(';
      pending.push_back({step.id, step.parent, true});
      pending.push_back({children.right[static_cast<std::size_t>(step.id)], step.id, false});
      pending.push_back({0, 0, false});
      pending.push_back({children.left[static_cast<std::size_t>(step.id)], step.id, false});
      continue;
    }
    text += merged ? std::string(")") : NewickLabel(labels.at(static_cast<std::size_t>(step.id - 1)));
    if (step.parent != 0) text += ':' + ShortestText(heightOf(step.parent) - heightOf(step.id));
  }
  return text + ";\n";
}

}  // namespace cluster
