// Reference agglomeration for the engine's tests and benchmark: the pair-list
// procedure that defines the engine's result, written out literally and kept
// slow on purpose. One pair list
// searched linearly for the first least value (strict less-than), the new
// cluster's pairs appended in table order, merged pairs and slots removed by
// shifting later entries down, lookups by linear scan. It shares no code with
// the engine, so agreement bit for bit is evidence, not tautology.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace cluster::oracle {

struct Node {
  std::int32_t id = 0;
  Node* left = nullptr;
  Node* right = nullptr;
  long double height = 0;
  std::int32_t members = 1;
};

struct Pair {
  std::int32_t id1 = 0;
  std::int32_t id2 = 0;
  long double value = 0;
};

struct Slot {
  std::int32_t id = 0;
  Node* node = nullptr;
};

class PlainAgglomeration {
 public:
  // lower[(i-1)(i-2)/2 + (j-1)] is the dissimilarity of objects j < i;
  // method: 0 centroid, 1 Ward, 2 single, 3 complete, 4 average (UPGMA),
  // 5 weighted (WPGMA), 6 median (Gower).
  PlainAgglomeration(std::int32_t n, const std::vector<long double>& lower, std::uint8_t method);

  // One merge. Returns whether merges remain (false after the root's).
  bool Step();
  void Run() {
    while (Step()) {
    }
  }

  const std::vector<Pair>& pairs() const { return pairs_; }
  const std::vector<Slot>& table() const { return table_; }
  std::int32_t next_id() const { return nextId_; }
  // Every node made, by id (index 0 unused).
  const Node& node(std::int32_t id) const { return *nodes_[static_cast<std::size_t>(id)]; }
  bool finished() const { return finished_; }

 private:
  Node& SeekC(std::int32_t id) const;
  long double SeekD(std::int32_t x, std::int32_t y) const;
  long double CentroidUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const;
  long double WardUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const;
  long double Update(std::int32_t n, std::int32_t a, std::int32_t b) const;

  std::uint8_t method_;
  std::vector<Pair> pairs_;
  std::vector<Slot> table_;
  std::vector<std::unique_ptr<Node>> nodes_;
  std::int32_t nextId_ = 0;
  bool finished_ = false;
};

}  // namespace cluster::oracle
