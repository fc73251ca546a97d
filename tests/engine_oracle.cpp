#include "tests/engine_oracle.h"

#include <stdexcept>

namespace cluster::oracle {

PlainAgglomeration::PlainAgglomeration(std::int32_t n, const std::vector<long double>& lower,
                                       std::uint8_t method)
    : method_(method) {
  std::size_t k = 0;
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      // The centroid and median methods work on squares, Ward's on half
      // squares, the linkages on the dissimilarities as given.
      const bool asGiven = method >= 2 && method <= 5;
      long double value = asGiven ? lower[k] : lower[k] * lower[k];
      ++k;
      if (method == 1) value = value / 2;
      pairs_.push_back({j, i, value});
    }
  }
  nodes_.resize(1);
  for (std::int32_t i = 1; i <= n; ++i) {
    auto leaf = std::make_unique<Node>();
    leaf->id = i;
    table_.push_back({i, leaf.get()});
    nodes_.push_back(std::move(leaf));
  }
  nextId_ = n;
}

Node& PlainAgglomeration::SeekC(std::int32_t id) const {
  for (const Slot& slot : table_) {
    if (slot.id == id) return *slot.node;
  }
  throw std::runtime_error("Range error in SeekC");
}

long double PlainAgglomeration::SeekD(std::int32_t x, std::int32_t y) const {
  for (const Pair& pair : pairs_) {
    if ((pair.id1 == x && pair.id2 == y) || (pair.id1 == y && pair.id2 == x)) return pair.value;
  }
  throw std::runtime_error("SeekD range error");
}

long double PlainAgglomeration::CentroidUpdate(std::int32_t n, std::int32_t a,
                                               std::int32_t b) const {
  const std::int32_t na = SeekC(a).members;
  const std::int32_t nb = SeekC(b).members;
  const long double w1 = static_cast<long double>(na) / static_cast<long double>(na + nb);
  const long double t1 = SeekD(a, n) * w1;
  const long double w2 = static_cast<long double>(nb) / static_cast<long double>(na + nb);
  const long double t2 = SeekD(b, n) * w2 + t1;
  const std::int32_t product = na * nb;
  const std::int32_t square = (na + nb) * (na + nb);
  const long double w3 = static_cast<long double>(product) / static_cast<long double>(square);
  return t2 - SeekD(a, b) * w3;
}

long double PlainAgglomeration::WardUpdate(std::int32_t n, std::int32_t a,
                                           std::int32_t b) const {
  const std::int32_t nn = SeekC(n).members;
  const std::int32_t na = SeekC(a).members;
  const std::int32_t nb = SeekC(b).members;
  const long double t1 = SeekD(n, a) * static_cast<long double>(nn + na);
  const long double t2 = SeekD(n, b) * static_cast<long double>(nn + nb) + t1;
  return (t2 - SeekD(a, b) * static_cast<long double>(nn)) /
         static_cast<long double>(nn + na + nb);
}

// The rules written out as their definitions read, left to right.
long double PlainAgglomeration::Update(std::int32_t n, std::int32_t a, std::int32_t b) const {
  switch (method_) {
    case 0: return CentroidUpdate(n, a, b);
    case 1: return WardUpdate(n, a, b);
    case 2: {
      // The least, the first of equal ones.
      const long double da = SeekD(a, n);
      const long double db = SeekD(b, n);
      return db < da ? db : da;
    }
    case 3: {
      const long double da = SeekD(a, n);
      const long double db = SeekD(b, n);
      return db > da ? db : da;
    }
    case 4: {
      const std::int32_t na = SeekC(a).members;
      const std::int32_t nb = SeekC(b).members;
      return (static_cast<long double>(na) * SeekD(a, n) + static_cast<long double>(nb) * SeekD(b, n)) /
             static_cast<long double>(na + nb);
    }
    case 5: return (SeekD(a, n) + SeekD(b, n)) / 2;
    case 6: return SeekD(a, n) / 2 + SeekD(b, n) / 2 - SeekD(a, b) / 4;
  }
  throw std::runtime_error("no such method");
}

bool PlainAgglomeration::Step() {
  if (finished_) return false;
  if (pairs_.empty()) throw std::runtime_error("Range error in SeekC");
  // 1. The first least value in list order.
  Pair least = pairs_[0];
  for (std::size_t k = 1; k < pairs_.size(); ++k) {
    if (pairs_[k].value < least.value) least = pairs_[k];
  }
  const std::int32_t a = least.id1;
  const std::int32_t b = least.id2;

  // 2. The new cluster in a new last slot.
  auto made = std::make_unique<Node>();
  const std::int32_t newId = ++nextId_;
  made->id = newId;
  made->left = &SeekC(a);
  made->right = &SeekC(b);
  made->height = least.value;
  made->members = made->left->members + made->right->members;
  table_.push_back({newId, made.get()});
  nodes_.push_back(std::move(made));

  // 3. Stop test.
  if (table_.size() <= 3) {
    finished_ = true;
    return false;
  }

  // 4. New pairs, in table order.
  for (std::size_t s = 0; s + 1 < table_.size(); ++s) {
    const std::int32_t n = table_[s].id;
    if (n == a || n == b) continue;
    const long double value = Update(n, a, b);
    pairs_.push_back({n, newId, value});
  }

  // 5. Drop the merged pairs, shifting later entries down.
  std::size_t k = 0;
  while (k < pairs_.size()) {
    const Pair& pair = pairs_[k];
    if (pair.id1 == a || pair.id1 == b || pair.id2 == a || pair.id2 == b) {
      for (std::size_t m = k + 1; m < pairs_.size(); ++m) pairs_[m - 1] = pairs_[m];
      pairs_.pop_back();
    } else {
      ++k;
    }
  }

  // 6. Drop the merged slots the same way.
  std::size_t s = 0;
  while (s < table_.size()) {
    if (table_[s].id == a || table_[s].id == b) {
      for (std::size_t m = s + 1; m < table_.size(); ++m) table_[m - 1] = table_[m];
      table_.pop_back();
    } else {
      ++s;
    }
  }
  return true;
}

}  // namespace cluster::oracle
