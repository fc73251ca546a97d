#include "desktop/datawindow/data_capture.h"

#include <exception>
#include <vector>

#include "common/errors.h"
#include "common/numbers.h"
#include "common/helper_thread.h"
#include "common/triangle_blocks.h"

namespace cluster {

namespace {

// A large matrix is converted in blocks of about this many cells, two blocks
// at a time: the caller converts one straight into the store while a second
// thread converts the next into a buffer, which the caller then stores. The
// store is written strictly in capture order, so a failure leaves every
// later entry as it was, and a block's buffer is small enough to stay in
// the cache.
constexpr std::size_t kBlockCells = 128 * 1024;

// Converts the cells of `rows` in capture order and hands each value to
// `keep`, which may store it; the first cell that fails to convert or to be
// kept ends the work.
template <typename Keep>
std::optional<CaptureFailure> ConvertRows(const CellGrid& matrix, RowRange rows, Keep keep) {
  for (std::int32_t i = rows.First; i < rows.End; ++i) {
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      const std::string_view text = matrix.Cell(j, i);
      try {
        keep(i, j, TextToReal(text));
      } catch (const Exception&) {
        // A cell that is not a number, or one the store cannot take: the
        // user mends it and captures again.
        return CaptureFailure{i, j, std::string(text)};
      }
    }
  }
  return std::nullopt;
}

// Converts rows into the store, in capture order.
std::optional<CaptureFailure> CaptureRows(const CellGrid& matrix, AnalysisStore& store, RowRange rows) {
  return ConvertRows(matrix, rows, [&store](std::int32_t i, std::int32_t j, Real value) {
    store.DistMatrix(i, j) = value;
  });
}

// Rows converted into a buffer: the values in capture order up to the first
// cell that failed, and that cell, or any other error that stopped the work
// there (running out of memory). Either is the caller's only once every
// value before it is stored.
struct ConvertedRows {
  std::vector<Real> Values;
  std::optional<CaptureFailure> Failure;
  std::exception_ptr Error;
};

void ConvertRowsInto(const CellGrid& matrix, RowRange rows, ConvertedRows& converted) {
  converted.Values.clear();
  converted.Failure.reset();
  converted.Error = nullptr;
  try {
    converted.Failure = ConvertRows(matrix, rows, [&converted](std::int32_t, std::int32_t, Real value) {
      converted.Values.push_back(value);
    });
  } catch (...) {
    converted.Error = std::current_exception();
  }
}

// Stores converted rows, then reports what stopped them, if anything.
std::optional<CaptureFailure> StoreConverted(const CellGrid& matrix, AnalysisStore& store, RowRange rows,
                                             const ConvertedRows& converted) {
  std::size_t next = 0;
  for (std::int32_t i = rows.First; i < rows.End && next < converted.Values.size(); ++i) {
    for (std::int32_t j = 1; j <= i - 1 && next < converted.Values.size(); ++j) {
      try {
        store.DistMatrix(i, j) = converted.Values[next++];
      } catch (const Exception&) {
        return CaptureFailure{i, j, std::string(matrix.Cell(j, i))};
      }
    }
  }
  if (converted.Error) std::rethrow_exception(converted.Error);
  return converted.Failure;
}

}  // namespace

std::optional<CaptureFailure> CaptureData(const DataGrids& grids, AnalysisStore& store,
                                          std::uint8_t method) {
  const std::int32_t n = ObjectCountOf(grids);
  store.ObjectCount = n;
  for (std::int32_t i = 1; i <= n; ++i) store.ObjectNames(i) = grids.Labels.Cell(1, i);

  const CellGrid& matrix = grids.Matrix;
  ConvertedRows converted;
  for (std::int32_t first = 2; first <= n;) {
    const RowRange own = TriangleBlockFrom(first, n, kBlockCells);
    const RowRange next = TriangleBlockFrom(own.End, n, kBlockCells);
    std::optional<CaptureFailure> failure;
    if (next.First > n) {
      failure = CaptureRows(matrix, store, own);
    } else {
      RunSideBySide([&] { failure = CaptureRows(matrix, store, own); },
                    [&] { ConvertRowsInto(matrix, next, converted); });
      if (!failure) failure = StoreConverted(matrix, store, next, converted);
    }
    if (failure) return failure;
    first = next.End;
  }
  store.DistType = method;
  return std::nullopt;
}

}  // namespace cluster
