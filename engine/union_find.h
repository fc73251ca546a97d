// Disjoint sets over 0..n-1: which cluster an object (or a cluster) lies in
// now, as merges join them. Every part of the engine that names clusters by
// their objects goes through this one structure.
//
// Find halves the path it walks, so a run of n - 1 joins and any number of
// finds costs nearly O(n) in all; Join hangs the smaller set under the
// larger. Attach hangs one root under a root the caller chooses, for sets
// whose root must be a particular element (the newest cluster).
#pragma once

#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

namespace cluster {

class UnionFind {
 public:
  explicit UnionFind(std::int32_t n = 0) { Reset(n); }

  // Every element alone again.
  void Reset(std::int32_t n) {
    parent_.resize(static_cast<std::size_t>(n));
    std::iota(parent_.begin(), parent_.end(), 0);
    size_.assign(static_cast<std::size_t>(n), 1);
  }

  std::int32_t Find(std::int32_t element) {
    while (parent_[element] != element) {
      parent_[element] = parent_[parent_[element]];
      element = parent_[element];
    }
    return element;
  }

  // Joins the sets of roots a and b; returns the root of the whole.
  std::int32_t Join(std::int32_t a, std::int32_t b) {
    if (size_[a] < size_[b]) std::swap(a, b);
    parent_[b] = a;
    size_[a] += size_[b];
    return a;
  }

  // Hangs root `child` under root `root`, which stays the root.
  void Attach(std::int32_t child, std::int32_t root) {
    parent_[child] = root;
    size_[root] += size_[child];
  }

  bool IsRoot(std::int32_t element) const { return parent_[element] == element; }

  // The elements in the set of a root.
  std::int32_t Size(std::int32_t root) const { return size_[root]; }

  // Takes one element out to stand alone, for a caller that joined only
  // elements it now takes out one by one (each of them alone again).
  void Isolate(std::int32_t element) {
    parent_[element] = element;
    size_[element] = 1;
  }

 private:
  std::vector<std::int32_t> parent_;
  std::vector<std::int32_t> size_;
};

}  // namespace cluster
