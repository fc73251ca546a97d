#include "datafiles/file_capture.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <utility>

#include "common/errors.h"
#include "common/helper_thread.h"
#include "common/triangle_blocks.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "datafiles/csv_format.h"
#include "datafiles/native_format.h"
#include "datafiles/object_limit.h"

namespace cluster {

namespace {

// Reads one line into `line` and passes its line end, as the grid loaders do.
void ReadLine(TextFile& file, std::string& line) {
  file.ReadLineText(line);
  CheckIo();
  file.SkipLine();
  CheckIo();
}

void RowDone(const CaptureWatch& watch, std::int32_t row) {
  if (watch.rowsRead != nullptr) watch.rowsRead->store(row, std::memory_order_relaxed);
}

// Values are read and converted a block of rows at a time, about this many
// values to a block (a few megabytes of text).
constexpr std::size_t kBlockValues = 128 * 1024;

// The texts of the values of a block of rows, in capture order, kept end to
// end. The last row may be cut short by a failure of the file.
class TextBlock {
 public:
  void Start(RowRange rows) {
    rows_ = rows;
    bytes_.clear();
    ends_.clear();
  }
  void Add(std::string_view text) {
    bytes_.append(text);
    ends_.push_back(bytes_.size());
  }
  RowRange Rows() const { return rows_; }
  std::size_t Count() const { return ends_.size(); }
  // The cell of text k: row i, column j.
  std::pair<std::int32_t, std::int32_t> CellOf(std::size_t k) const {
    std::int32_t i = rows_.First;
    while (k >= static_cast<std::size_t>(i - 1)) {
      k -= static_cast<std::size_t>(i - 1);
      ++i;
    }
    return {i, static_cast<std::int32_t>(k) + 1};
  }
  std::string_view Text(std::size_t k) const {
    const std::size_t begin = k == 0 ? 0 : ends_[k - 1];
    return std::string_view(bytes_).substr(begin, ends_[k] - begin);
  }

