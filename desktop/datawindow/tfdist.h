// The data window TFDist: where the user states the objects, their labels
// and their dissimilarities, keeps them in files, prints them, and hands
// them to the analysis.
//
// The window is a thin layer: the cells live in DataGrids, and every
// operation (Add, Delete, the capture, both file formats, the listing) is
// the widget-free code of this folder. Each handler first hands what the
// in-place editors hold to the cells, then runs its operation. Handlers do
// not catch errors (only the capture's number conversion is caught, by the
// capture); the buttons run them through RunHandler, which shows what
// escapes in the error box.
//
// After every file or print operation the keyboard focus goes to the "Ward"
// button and then to the "重心法" button, which keeps it.
//
// Closing the window only hides it; whatever closes it, the run waiting on
// DataWindowOutcome is released: 1 after a method button, 9 otherwise.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

#include "desktop/datawindow/data_grids.h"
#include "desktop/datawindow/data_window_outcome.h"
#include "engine/matrix/analysis_store.h"
#include "platform/file_dialog.h"

class QPushButton;

namespace cluster {

class GridBinding;
class TextGrid;

class TFDist : public QWidget {
 public:
  // A window that captures into the program's store.
  explicit TFDist(QWidget* parent = nullptr);
  // A window that captures into `store` (tests, other programs).
  explicit TFDist(AnalysisStore& store, QWidget* parent = nullptr);
  ~TFDist() override;

  // The window's controls, listed in their tab order, and its save and
  // open dialogs.
  TextGrid* StringGrid1 = nullptr;
  QPushButton* AddButton = nullptr;
  QPushButton* DelButton = nullptr;
  QPushButton* WardButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* LoadButton = nullptr;
  FileDialog SaveDialog1{FileDialogKind::Save};
  FileDialog OpenDialog1{FileDialogKind::Open};
  QPushButton* PButton = nullptr;
  TextGrid* StringGrid2 = nullptr;
  QPushButton* WRCSVButton = nullptr;
  QPushButton* RDCSVButton = nullptr;
  QPushButton* CentroidButton = nullptr;
  QPushButton* CloseButton = nullptr;

  // The cells of both grids.
  DataGrids& Grids() noexcept { return grids_; }

  // Handlers.
  void FormCreate();
  void AddButtonClick();
  void DelButtonClick();
  void WardButtonClick();
  void CentroidButtonClick();
  void CloseButtonClick();
  void FormClose();
  void SaveButtonClick();
  void LoadButtonClick();
  void WRCSVButtonClick();
  void RDCSVButtonClick();
  void PButtonClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  QPushButton* MakeButton(const char* utf8Caption, int left, int top);
  void CommitEdits();
  void CaptureAndClose(std::uint8_t method);
  void FocusAfterFileOperation();

  enum class DataFileFormat { Native, Csv };
  enum class FileDirection { Save, Load };
  // What each of the four file buttons does, for its format and direction:
  // hands the editors' texts to the cells, asks for a name in the save or
  // open dialog (titled "ファイル名", filtered to CSV files for the CSV
  // format, the name empty), and unless the user cancels, saves or loads
  // the file (a CSV save under EnsureCsvExtension's name, a load up to the
  // store's object limit) and moves the focus as after every file operation.
  void RunFileOperation(DataFileFormat format, FileDirection direction);

  AnalysisStore& store_;
  DataGrids grids_;
  std::unique_ptr<GridBinding> matrixBinding_;
  std::unique_ptr<GridBinding> labelBinding_;
};

}  // namespace cluster
