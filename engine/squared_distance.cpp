#include "engine/squared_distance.h"

#include <algorithm>

#include "common/helper_thread.h"

namespace cluster {

LowerTriangle SquaredDistanceTriangle(const Real* values, std::int32_t n, std::int32_t columns,
                                      std::atomic<std::int64_t>* rowsDone) {
  LowerTriangle squares(n);
  const auto row = [values, columns](std::int32_t i) { return values + static_cast<std::size_t>(i - 1) * columns; };
  // Rows are independent: the second core takes the later ones, which hold
  // as many pairs as the rows below n / sqrt(2).
  auto fill = [&](std::size_t begin, std::size_t end, HelperThread::Part) {
    for (auto i = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2)); i < static_cast<std::int32_t>(end);
         ++i) {
      const Real* const xi = row(i);
      Real* const out = &squares.At(i, 1);
      for (std::int32_t j = 1; j < i; ++j) out[j - 1] = SquaredDistance(xi, row(j), columns);
      if (rowsDone != nullptr) rowsDone->fetch_add(1, std::memory_order_relaxed);
    }
  };
  const auto rows = static_cast<std::size_t>(n) + 1;
  if (HelperThread* const helper = n >= 256 ? SharedHelperThread() : nullptr) {
    helper->Run(rows, static_cast<std::size_t>(static_cast<double>(n) * 0.7071), fill);
  } else {
    fill(0, rows, HelperThread::kFirstPart);
  }
  return squares;
}

}  // namespace cluster
