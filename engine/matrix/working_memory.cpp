#include "engine/matrix/working_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

#include "engine/triangle.h"
#include "engine/matrix/cell_layouts.h"

namespace cluster {

namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

}  // namespace

WorkingMemory::WorkingMemory(std::int32_t objects, WorkPages pages)
    : WorkingMemory(objects, pages, objects <= kLargestSquare ? Shape::kSquare : Shape::kTriangle) {}

WorkingMemory::WorkingMemory(std::int32_t objects, WorkPages pages, Shape shape)
    : objects_(objects), pages_(pages), shape_(shape) {}

namespace {

// A square of split cells (when the values lie in one) or a triangle of
// whole values, whichever is larger, in long double: a count near the
// largest store's would overflow 64 bits.
long double BytesOf(std::int64_t objects, bool square) {
  const auto n = static_cast<long double>(std::max<std::int64_t>(objects, 1));
  const long double squareBytes = square ? n * n * sizeof(SplitReal) : 0;
  const long double triangleBytes = n * (n - 1) / 2 * sizeof(Real);
  return std::max({squareBytes, triangleBytes, static_cast<long double>(sizeof(Real))});
}

}  // namespace

std::uint64_t WorkingMemory::BytesFor(std::int64_t objects) {
  const long double bytes = BytesOf(objects, objects <= kLargestSquare);
  return bytes >= 1.8e19L ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(bytes);
}

Real* WorkingMemory::Values() const {
  if (values_ != nullptr) return values_.get();
  const auto bytes = static_cast<std::size_t>(BytesOf(objects_, Square()));
  void* block = nullptr;
  // A merge stores into every active row's line, one line apart: at 1000
  // objects a 4 KB page apart, more pages than the TLB holds. So a large
  // block may be offered for huge pages (where the system declines, it
  // still works).
  if (pages_ == WorkPages::kHuge && bytes >= 2 * kHugePage) {
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    block = std::aligned_alloc(kHugePage, rounded);
    if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
  } else {
    block = std::malloc(bytes);
  }
  if (block == nullptr) throw std::bad_alloc();
  values_.reset(static_cast<Real*>(block));
  return values_.get();
}

}  // namespace cluster
