// The main window: the font size for the printed dendrogram, the run button
// "データの設定" and "Exit".
//
// A run (CoordButtonClick) opens a fresh data window and waits, dispatching
// events, until the window reports how it ended. Then it asks for the output
// file, writes the distance echo, merges the clusters, prints the dendrogram,
// reports completion and closes the main window, which ends the program.
// While a run waits, the run button is disabled, so runs never nest. An error
// ends the run where it arises (the error box shows it); an output file the
// run had created is closed with what was written.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "common/text_file.h"
#include "platform/file_dialog.h"
#include "plot/dendrogram_plot.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace cluster {

class TFDist;

class TFMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFMain(QWidget* parent = nullptr);
  ~TFMain() override;

  void ExitButtonClick();
  void CoordButtonClick();

  // True once the main window was closed: the program is ending.
  bool EndRequested() const noexcept { return endRequested_; }

  // The window's controls and dialogs. OpenDialog1 asks for the output
  // file; PrintDialog1 shows the print dialog, with a preview of the page
  // the plot hands it, and is handed to the plot.
  QPushButton* ExitButton = nullptr;
  FileDialog OpenDialog1{FileDialogKind::Open};
  PrintDialogRunner PrintDialog1;
  QPushButton* CoordButton = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* FontEdit = nullptr;

  // The data window of the latest run, and the output file of the run.
  TFDist* FDist = nullptr;
  TextFile OutputFile;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A change of the user's regional settings: the decimal separator is read
  // again.
  void changeEvent(QEvent* event) override;

 private:
  // Every data window ever opened; closed ones are only hidden.
  std::vector<std::unique_ptr<TFDist>> dataWindows_;
  // A run is in its handler; the main window was closed (the program ends
  // once no run is in its handler).
  bool runActive_ = false;
  bool endRequested_ = false;
};

}  // namespace cluster
