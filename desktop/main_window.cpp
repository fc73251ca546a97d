#include "desktop/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "datafiles/distance_echo.h"
#include "common/codepage.h"
#include "common/numbers.h"
#include "desktop/datawindow/data_window_outcome.h"
#include "desktop/datawindow/tfdist.h"
#include "desktop/datawindow/program_store.h"
#include "platform/event_handler.h"
#include "platform/message_box.h"
#include "platform/printing.h"
#include "platform/qt_text.h"
#include "plot/dendrogram_plot.h"

namespace cluster {

namespace {

// Runs an action when the scope ends, however it ends.
template <typename Action>
class AtScopeExit {
 public:
  explicit AtScopeExit(Action action) : action_(std::move(action)) {}
  ~AtScopeExit() { action_(); }
  AtScopeExit(const AtScopeExit&) = delete;
  AtScopeExit& operator=(const AtScopeExit&) = delete;

 private:
  Action action_;
};

}  // namespace

TFMain::TFMain(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Cluster Analysis"));
  // The frame's top-left corner at (192, 107) and a fixed client area of
  // 480 x 200 for the controls below; the window manager adds its own frame
  // and caption around it.
  move(192, 107);
  setFixedSize(480, 200);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  QFont font(QString::fromUtf8("ＭＳ Ｐゴシック"));
  font.setPixelSize(16);
  setFont(font);

  ExitButton = new QPushButton(QStringLiteral("Exit"), this);
  ExitButton->setGeometry(296, 80, 75, 25);
  PrintDialog1 = [this](const PagePainter& page) { ShowPrintDialog(this, page); };
  CoordButton = new QPushButton(QString::fromUtf8("データの設定"), this);
  CoordButton->setGeometry(112, 80, 113, 25);
  Label1 = new QLabel(QString::fromUtf8("フォント・サイズ = "), this);
  Label1->setGeometry(152, 32, 120, 16);
  FontEdit = new QLineEdit(QStringLiteral("12"), this);
  FontEdit->setGeometry(272, 24, 57, 24);

  // Tab order: Exit, データの設定, the font size.
  setTabOrder(ExitButton, CoordButton);
  setTabOrder(CoordButton, FontEdit);
  ExitButton->setFocus();

  ConnectHandler(ExitButton, &QPushButton::clicked, this, [this] { ExitButtonClick(); });
  ConnectHandler(CoordButton, &QPushButton::clicked, this, [this] { CoordButtonClick(); });
}

TFMain::~TFMain() = default;

void TFMain::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program. While a run waits for its data
  // window the run goes on to its end first (nothing but the data window ends
  // the wait); the program ends when that handler returns.
  event->accept();
  endRequested_ = true;
  if (!runActive_) QCoreApplication::quit();
}

void TFMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange) ReloadDecimalSeparator();
  QWidget::changeEvent(event);
}

void TFMain::ExitButtonClick() { close(); }

void TFMain::CoordButtonClick() {
  CoordButton->setEnabled(false);
  runActive_ = true;
  const AtScopeExit endOfRun([this] {
    CoordButton->setEnabled(true);
    runActive_ = false;
    if (endRequested_) QCoreApplication::quit();
  });
  // A run abandoned by an error keeps what it wrote, in a closed file.
  const AtScopeExit closeAbandonedOutput([this] {
    if (OutputFile.CurrentMode() != TextFile::Mode::Closed) {
      const int pending = IoErrorCode();
      OutputFile.CloseTextFile();
      IoErrorCode() = pending;
    }
  });

  dataWindows_.push_back(std::make_unique<TFDist>());
  FDist = dataWindows_.back().get();
  FDist->show();
  DataWindowOutcome = kDataWindowWaiting;
  while (DataWindowOutcome == kDataWindowWaiting) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ExitButton->setFocus();
  repaint();
  if (DataWindowOutcome == kDataWindowCancelled) return;

  OpenDialog1.Title = "Output File";
  OpenDialog1.FileName = "*.txt";
  if (!OpenDialog1.Execute(this)) return;
  const std::string path = OpenDialog1.FileName;
  OutputFile.BindName(path);
  OutputFile.OpenForWriting();
  CheckIo();

  AnalysisStore& store = ProgramStore();
  WriteDistanceEcho(OutputFile, store);
  store.PrepareClusters();
  if (!store.Agglomerate()) {
    ShowPlainMessage(AnalysisStore::kInvalidDistTypeMessage);
    OutputFile.CloseTextFile();
    CheckIo();
    close();
    return;
  }
  PlotDendrogram(store, Cp932FromQString(FontEdit->text()), PrintDialog1);
  store.FreeClusterTree();
  OutputFile.CloseTextFile();
  CheckIo();
  // The path as the dialog returned it, in the program's code page.
  ShowPlainMessage("Calculation ended. Output File = " + Cp932FromQString(QStringFromPath(path)));
  close();
}

}  // namespace cluster
