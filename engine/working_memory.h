// The memory of an analysis store's working values, which can be made ready
// before the store exists.
//
// A store's working values take 12 n^2 bytes (a square of split cells) or 8
// n^2 (a triangle), and on many systems mapping fresh pages costs as much as
// the set-up that fills them. A tool that reads the data first can have the
// pages mapped meanwhile, on the core the reading leaves idle, and hand the
// memory to the store it makes afterwards (AnalysisStore's constructor). The
// pages are mapped in step with the rows read: the part of the values that
// the first r objects use, so what is mapped follows the data, not the
// count a file claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/float_checks.h"

namespace cluster {

// Where the working values lie. Huge pages spare a merge the address
// translations of its stores, one per row; a program that runs many
// analyses gains most from them. A tool that runs one analysis gets
// ordinary pages from the system at once, while huge pages are found and
// cleared afresh, which costs its set-up more than its merges gain.
enum class WorkPages { kHuge, kOrdinary };

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
  // nothing is reserved or mapped yet.
  WorkingMemory(std::int32_t objects, WorkPages pages);
  WorkingMemory(std::int32_t objects, WorkPages pages, Shape shape);

  std::int32_t Objects() const noexcept { return objects_; }
  bool Square() const noexcept { return shape_ == Shape::kSquare; }
  // The values' memory, reserved on first use (a whole run of single
  // linkage never uses it). std::bad_alloc when there is none. The first
  // call must come from one thread only.
  Real* Values() const;

  // Maps the pages that the values of the first `rows` objects lie in, as
  // far as they are not mapped yet. Not to be called once the store uses the
  // memory.
  void MapFirstRows(std::int32_t rows);

 private:
  struct FreeDeleter {
    void operator()(Real* p) const noexcept { std::free(p); }
  };
  std::unique_ptr<Real[], FreeDeleter> mutable values_;
  std::int32_t objects_ = 0;
  WorkPages pages_ = WorkPages::kOrdinary;
  Shape shape_ = Shape::kSquare;
  std::int32_t mappedRows_ = 0;
};

}  // namespace cluster
