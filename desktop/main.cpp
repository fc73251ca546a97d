// Cluster Analysis: the desktop program. It takes no arguments; the main
// window is the only window at start, and closing it ends the program.
#include <QApplication>

#include "desktop/main_window.h"
#include "common/numbers.h"
#include "platform/printing.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The main window decides when the program ends (a run waiting for its data
  // window finishes first), not the last visible window.
  QApplication::setQuitOnLastWindowClosed(false);
  cluster::ReloadDecimalSeparator();
  cluster::SetUpPrinting();
  cluster::TFMain mainWindow;
  mainWindow.show();
  return QApplication::exec();
}
