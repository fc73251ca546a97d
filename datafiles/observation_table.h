// A table of observations: one object per line, its label and then its
// coordinates, and their Euclidean distances.
//
// Fields are separated by commas, or by tabs; a field may stand between
// double quotes (a quote inside doubled), so that a label may hold the
// separator. Blank lines are passed over. The first line is a header of
// column names when none of its coordinate fields is a number; otherwise it
// is the first observation. Every row has as many coordinates as the first;
// after a header, that is as many as the header names after its first
// field (its corner), or one more, for a header without a corner field (as
// R's write.table and write.csv write a table with its row names); numbers are read by the program's own rules
// (TextToReal, with the user's decimal separator). Anything else is refused
// with "line L, column C: ...", counting lines from 1 and columns from 1
// for the label.
//
// Labels are kept as the file's bytes. The file is taken as UTF-8 when every
// label and column name is valid UTF-8 (a UTF-8 byte-order mark is passed
// over), and as code page 932 otherwise: ASCII labels read the same either
// way, and Japanese text in code page 932 is almost never valid UTF-8.
//
// The distances are computed in 80 bits (engine/squared_distance.h): the
// squared distance of two rows is the sum, in column order, of the squared
// differences; its root is taken only where a method needs the distance
// itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/float_checks.h"
#include "engine/triangle.h"

namespace cluster {

// A table that is not one: "line L, column C: ..." (code page 932).
class EObservationTable : public Exception {
 public:
  using Exception::Exception;
};

struct ObservationTable {
  std::vector<std::string> labels;  // the file's bytes
  bool utf8 = false;                // the labels' encoding
  std::int32_t columns = 0;         // coordinates per row
  std::vector<Real> values;         // row-major: row r's at [r * columns, (r + 1) * columns)
  std::vector<std::int64_t> lines;  // row r's line in the file, from 1
  std::vector<std::string> names;   // the header's name of each coordinate, if it has them
  std::string corner;               // the header's field above the labels, if it has one
  // Read with categories: each column's texts that are no numbers, and the
  // cells (indices into values, which hold NaN there) that hold them.
  std::vector<std::vector<std::string>> texts;
  std::vector<std::pair<std::size_t, std::int32_t>> textCells;

  std::int32_t Rows() const { return static_cast<std::int32_t>(labels.size()); }
  const Real* Row(std::int32_t r) const { return values.data() + static_cast<std::size_t>(r) * columns; }
  // The labels in code page 932 (the echo, the picture) and in UTF-8 (the
  // text outputs for other tools).
  std::vector<std::string> Cp932Labels() const;
  std::vector<std::string> Utf8Labels() const;
};

// Reads a table with `separator` (',' or '\t') between fields; at most
// `maxRows` rows (ETooManyObjects beyond). Throws EObservationTable for a
// malformed table and the text file's errors for a file that cannot be read.
// A Ctrl-Z is a byte like any other (a field holding it is no number).
//
// Memory follows the values, not the text: a line is split one field at a
// time, and the values take 16 bytes each, grown by half again when full.
// `beforeGrowing`, when given, is told the bytes of each growth before it
// is made, and may refuse it by throwing.
// Whether the first line is a header: when none of its coordinate fields is
// a number, or always (a square matrix's labels may be numbers).
enum class TableHeader { kWhenNotNumbers, kAlways };

// A missing value (an empty field, NA or NaN) is refused, naming it, or
// kept as a NaN for distances taken pairwise.
enum class MissingValues { kRefused, kKept };

// The first column holds the labels, or (kNone) every column is a
// coordinate and the labels are 1..n.
enum class TableLabels { kFirstColumn, kNone };

// A field that is no number is refused, or kept as a category of its
// column (for Gower's coefficient; CodeCategories then codes them).
enum class NonNumbers { kRefused, kCategories };

ObservationTable ReadObservationTable(const std::string& path, char separator, std::int32_t maxRows,
                                      const std::function<void(std::uint64_t bytes)>& beforeGrowing = {},
                                      TableHeader header = TableHeader::kWhenNotNumbers,
                                      MissingValues missing = MissingValues::kRefused,
                                      NonNumbers nonNumbers = NonNumbers::kRefused,
                                      TableLabels labels = TableLabels::kFirstColumn);

// Whether the first column holds labels that are numbers while the
// header names it (a corner that is not empty): a coordinate, most likely,
// taken as the labels.
bool NumbersTakenAsLabels(const ObservationTable& table);

// Makes categorical the columns that hold a text that is no number and
// those `named` (by a header name, or by number, 1 for the first
// coordinate), and codes each categorical column's values 0, 1, ... by
// category (a number is the category of its shortest text). Returns which
// columns are categorical; EObservationTable for a name that names none.
std::vector<bool> CodeCategories(ObservationTable& table, const std::vector<std::string>& named);

// Turns each column into z-scores (mean 0, standard deviation 1 with the
// n - 1 divisor), over the values it holds (a missing one stays missing). A column whose values are all equal has no such scores:
// it is left out, and its number (1 for the first coordinate) is returned.
std::vector<std::int32_t> Standardize(ObservationTable& table);

// The squared Euclidean distances of every pair of rows, as a packed lower
// triangle of rows 1..Rows(). `rowsDone`, when given, counts the rows done.
LowerTriangle SquaredDistances(const ObservationTable& table, std::atomic<std::int64_t>* rowsDone = nullptr);

}  // namespace cluster