 private:
  RowRange rows_{0, 0};
  std::string bytes_;
  std::vector<std::size_t> ends_;
};

// What stopped a block's conversion: its first cell that is not a number,
// or another error (running out of memory for the failure's text).
struct Conversion {
  std::optional<CaptureFailure> failure;
  std::exception_ptr error;
};

// Converts a block's texts [from, to) into the triangle, which already has
// their rows. Never throws: it may run on the helper thread.
Conversion ConvertBlock(const TextBlock& block, std::size_t from, std::size_t to, LowerTriangle& values) noexcept {
  Conversion conversion;
  if (from >= to) return conversion;
  std::size_t k = from;
  const auto [firstRow, firstColumn] = block.CellOf(from);
  for (std::int32_t i = firstRow; i < block.Rows().End && k < to; ++i) {
    for (std::int32_t j = i == firstRow ? firstColumn : 1; j < i && k < to; ++j, ++k) {
      const std::string_view text = block.Text(k);
      try {
        values.At(i, j) = TextToReal(text);
      } catch (const EConvertError&) {
        try {
          conversion.failure = CaptureFailure{i, j, std::string(text)};
        } catch (...) {
          conversion.error = std::current_exception();
        }
        return conversion;
      } catch (...) {
        conversion.error = std::current_exception();
        return conversion;
      }
    }
  }
  return conversion;
}

// Reads the values of rows 2..n with `readRow(i, block)`, which adds row i's
// value texts to the block, and converts them into capture.Values. Each
// block is converted on two cores, the helper thread taking the larger part
// while the caller reads the next block before it converts the rest;
// failures are reported in the order of the file: a cell that does not
// convert before any failure of the reading after it.
template <typename ReadRow>
void ReadAndConvert(std::int32_t n, ReadRow readRow, FileCapture& capture, const CaptureWatch& watch) {
  HelperThread* const helper = SharedHelperThread();
  TextBlock blocks[2];
  std::exception_ptr readError;
  // Reads a block of rows, stopping at the reading's first failure.
  const auto read = [&](TextBlock& block, RowRange rows) {
    block.Start(rows);
    try {
      for (std::int32_t i = rows.First; i < rows.End; ++i) readRow(i, block);
    } catch (...) {
      readError = std::current_exception();
    }
  };
  RowRange rows = TriangleBlockFrom(2, n, kBlockValues);
  if (rows.First > rows.End - 1) return;
  capture.Values.LimitGrowthTo(n);
  capture.Values.GrowTo(rows.End - 1);
  read(blocks[0], rows);
  for (int current = 0;; current = 1 - current) {
    const RowRange next = readError ? RowRange{rows.End, rows.End} : TriangleBlockFrom(rows.End, n, kBlockValues);
    // Room for the next block now: the triangle must not move while the
    // current block is converted into it.
    if (next.End > next.First) capture.Values.GrowTo(next.End - 1);
    // Reading costs about half as much as converting: the helper converts
    // the first 60% of the block while the caller reads, then converts the
    // rest.
    const TextBlock& block = blocks[current];
    const std::size_t split = block.Count() * 3 / 5;
    Conversion head;
    Conversion tail;
    auto work = [&](std::size_t, std::size_t, HelperThread::Part part) {
      if (part == HelperThread::kFirstPart) {
        if (next.End > next.First) read(blocks[1 - current], next);
        tail = ConvertBlock(block, split, block.Count(), capture.Values);
      } else {
        head = ConvertBlock(block, 0, split, capture.Values);
      }
    };
    if (helper != nullptr) {
      helper->Run(2, 1, work);
    } else {
      work(1, 2, HelperThread::kSecondPart);
      work(0, 1, HelperThread::kFirstPart);
    }
    for (Conversion* conversion : {&head, &tail}) {
      if (conversion->error) std::rethrow_exception(conversion->error);
      if (conversion->failure) {
        capture.Failure = std::move(conversion->failure);
        return;
      }
    }
    RowDone(watch, rows.End - 1);
    if (next.End <= next.First) {
      if (readError) std::rethrow_exception(readError);
      return;
    }
    rows = next;
  }
}

}  // namespace

FileCapture CaptureNativeFile(const std::string& path, std::int32_t maxObjects, const CaptureWatch& watch) {
  TextFile file;
  OpenToRead(file, path);
  const std::int32_t n = ReadNativeCount(file, maxObjects);
  if (watch.beforeReading) watch.beforeReading(n);

  FileCapture capture;
  std::string line;
  for (std::int32_t i = 1; i <= n; ++i) {
    if (file.AtEnd()) {
      // Every label and value from here on is empty; the first value, at
      // [2, 1] at the latest, fails, and the labels are never looked at.
      if (n >= 2) capture.Failure = CaptureFailure{2, 1, std::string()};
      break;
    }
    ReadLine(file, line);
    capture.Labels.push_back(line);
  }
  if (capture.Failure) return capture;
  capture.Labels.resize(static_cast<std::size_t>(std::max(n, 0)));

  ReadAndConvert(
      n,
      [&file, &line](std::int32_t i, TextBlock& block) {
        for (std::int32_t j = 1; j <= i - 1; ++j) {
          ReadLine(file, line);
          block.Add(line);
        }
      },
      capture, watch);
  if (capture.Failure) return capture;
  file.CloseTextFile();
  CheckIo();
  return capture;
}

namespace {

// Refuses a CSV line that holds more values than row `row` of a lower
// triangle: `filled` fields up to its last that is not empty, the label
// first.
void CheckLowerTriangleRow(std::int64_t line, std::int32_t row, std::size_t filled) {
  const std::size_t values = filled == 0 ? 0 : filled - 1;
  if (values <= static_cast<std::size_t>(row) - 1) return;
  throw ENotLowerTriangle("line " + std::to_string(line) + ": " + std::to_string(values) + " values where row " +
                          std::to_string(row) + " of a lower triangle of dissimilarities holds " +
                          std::to_string(row - 1) +
                          "; this is not a matrix data file (for a table of observations, give --observations; for a full "
                          "square matrix, --square)");
}

}  // namespace

FileCapture CaptureCsvFile(const std::string& path, std::int32_t maxObjects, const CaptureWatch& watch,
                           CsvRows rows) {
  const bool triangleOnly = rows == CsvRows::kLowerTriangleOnly;
  TextFile file;
  OpenToRead(file, path);
  std::vector<std::string> fields;
  std::string line;
  ReadLine(file, line);
  // The labels are counted before any is stored: a header of millions of
  // fields is weighed (and refused) first.
  if (watch.beforeReading) {
    const std::size_t count = SplitCommaText(line, fields, 0);
    const auto declared = static_cast<std::int32_t>(std::min<std::size_t>(count, 2147483647)) - 1;
    CheckDeclaredObjectCount(declared, maxObjects);
    watch.beforeReading(declared);
  }
  const std::int32_t n = SplitCsvHeader(line, fields, maxObjects);

  FileCapture capture;
  for (std::int32_t i = 1; i <= n; ++i) capture.Labels.push_back(CsvFieldAt(fields, i));
  // Line 2, the first object's, holds no value.
  if (triangleOnly && n >= 1 && !file.AtEnd()) {
    ReadLine(file, line);
    std::size_t filled = 0;
    SplitCommaText(line, fields, 0, &filled);
    CheckLowerTriangleRow(2, 1, filled);
  } else {
    file.SkipLine();
    CheckIo();
  }
  ReadAndConvert(
      n,
      [&file, &line, &fields, triangleOnly](std::int32_t i, TextBlock& block) {
        ReadLine(file, line);
        // Row i uses its fields 0..i - 1; the rest are dropped unstored.
        std::size_t filled = 0;
        SplitCommaText(line, fields, static_cast<std::size_t>(i), &filled);
        if (triangleOnly) CheckLowerTriangleRow(static_cast<std::int64_t>(i) + 1, i, filled);
        for (std::int32_t j = 1; j <= i - 1; ++j) block.Add(CsvFieldAt(fields, j));
      },
      capture, watch);
  if (capture.Failure) return capture;
  file.CloseTextFile();
  CheckIo();
  return capture;
}

}  // namespace cluster
