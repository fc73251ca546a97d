#include "desktop/datawindow/csv_file.h"

#include <vector>

#include "common/text_file.h"
#include "common/texts.h"

namespace cluster {

void SaveCsvFile(const DataGrids& grids, const std::string& path) {
  TextFile file;
  OpenToWrite(file, path);
  const std::int32_t n = ObjectCountOf(grids);
  const std::int32_t m = grids.Matrix.RowCount() - 1;
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
