// The whole program, driven offscreen in process: the main window, a run
// through the data window, the output file, the printed dendrogram and the
// completion message; and the ways a run ends early.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "desktop/main_window.h"
#include "common/codepage.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "desktop/datawindow/data_window_outcome.h"
#include "desktop/datawindow/tfdist.h"
#include "desktop/datawindow/program_store.h"
#include "tests/file_bytes.h"
#include "tests/qt_application_environment.h"
#include "platform/message_box.h"
#include "platform/printing.h"
#include "platform/text_grid.h"

namespace cluster {
namespace {

using testing::FileBytes;

const std::string kHeader = Cp932FromUtf8("読み込まれた距離...");

std::string RunTool(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  process.waitForFinished(30000);
  return process.readAllStandardOutput().toStdString();
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    IoErrorCode() = 0;
    char pattern[] = "/tmp/app-run-XXXXXX";
    dir_ = mkdtemp(pattern);
    SetMessageBoxHook([this](MessageKind kind, const std::string& text) {
      (kind == MessageKind::Plain ? plainMessages_ : errorMessages_).push_back(text);
    });
    SetFileDialogRunner([this](const FileDialog& dialog) -> std::optional<std::string> {
      dialogTitles_.push_back(dialog.Title);
      dialogNames_.push_back(dialog.FileName);
      return outputAnswer_;
    });
    main_ = std::make_unique<TFMain>();
    main_->PrintDialog1 = [this](const PagePainter&) {
      ++printDialogs_;
      SetUpPdfPrinting(QString::fromStdString(pdfPath()));  // "print to file"
    };
    main_->show();
  }

  void TearDown() override {
    main_.reset();
    SetMessageBoxHook({});
    SetFileDialogRunner({});
    SetPrinterDeviceFactory({});
    IoErrorCode() = 0;
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string pdfPath() const { return dir_ + "/tree.pdf"; }

  // Presses "データの設定" and, while the run waits, lets `drive` work the
  // data window; returns once the run's handler has returned.
  void RunWith(const std::function<void(TFDist&)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
      ASSERT_NE(main_->FDist, nullptr);
      ASSERT_TRUE(main_->FDist->isVisible());
      EXPECT_FALSE(main_->CoordButton->isEnabled());  // no nested run
      driven = true;
      drive(*main_->FDist);
    });
    QTest::mouseClick(main_->CoordButton, Qt::LeftButton);
    ASSERT_TRUE(driven);
  }

  // Types into a cell as the user does: select it, then keys into the
  // editor that is open on it.
  static void Type(TextGrid* grid, CellGrid& cells, int col, int row, const QString& text) {
    cells.SetCurrentCell(col, row);
    grid->setFocus();
    QTRY_VERIFY(grid->Editor() != nullptr);
    auto* editor = qobject_cast<QLineEdit*>(grid->Editor());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
  }

  static void EnterTheThreeObjects(TFDist& window) {
    window.Grids().Matrix.SetCurrentCell(1, 2);
    QTest::mouseClick(window.AddButton, Qt::LeftButton);
    ASSERT_EQ(ObjectCountOf(window.Grids()), 3);
    Type(window.StringGrid2, window.Grids().Labels, 1, 1, "A");
    Type(window.StringGrid2, window.Grids().Labels, 1, 2, "B");
    Type(window.StringGrid2, window.Grids().Labels, 1, 3, "C");
    Type(window.StringGrid1, window.Grids().Matrix, 1, 2, "2.5");
    Type(window.StringGrid1, window.Grids().Matrix, 1, 3, "4");
    Type(window.StringGrid1, window.Grids().Matrix, 2, 3, "1.25");
  }

  std::string dir_;
  std::unique_ptr<TFMain> main_;
  std::optional<std::string> outputAnswer_;
  std::vector<std::string> plainMessages_, errorMessages_, dialogTitles_, dialogNames_;
  int printDialogs_ = 0;
};

TEST(ProgramStoreTest, OneStoreOfAThousandObjectsForTheWholeProgram) {
  AnalysisStore& store = ProgramStore();
  EXPECT_EQ(&store, &ProgramStore());
  EXPECT_EQ(store.MaxObjects(), 1000);
}

