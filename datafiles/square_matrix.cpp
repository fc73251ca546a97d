#include "datafiles/square_matrix.h"

#include "common/real_text.h"

namespace cluster {

namespace {

[[noreturn]] void Refuse(std::int64_t line, std::int64_t column, const std::string& what) {
  throw EObservationTable("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
}

// Row r's value in column c (0-based), as the table holds it.
Real At(const ObservationTable& table, std::int32_t r, std::int32_t c) {
  return table.values[static_cast<std::size_t>(r) * table.columns + c];
}

}  // namespace

SquareMatrix ReadSquareMatrix(const std::string& path, char separator, std::int32_t maxRows, SquareHalves halves,
                              const std::function<void(std::uint64_t bytes)>& beforeGrowing) {
  ObservationTable table = ReadObservationTable(path, separator, maxRows, beforeGrowing, TableHeader::kAlways);
  const std::int32_t n = table.Rows();
  if (n > 0 && table.columns != n) {
    throw EObservationTable("line " + std::to_string(table.lines[0]) + ": a square matrix of " + std::to_string(n) +
                            " objects has " + std::to_string(n) + " values a row, and this has " +
                            std::to_string(table.columns));
  }
  // Columns are counted from 1 for the label.
  for (std::int32_t r = 0; r < n; ++r) {
    if (At(table, r, r) != 0) {
      Refuse(table.lines[r], r + 2, "the diagonal holds " + ShortestText(At(table, r, r)) + ", not 0");
    }
  }
  if (halves == SquareHalves::kSymmetric) {
    for (std::int32_t i = 1; i < n; ++i) {
      for (std::int32_t j = 0; j < i; ++j) {
        if (At(table, i, j) == At(table, j, i)) continue;
        Refuse(table.lines[i], j + 2,
               ShortestText(At(table, i, j)) + ", and line " + std::to_string(table.lines[j]) + ", column " +
                   std::to_string(i + 2) + " holds " + ShortestText(At(table, j, i)) +
                   ": the matrix is not symmetric (--square-lower takes its lower triangle)");
      }
    }
  }
  SquareMatrix matrix;
  matrix.values = LowerTriangle(n);
  for (std::int32_t i = 1; i < n; ++i) {
    for (std::int32_t j = 0; j < i; ++j) matrix.values.At(i + 1, j + 1) = At(table, i, j);
  }
  matrix.labels = std::move(table.labels);
  matrix.utf8 = table.utf8;
  return matrix;
}

bool LooksLikeSquareMatrix(const ObservationTable& table) {
  const std::int32_t n = table.Rows();
  if (n < 2 || table.columns != n) return false;
  for (std::int32_t i = 0; i < n; ++i) {
    if (At(table, i, i) != 0) return false;
    for (std::int32_t j = 0; j < i; ++j) {
      if (At(table, i, j) != At(table, j, i)) return false;
    }
  }
  return true;
}

}  // namespace cluster
