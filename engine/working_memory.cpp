#include "engine/working_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "engine/triangle.h"
#include "engine/work_cells.h"

namespace cluster {

namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

// Maps the pages of [begin, end): in one call where the system can, else by
// touching a byte of each (fresh pages hold zeros, so writing one changes
// nothing).
void MapPages(char* begin, char* end) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  auto first = reinterpret_cast<std::uintptr_t>(begin) / page * page;
  const auto last = reinterpret_cast<std::uintptr_t>(end);
  if (first >= last) return;
#ifdef MADV_POPULATE_WRITE
  if (madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0) return;
#endif
  for (; first < last; first += page) {
    // Within the block: the first page may start before it, so its own
    // first byte is the one touched.
    char* const byte = std::max(reinterpret_cast<char*>(first), begin);
    *static_cast<volatile char*>(byte) = *byte;
  }
}

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

void WorkingMemory::MapFirstRows(std::int32_t rows) {
  rows = std::min(rows, objects_);
  if (rows <= mappedRows_) return;
  char* const base = reinterpret_cast<char*>(Values());
  if (Square()) {
    // Rows 1..rows of the square, columns 1..rows: each row's new columns,
    // and the new rows up to the same column.
    const std::size_t line = static_cast<std::size_t>(objects_) * sizeof(SplitReal);
    for (std::int32_t row = 1; row <= rows; ++row) {
      const std::size_t from = row <= mappedRows_ ? static_cast<std::size_t>(mappedRows_) : 0;
      char* const start = base + static_cast<std::size_t>(row - 1) * line;
      MapPages(start + from * sizeof(SplitReal), start + static_cast<std::size_t>(rows) * sizeof(SplitReal));
    }
  } else {
    MapPages(base + TriangleSize(mappedRows_) * sizeof(SplitReal), base + TriangleSize(rows) * sizeof(SplitReal));
  }
  mappedRows_ = rows;
}

}  // namespace cluster