TEST_F(RunTest, MainWindowAsDesigned) {
  EXPECT_EQ(main_->windowTitle(), "Cluster Analysis");
  EXPECT_EQ(main_->pos(), QPoint(192, 107));
  EXPECT_EQ(main_->font().family(), QString::fromUtf8("ＭＳ Ｐゴシック"));
  EXPECT_EQ(main_->font().pixelSize(), 16);
  EXPECT_EQ(main_->CoordButton->text(), QString::fromUtf8("データの設定"));
  EXPECT_EQ(main_->CoordButton->geometry(), QRect(112, 80, 113, 25));
  EXPECT_EQ(main_->ExitButton->text(), "Exit");
  EXPECT_EQ(main_->ExitButton->geometry(), QRect(296, 80, 75, 25));
  EXPECT_EQ(main_->Label1->text(), QString::fromUtf8("フォント・サイズ = "));
  EXPECT_EQ(main_->Label1->geometry(), QRect(152, 32, 120, 16));
  EXPECT_EQ(main_->FontEdit->text(), "12");
  EXPECT_EQ(main_->FontEdit->geometry(), QRect(272, 24, 57, 24));
  EXPECT_EQ(main_->ExitButton->nextInFocusChain(), main_->CoordButton);
}

TEST_F(RunTest, WardRunOfThreeObjectsWritesPrintsReportsAndQuits) {
  const std::string output = dir_ + "/result.txt";
  outputAnswer_ = output;
  // The whole run inside the program's message loop: it must end the loop.
  bool timedOut = false;
  QTimer::singleShot(0, [&] {
    RunWith([&](TFDist& window) {
      // A fresh window: two objects.
      EXPECT_EQ(ObjectCountOf(window.Grids()), 2);
      EnterTheThreeObjects(window);
      QTest::mouseClick(window.WardButton, Qt::LeftButton);
    });
  });
  QTimer::singleShot(30000, [&] {
    timedOut = true;
    QCoreApplication::exit(1);
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(main_->EndRequested());
  EXPECT_TRUE(errorMessages_.empty()) << (errorMessages_.empty() ? "" : errorMessages_[0]);
  EXPECT_EQ(dialogTitles_, std::vector<std::string>{"Output File"});
  EXPECT_EQ(dialogNames_, std::vector<std::string>{"*.txt"});
  EXPECT_EQ(FileBytes(output), "\r\n" + kHeader +
                                  "\r\nA         \r\nB         2.5       \r\n"
                                  "C         4         1.25      \r\n");
  EXPECT_EQ(printDialogs_, 1);
  ASSERT_EQ(plainMessages_.size(), 1u);
  EXPECT_EQ(plainMessages_[0], "Calculation ended. Output File = " + output);
  EXPECT_FALSE(main_->isVisible());  // the main window closed: the program ends
  // The tree: B and C at 0.78125, then A at 7.15625 (Ward, halved squares).
  // The store's tree was released; the page is what remains.
  EXPECT_EQ(RunTool("pdfinfo", {QString::fromStdString(pdfPath())}).find("Pages:           1\n") != std::string::npos, true);
  const std::string text = RunTool("pdftotext", {QString::fromStdString(pdfPath()), "-"});
  EXPECT_NE(text.find("Ward法"), std::string::npos) << text;
  for (const char* label : {"A", "B", "C", "7.16"}) EXPECT_NE(text.find(label), std::string::npos) << label;
}

TEST_F(RunTest, CloseButtonReturnsToTheIdleWindowAndASecondRunIsFresh) {
  RunWith([&](TFDist& window) {
    Type(window.StringGrid2, window.Grids().Labels, 1, 1, "kept?");
    QTest::mouseClick(window.CloseButton, Qt::LeftButton);
  });
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->CoordButton->isEnabled());
  EXPECT_TRUE(dialogTitles_.empty());
  EXPECT_TRUE(plainMessages_.empty());
  QApplication::setActiveWindow(main_.get());
  EXPECT_EQ(main_->focusWidget(), main_->ExitButton);
  TFDist* first = main_->FDist;
  RunWith([&](TFDist& window) {
    EXPECT_NE(&window, first);
    EXPECT_EQ(ObjectCountOf(window.Grids()), 2);
    EXPECT_EQ(window.Grids().Labels.Cell(1, 1), "");
    QTest::mouseClick(window.CloseButton, Qt::LeftButton);
  });
  EXPECT_TRUE(main_->CoordButton->isEnabled());
}

TEST_F(RunTest, CancellingTheOutputDialogEndsTheRunQuietly) {
  outputAnswer_.reset();
  RunWith([&](TFDist& window) {
    window.Grids().Labels.SetCell(1, 1, "A");
    window.Grids().Labels.SetCell(1, 2, "B");
    window.Grids().Matrix.SetCell(1, 2, "1");
    QTest::mouseClick(window.CentroidButton, Qt::LeftButton);
  });
  EXPECT_EQ(dialogTitles_.size(), 1u);
  EXPECT_TRUE(plainMessages_.empty());
  EXPECT_TRUE(errorMessages_.empty());
  EXPECT_EQ(printDialogs_, 0);
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->CoordButton->isEnabled());
}

