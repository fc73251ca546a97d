// A data file read straight into what a capture makes of it, without grids.
//
// A tool that analyses a file (the batch tool) needs the labels and the
// converted lower triangle, not the cells of a window. Reading the file into
// the grids first would hold every value twice, as text and as a number, and
// the grids are as large as the count a file declares, not as the data it
// holds. These loaders read the file with the same rules as the grid
// loaders (native_format.h, csv_format.h) and convert each value as the
// desktop program's capture does, so memory and time follow what is read:
//
// - the labels are the texts the grids would hold, unchanged;
// - each value is converted with TextToReal in capture order (row i = 2..n,
//   column j = 1..i - 1); the first that does not convert stops the reading
//   and is reported as the capture reports it, with the cell's text;
// - the first failure of the file itself (an I/O error, a count above the
//   limit, a CSV row short of fields) raises the grid loader's error;
// - whichever of the two comes first in the file is the one reported.
//
// A native file that ends early reads as empty labels and values, as in the
// grids; reading stops there, since its first missing value already fails.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "datafiles/capture_failure.h"
#include "engine/triangle.h"

namespace cluster {

// What a caller may learn while a file is read: the object count as soon as
// the file declares it (the caller may refuse it by throwing, before
// anything large is allocated), and the rows of values read so far.
struct CaptureWatch {
  std::function<void(std::int32_t declared)> beforeReading;
  std::atomic<std::int64_t>* rowsRead = nullptr;
};

// How a CSV file's rows are read: as the grids read them (a row's fields
// beyond its values are dropped), or as a lower triangle only, where a row
// that holds more values than its place in the triangle has (other than
// empty fields at its end) is refused with ENotLowerTriangle: such a file
// is almost always a table of observations.
enum class CsvRows { kAsTheGridsRead, kLowerTriangleOnly };

// A CSV row beyond the lower triangle: "line L: ...", saying that a table
// of observations is read as one (code page 932).
class ENotLowerTriangle : public Exception {
 public:
  using Exception::Exception;
};

struct FileCapture {
  std::vector<std::string> Labels;  // object i's label at [i - 1]
  LowerTriangle Values;             // every row read, up to a failure
  std::optional<CaptureFailure> Failure;
};

FileCapture CaptureNativeFile(const std::string& path, std::int32_t maxObjects, const CaptureWatch& watch = {});
FileCapture CaptureCsvFile(const std::string& path, std::int32_t maxObjects, const CaptureWatch& watch = {},
                           CsvRows rows = CsvRows::kAsTheGridsRead);

}  // namespace cluster
