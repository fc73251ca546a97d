#include "engine/matrix/working_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
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

Real* WorkingMemory::Values() const {
  if (values_ != nullptr) return values_.get();
  const auto side = static_cast<std::size_t>(std::max(objects_, 1));
  const std::size_t squareBytes = Square() ? side * side * sizeof(SplitReal) : 0;
  const std::size_t bytes = std::max({squareBytes, TriangleSize(objects_) * sizeof(Real), sizeof(Real)});
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
