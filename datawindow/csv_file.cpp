#include "datawindow/csv_file.h"

#include <algorithm>
#include <vector>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "datawindow/object_limit.h"

namespace cluster {

EListIndexError::EListIndexError(std::int32_t index)
    : Exception(Cp932FromUtf8("リストのインデックスが範囲を超えています (" + IntToText(index) + ")")) {}

std::string EnsureCsvExtension(std::string_view name) {
  std::string result(name);
  if (name.size() <= 4) return result + ".csv";
  const std::string_view tail = name.substr(name.size() - 4);
  if (tail == ".csv" || tail == ".CSV") return result;
  return result + ".csv";
}

namespace {

// Bytes that end an unquoted field when read back: blanks and control
// bytes (1..32) and the comma; a double quote would start a quoted field or
// be taken literally, so it too needs quoting to come back unchanged. A
// field that ends in a lead byte without its second byte (a UTF-8 text
// typed or loaded as code page 932 often does) is quoted as well: a reader
// that pairs a lead byte with whatever follows would take the comma after
// it for part of the field, so its end is marked by a quote, which the
// splitting never pairs.
bool NeedsQuotes(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 1 && b <= 32) || c == ',' || c == '"') return true;
  }
  std::size_t last = 0;
  for (std::size_t p = 0; p < text.size(); p += CharLengthAt(text, p)) last = p;
  return !text.empty() && IsLeadByte(static_cast<unsigned char>(text[last])) && last + 1 == text.size();
}

// The object count of a header of `fields` fields (the corner field first),
// as a 32-bit count; a header too long for one is beyond every limit.
std::int32_t ObjectCountOfFields(std::size_t fields) {
  constexpr std::size_t kLargest = 2147483647;
  return fields > kLargest ? static_cast<std::int32_t>(kLargest) : static_cast<std::int32_t>(fields) - 1;
}

}  // namespace

const std::string& CsvFieldAt(const std::vector<std::string>& fields, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) throw EListIndexError(index);
  return fields[static_cast<std::size_t>(index)];
}

std::int32_t SplitCsvHeader(std::string_view header, std::vector<std::string>& fields, std::int32_t maxObjects) {
  // Labels beyond the limit are counted, never stored.
  const std::size_t count = SplitCommaText(header, fields, static_cast<std::size_t>(std::max(maxObjects, 0)) + 1);
  CheckDeclaredObjectCount(ObjectCountOfFields(count), maxObjects);
  return static_cast<std::int32_t>(fields.size()) - 1;
}

std::string CsvField(std::string_view text) {
  if (!NeedsQuotes(text)) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

void SaveCsvFile(const DataGrids& grids, const std::string& path) {
  const std::int32_t n = ObjectCountOf(grids);
  const std::int32_t m = grids.Matrix.RowCount() - 1;
  TextFile file;
  OpenToWrite(file, path);
  for (std::int32_t i = 1; i <= n; ++i) {
    file.WriteCharItem(',');
    file.WriteTextItem(CsvField(grids.Labels.Cell(1, i)));
    file.EndWrite();
    CheckIo();
  }
  file.WriteLineEnd();
  CheckIo();
  file.WriteTextItem(CsvField(grids.Labels.Cell(1, 1)));
  file.WriteLineEnd();
  CheckIo();
  for (std::int32_t i = 2; i <= m; ++i) {
    file.WriteTextItem(CsvField(grids.Labels.Cell(1, i)));
    file.EndWrite();
    CheckIo();
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      file.WriteCharItem(',');
      file.WriteTextItem(CsvField(TrimBlanks(grids.Matrix.Cell(j, i))));
      file.EndWrite();
      CheckIo();
    }
    file.WriteLineEnd();
    CheckIo();
  }
  file.CloseTextFile();
  CheckIo();
}

void LoadCsvFile(DataGrids& grids, const std::string& path, std::int32_t maxObjects) {
  TextFile file;
  OpenToRead(file, path);
  std::vector<std::string> fields;

  const std::string header = file.ReadLineText();
  CheckIo();
  file.SkipLine();
  CheckIo();
  const std::int32_t n = SplitCsvHeader(header, fields, maxObjects);

  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);

  labels.SetRowCount(n + 1);
  for (std::int32_t i = 1; i <= labels.RowCount() - 1; ++i) {
    labels.SetCell(0, i, ObjectHeading(i));
    labels.SetCell(1, i, CsvFieldAt(fields, i));
  }
  matrix.SetRowCount(n + 1);
  matrix.SetColCount(n + 1);
  for (std::int32_t i = 1; i <= n; ++i) {
    matrix.SetCell(0, i, ObjectHeading(i));
    matrix.SetCell(i, 0, ObjectHeading(i));
  }

  file.SkipLine();
  CheckIo();
  std::string line;
  for (std::int32_t i = 2; i <= n; ++i) {
    file.ReadLineText(line);
    CheckIo();
    file.SkipLine();
    CheckIo();
    // Row i uses its fields 0..i - 1; the rest are dropped unstored.
    SplitCommaText(line, fields, static_cast<std::size_t>(i));
    for (std::int32_t j = 1; j <= i - 1; ++j) matrix.SetCell(j, i, CsvFieldAt(fields, j));
  }
  WriteMask(matrix);
  file.CloseTextFile();
  CheckIo();
}

}  // namespace cluster
