// A full square matrix of dissimilarities in a CSV or TSV table, as R's
// write.csv(as.matrix(d)), pandas' DataFrame.to_csv and spreadsheets write
// it: a header line of the labels (with or without an empty corner field
// before them), then per object its label and its n values.
//
// The diagonal must be zero and, unless only the lower triangle is asked
// for, the matrix symmetric: the first pair that differs (in the order of
// the rows) is reported as "line L, column C". The lower triangle's values
// are taken, the rest only checked or passed over. Fields, numbers, labels
// and their encodings are read as in a table of observations
// (datafiles/observation_table.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafiles/observation_table.h"
#include "engine/triangle.h"

namespace cluster {

struct SquareMatrix {
  std::vector<std::string> labels;  // the file's bytes
  bool utf8 = false;                // the labels' encoding
  LowerTriangle values;             // [i, j], j < i: row i's value in column j
};

enum class SquareHalves { kSymmetric, kLowerOnly };

// Reads the matrix; EObservationTable for one that is not square, has a
// diagonal value that is not 0, or (kSymmetric) is not symmetric.
SquareMatrix ReadSquareMatrix(const std::string& path, char separator, std::int32_t maxRows, SquareHalves halves,
                              const std::function<void(std::uint64_t bytes)>& beforeGrowing = {});

// Whether a table read as observations looks like such a matrix: as many
// coordinates as rows, a zero diagonal, symmetric.
bool LooksLikeSquareMatrix(const ObservationTable& table);

}  // namespace cluster
