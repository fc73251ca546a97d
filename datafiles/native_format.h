// The program's own data file: one item per line.
//
// Line 1 holds the object count n; lines 2..n + 1 the labels, unchanged;
// then the strict lower triangle of the dissimilarities row by row (i =
// 2..n, j = 1..i - 1), one value's text per line.
#pragma once

#include <cstdint>

namespace cluster {

class TextFile;

// Reads the object count from line 1 of a native file open for reading and
// passes the rest of that line; a count above `maxObjects` is refused
// (ETooManyObjects).
std::int32_t ReadNativeCount(TextFile& file, std::int32_t maxObjects);

}  // namespace cluster
