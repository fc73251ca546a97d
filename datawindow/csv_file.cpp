#include "datawindow/csv_file.h"

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
// be taken literally, so it too needs quoting to come back unchanged.
bool NeedsQuotes(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 1 && b <= 32) || c == ',' || c == '"') return true;
  }
  return false;
}

// The field list of a row, indexed like the list the reading rules name.
const std::string& FieldAt(const std::vector<std::string>& fields, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) throw EListIndexError(index);
  return fields[static_cast<std::size_t>(index)];
}

}  // namespace

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
  file.BindName(path);
  file.OpenForWriting();
  CheckIo();
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
  file.BindName(path);
  file.OpenForReading();
  CheckIo();
  std::vector<std::string> fields;

  const std::string header = file.ReadLineText();
  CheckIo();
  file.SkipLine();
  CheckIo();
  SplitCommaText(header, fields);
  const std::int32_t n = static_cast<std::int32_t>(fields.size()) - 1;
  CheckDeclaredObjectCount(n, maxObjects);

  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);

  labels.SetRowCount(n + 1);
  for (std::int32_t i = 1; i <= labels.RowCount() - 1; ++i) {
    labels.SetCell(0, i, ObjectHeading(i));
    labels.SetCell(1, i, FieldAt(fields, i));
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
    SplitCommaText(line, fields);
    for (std::int32_t j = 1; j <= i - 1; ++j) matrix.SetCell(j, i, FieldAt(fields, j));
  }
  WriteMask(matrix);
  file.CloseTextFile();
  CheckIo();
}

}  // namespace cluster
