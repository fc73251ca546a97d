#include "datawindow/file_capture.h"

#include <algorithm>

#include "common/errors.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "datawindow/csv_file.h"
#include "datawindow/native_file.h"
#include "datawindow/object_limit.h"

namespace cluster {

namespace {

// Reads one line into `line` and passes its line end, as the grid loaders do.
void ReadLine(TextFile& file, std::string& line) {
  file.ReadLineText(line);
  CheckIo();
  file.SkipLine();
  CheckIo();
}

// Converts the text of cell [j, i] into the triangle; false (with the failure
// recorded) when it is not a number.
bool Convert(FileCapture& capture, std::int32_t i, std::int32_t j, const std::string& text) {
  try {
    capture.Values.At(i, j) = TextToReal(text);
    return true;
  } catch (const EConvertError&) {
    capture.Failure = CaptureFailure{i, j, text};
    return false;
  }
}

void RowDone(const CaptureWatch& watch, std::int32_t row) {
  if (watch.rowsRead != nullptr) watch.rowsRead->store(row, std::memory_order_relaxed);
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

  for (std::int32_t i = 2; i <= n; ++i) {
    capture.Values.GrowTo(i);
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      ReadLine(file, line);
      if (!Convert(capture, i, j, line)) return capture;
    }
    RowDone(watch, i);
  }
  file.CloseTextFile();
  CheckIo();
  return capture;
}

FileCapture CaptureCsvFile(const std::string& path, std::int32_t maxObjects, const CaptureWatch& watch) {
  TextFile file;
  OpenToRead(file, path);
  std::vector<std::string> fields;
  std::string line;
  ReadLine(file, line);
  const std::int32_t n = SplitCsvHeader(line, fields, maxObjects);
  if (watch.beforeReading) watch.beforeReading(n);

  FileCapture capture;
  for (std::int32_t i = 1; i <= n; ++i) capture.Labels.push_back(CsvFieldAt(fields, i));
  file.SkipLine();
  CheckIo();
  for (std::int32_t i = 2; i <= n; ++i) {
    ReadLine(file, line);
    // Row i uses its fields 0..i - 1; the rest are dropped unstored.
    SplitCommaText(line, fields, static_cast<std::size_t>(i));
    capture.Values.GrowTo(i);
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      if (!Convert(capture, i, j, CsvFieldAt(fields, j))) return capture;
    }
    RowDone(watch, i);
  }
  file.CloseTextFile();
  CheckIo();
  return capture;
}

}  // namespace cluster
