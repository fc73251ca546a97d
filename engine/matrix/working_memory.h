// The memory of an analysis store's working values.
//
// A store's working values take 12 n^2 bytes (a square of split cells) or 8
// n^2 (a triangle). The memory is reserved when the store first uses it, so
// a whole run of single linkage, which needs no working values, never takes
// it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/float_checks.h"
#include "engine/matrix/work_pages.h"

namespace cluster {

class WorkingMemory {
 public:
  // Up to this many objects the values lie in a square of split cells,
  // which a merge reads several times faster than a triangle; above it the
  // square's 12 n^2 bytes outweigh that, and the split cells lie in a
  // triangle.
  static constexpr std::int32_t kLargestSquare = 8192;

  // Where the split cells lie.
  enum class Shape { kSquare, kTriangle };

  WorkingMemory() = default;
  // Room for the values of `objects` objects in either of their layouts
  // (split cells in the given shape, by default a square up to
  // kLargestSquare objects; or the whole values a run may fall back to);
  // nothing is reserved yet.
  WorkingMemory(std::int32_t objects, WorkPages pages);
  WorkingMemory(std::int32_t objects, WorkPages pages, Shape shape);

  // The bytes Values() reserves for `objects` objects (in their usual
  // layout), the largest 64-bit number where that would not fit.
  static std::uint64_t BytesFor(std::int64_t objects);

  std::int32_t Objects() const noexcept { return objects_; }
  bool Square() const noexcept { return shape_ == Shape::kSquare; }
  // The values' memory, reserved on first use (a whole run of single
  // linkage never uses it). std::bad_alloc when there is none. The first
  // call must come from one thread only.
  Real* Values() const;

 private:
  struct FreeDeleter {
    void operator()(Real* p) const noexcept { std::free(p); }
  };
  std::unique_ptr<Real[], FreeDeleter> mutable values_;
  std::int32_t objects_ = 0;
  WorkPages pages_ = WorkPages::kOrdinary;
  Shape shape_ = Shape::kSquare;
};

}  // namespace cluster
