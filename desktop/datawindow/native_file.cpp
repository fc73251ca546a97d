#include "desktop/datawindow/native_file.h"

#include "common/text_file.h"
#include "common/texts.h"
#include "datafiles/native_format.h"

namespace cluster {

void SaveNativeFile(const DataGrids& grids, const std::string& path) {
  const std::int32_t n = ObjectCountOf(grids);
  const std::int32_t m = grids.Matrix.RowCount() - 1;
  TextFile file;
  OpenToWrite(file, path);
  file.WriteIntegerItem(n);
  file.WriteLineEnd();
  CheckIo();
  for (std::int32_t i = 1; i <= n; ++i) {
    file.WriteTextItem(grids.Labels.Cell(1, i));
    file.WriteLineEnd();
    CheckIo();
  }
  for (std::int32_t i = 2; i <= m; ++i) {
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      file.WriteTextItem(TrimBlanks(grids.Matrix.Cell(j, i)));
      file.WriteLineEnd();
      CheckIo();
    }
  }
  file.CloseTextFile();
  CheckIo();
}

void LoadNativeFile(DataGrids& grids, const std::string& path, std::int32_t maxObjects) {
  TextFile file;
  OpenToRead(file, path);
  const std::int32_t n = ReadNativeCount(file, maxObjects);

  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);
  // n + 1 without overflow: a count below 1 leaves no object row anyway.
  const std::int32_t rowCount = n < 1 ? 1 : n + 1;

  labels.SetRowCount(rowCount);
  for (std::int32_t i = 1; i <= n; ++i) {
    labels.SetCell(0, i, ObjectHeading(i));
    labels.SetCell(1, i, file.ReadLineText());
    CheckIo();
    file.SkipLine();
    CheckIo();
  }

  matrix.SetColCount(rowCount);
  matrix.SetRowCount(rowCount);
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i; j <= n; ++j) matrix.SetCell(j, i, kMaskText);
  }
  std::string line;
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j <= i - 1; ++j) {
      file.ReadLineText(line);
      matrix.SetCell(j, i, line);
      CheckIo();
      file.SkipLine();
      CheckIo();
    }
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    matrix.SetCell(0, i, ObjectHeading(i));
    matrix.SetCell(i, 0, ObjectHeading(i));
  }
  file.CloseTextFile();
  CheckIo();
}

}  // namespace cluster