TEST_F(RunTest, AnOutputPathInAMissingFolderShowsTheErrorAndTheProgramGoesOn) {
  outputAnswer_ = dir_ + "/no-such-folder/out.txt";
  RunWith([&](TFDist& window) {
    window.Grids().Matrix.SetCell(1, 2, "1");
    QTest::mouseClick(window.WardButton, Qt::LeftButton);
  });
  ASSERT_EQ(errorMessages_.size(), 1u);
  EXPECT_EQ(errorMessages_[0], Cp932FromUtf8("不正なファイル名です."));
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->CoordButton->isEnabled());
  // Still usable: a second run can be cancelled as usual.
  RunWith([&](TFDist& window) { QTest::mouseClick(window.CloseButton, Qt::LeftButton); });
  EXPECT_EQ(errorMessages_.size(), 1u);
}

TEST_F(RunTest, OneObjectEndsInTheEngineErrorAndTheFileKeepsTheEcho) {
  const std::string output = dir_ + "/one.txt";
  outputAnswer_ = output;
  RunWith([&](TFDist& window) {
    window.Grids().Matrix.SetCurrentCell(1, 2);
    QTest::mouseClick(window.DelButton, Qt::LeftButton);
    ASSERT_EQ(ObjectCountOf(window.Grids()), 1);
    window.Grids().Labels.SetCell(1, 1, "solo");
    QTest::mouseClick(window.WardButton, Qt::LeftButton);
  });
  ASSERT_EQ(errorMessages_.size(), 1u);
  EXPECT_EQ(errorMessages_[0], "Range error in SeekC.");
  EXPECT_TRUE(plainMessages_.empty());
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->CoordButton->isEnabled());
  // The file was closed with what the run had written.
  EXPECT_EQ(main_->OutputFile.CurrentMode(), TextFile::Mode::Closed);
  EXPECT_EQ(FileBytes(output), "\r\n" + kHeader + "\r\nsolo      \r\n");
}

TEST_F(RunTest, ExitClosesTheMainWindowAndEndsTheProgram) {
  QTimer::singleShot(0, [&] { QTest::mouseClick(main_->ExitButton, Qt::LeftButton); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(main_->isVisible());
  EXPECT_TRUE(main_->EndRequested());
}

TEST_F(RunTest, ClosingTheMainWindowWhileARunWaitsLetsTheRunFinish) {
  const std::string output = dir_ + "/late.txt";
  outputAnswer_ = output;
  bool dataWindowStillOpen = false;
  RunWith([&](TFDist& window) {
    main_->close();  // the close box, while the data window is open
    QCoreApplication::processEvents();
    dataWindowStillOpen = window.isVisible();
    window.Grids().Labels.SetCell(1, 1, "A");
    window.Grids().Labels.SetCell(1, 2, "B");
    window.Grids().Matrix.SetCell(1, 2, "1");
    QTest::mouseClick(window.WardButton, Qt::LeftButton);
  });
  EXPECT_TRUE(dataWindowStillOpen);
  EXPECT_TRUE(main_->EndRequested());
  // The run went on to its end: echo written, completion reported.
  EXPECT_EQ(FileBytes(output), "\r\n" + kHeader + "\r\nA         \r\nB         1         \r\n");
  ASSERT_EQ(plainMessages_.size(), 1u);
  EXPECT_EQ(plainMessages_[0], "Calculation ended. Output File = " + output);
}

TEST_F(RunTest, ANoticeOfChangedSettingsReadsTheDecimalSeparatorAgain) {
  const char* old = std::getenv("LC_ALL");
  const std::string previous = old != nullptr ? old : "";
  SetDecimalSeparator(',');
  setenv("LC_ALL", "C", 1);  // no decimal symbol of its own: "."
  QEvent notice(QEvent::LocaleChange);
  QApplication::sendEvent(main_.get(), &notice);
  EXPECT_EQ(DecimalSeparator(), '.');
  if (old != nullptr) {
    setenv("LC_ALL", previous.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

TEST(ErrorBoxTextTest, PeriodOnlyAfterBytesAboveThePeriod) {
  EXPECT_EQ(ErrorBoxText("Range error in SeekC"), "Range error in SeekC.");
  EXPECT_EQ(ErrorBoxText(Cp932FromUtf8("ファイルが見つかりません")), Cp932FromUtf8("ファイルが見つかりません."));
  EXPECT_EQ(ErrorBoxText(Cp932FromUtf8("I/O エラー (32)")), Cp932FromUtf8("I/O エラー (32)"));
  EXPECT_EQ(ErrorBoxText("Ends with a period."), "Ends with a period.");
  EXPECT_EQ(ErrorBoxText("count 5"), "count 5.");
  EXPECT_EQ(ErrorBoxText("dash-"), "dash-");  // "-" sorts below "."
  EXPECT_EQ(ErrorBoxText(""), "");
}

}  // namespace
}  // namespace cluster
