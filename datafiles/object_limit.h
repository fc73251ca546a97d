// The bound on the number of objects a data file may bring into the grids.
//
// The analysis store takes at most its capacity of objects (1000 in the
// desktop program). A data file that declares more is refused before either
// grid changes, so that the window never holds data it could not hand over.
#pragma once

#include <cstdint>

#include "common/errors.h"

namespace cluster {

class ETooManyObjects : public Exception {
 public:
  ETooManyObjects(std::int32_t declared, std::int32_t maxObjects);
};

// Throws ETooManyObjects when `declared` is above `maxObjects`.
void CheckDeclaredObjectCount(std::int32_t declared, std::int32_t maxObjects);

}  // namespace cluster
