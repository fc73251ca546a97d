// The data window itself, offscreen: its controls, typing into the grids,
// every button reaching its handler, the dialogs as set up, the focus rule
// and the outcome of each way of closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "common/printer.h"
#include "common/text_file.h"
#include "desktop/datawindow/data_window_outcome.h"
#include "desktop/datawindow/tfdist.h"
#include "tests/qt_application_environment.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/qt_text.h"
#include "platform/text_grid.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::FillGrids;
using testing::ScratchDir;
using testing::U;

// A printer that keeps the texts it is given.
class TextOnlyPrinter : public PrinterDevice {
 public:
  explicit TextOnlyPrinter(std::vector<std::string>& texts, std::string& face) : texts_(texts), face_(face) {}
  void BeginDocument(const std::string&) override {}
  void NewPage() override {}
  void EndDocument() override { texts_.push_back("<end>"); }
  void AbortDocument() noexcept override {}
  std::int32_t PageWidth() override { return 100000; }
  std::int32_t PageHeight() override { return 100000; }
  std::int32_t VerticalDpi() override { return 600; }
  void SetFont(const std::string& face, std::int32_t) override { face_ = face; }
  std::int32_t TextWidth(std::string_view text) override { return static_cast<std::int32_t>(text.size()) * 10; }
  std::int32_t TextHeight(std::string_view text) override { return text.empty() ? 0 : 20; }
  std::int32_t AverageCharWidth() override { return 10; }
  void DrawLine(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void DrawText(std::int32_t, std::int32_t, std::string_view text) override { texts_.emplace_back(text); }

 private:
  std::vector<std::string>& texts_;
  std::string& face_;
};

class DataWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IoErrorCode() = 0;
    SetMessageBoxHook([this](MessageKind kind, const std::string& text) {
      (kind == MessageKind::Plain ? plainMessages : errorMessages).push_back(text);
    });
    SetFileDialogRunner([this](const FileDialog& dialog) -> std::optional<std::string> {
      dialogs.push_back({dialog.Kind(), dialog.Title, dialog.Filter, dialog.FileName});
      return answer;
    });
    window = std::make_unique<TFDist>(store);
    DataWindowOutcome = kDataWindowWaiting;
  }

  void TearDown() override {
    window.reset();
    SetMessageBoxHook({});
    SetFileDialogRunner({});
    SetPrinterDeviceFactory({});
    IoErrorCode() = 0;
  }

  void ShowAndActivate() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QCoreApplication::processEvents();
  }

  struct SeenDialog {
    FileDialogKind kind;
    std::string title, filter, fileName;
  };

  AnalysisStore store{1000};
  std::unique_ptr<TFDist> window;
  std::vector<std::string> plainMessages;
  std::vector<std::string> errorMessages;
  std::vector<SeenDialog> dialogs;
  std::optional<std::string> answer;
  ScratchDir dir;
};

TEST_F(DataWindowTest, CaptionAndControlsStandWhereTheLayoutPutsThem) {
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("距離（非類似度）"));
  EXPECT_EQ(window->pos(), QPoint(200, 107));
  struct Expected {
    QWidget* widget;
    const char* caption;
    QRect rect;
  };
  const Expected controls[] = {
      {window->StringGrid1, nullptr, QRect(176, 0, 465, 417)},
      {window->AddButton, "追  加", QRect(656, 48, 75, 25)},
      {window->DelButton, "削  除", QRect(656, 88, 75, 25)},
      {window->WardButton, "Ward", QRect(656, 216, 75, 25)},
      {window->SaveButton, "保  存", QRect(656, 128, 75, 25)},
      {window->LoadButton, "読  出", QRect(656, 168, 75, 25)},
      {window->PButton, "印  刷", QRect(656, 304, 75, 25)},
      {window->StringGrid2, nullptr, QRect(8, 0, 161, 417)},
      {window->WRCSVButton, "保存（CSV）", QRect(656, 344, 75, 25)},
      {window->RDCSVButton, "読出（CSV）", QRect(656, 384, 75, 25)},
      {window->CentroidButton, "重心法", QRect(656, 256, 75, 25)},
      {window->CloseButton, "閉じる", QRect(656, 8, 75, 25)},
  };
  for (const auto& control : controls) {
    ASSERT_NE(control.widget, nullptr);
    EXPECT_EQ(control.widget->geometry(), control.rect) << control.widget->metaObject()->className();
    if (control.caption != nullptr) {
      EXPECT_EQ(static_cast<QPushButton*>(control.widget)->text(), QString::fromUtf8(control.caption));
    }
  }
  // Tab order: the controls in the order of the table, skipping the grids'
  // own parts (viewport, headers, scroll bars).
  std::vector<QWidget*> order;
  QWidget* w = window->StringGrid1;
  for (int guard = 0; guard < 200 && order.size() < std::size(controls); ++guard) {
    bool isControl = false;
    for (const auto& control : controls) isControl = isControl || control.widget == w;
    if (isControl && (order.empty() || order.back() != w)) order.push_back(w);
    w = w->nextInFocusChain();
  }
  ASSERT_EQ(order.size(), std::size(controls));
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], controls[i].widget) << "tab stop " << i;
}

TEST_F(DataWindowTest, GridsHaveFixedHeadersAndTheDefaultCellSize) {
  for (TextGrid* grid : {window->StringGrid1, window->StringGrid2}) {
    EXPECT_EQ(grid->horizontalHeader()->defaultSectionSize(), 64);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 24);
    EXPECT_EQ(grid->verticalHeader()->width(), 64);
    EXPECT_EQ(grid->horizontalHeader()->height(), 24);
    EXPECT_EQ(grid->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(grid->showGrid());
  }
  // The fresh window: the headings are the header sections.
  TextGridModel& model = window->StringGrid1->Model();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QString::fromUtf8(" 対象 2"));
  EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QString::fromUtf8(" 対象 1"));
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "*");
  EXPECT_EQ(model.data(model.index(1, 0)).toString(), "");
  EXPECT_EQ(window->StringGrid1->currentIndex(), model.index(0, 0));
  EXPECT_EQ(window->StringGrid2->Model().headerData(0, Qt::Horizontal).toString(), QString::fromUtf8(" ラベル"));
}

TEST_F(DataWindowTest, EditorIsOpenOnTheSelectedCellOnceShown) {
  ShowAndActivate();
  QTRY_VERIFY(window->StringGrid1->Editor() != nullptr);
  EXPECT_EQ(window->StringGrid1->currentIndex(), window->StringGrid1->Model().index(0, 0));
}

TEST_F(DataWindowTest, TypedTextReachesTheCellsInCodePage932) {
  ShowAndActivate();
  // The label of object 1, typed with a character the code page lacks.
  window->StringGrid2->setFocus();
  QTRY_VERIFY(window->StringGrid2->Editor() != nullptr);
  // Japanese arrives through the input method as a committed string.
  QInputMethodEvent input;
  input.setCommitString(QString::fromUtf8("東京é"));
  QApplication::sendEvent(window->StringGrid2->Editor(), &input);
  // The value of objects 2 and 1, then Ward: the text is in the cell by
  // the time the button's handler runs.
  window->Grids().Matrix.SetCurrentCell(1, 2);
  window->StringGrid1->setFocus();
  QTRY_VERIFY(window->StringGrid1->Editor() != nullptr);
  EXPECT_EQ(window->Grids().Labels.Cell(1, 1), U("東京?"));
  QTest::keyClicks(window->StringGrid1->Editor(), "2.5");
  QTest::mouseClick(window->WardButton, Qt::LeftButton);
  EXPECT_TRUE(plainMessages.empty());
  EXPECT_EQ(window->Grids().Matrix.Cell(1, 2), "2.5");
  EXPECT_EQ(store.ObjectNames(1), U("東京?"));
  EXPECT_EQ(store.DistMatrix(2, 1), 2.5L);
  EXPECT_EQ(store.DistType, kWardMethod);
  EXPECT_EQ(DataWindowOutcome, kDataWindowProceed);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(DataWindowTest, ArrowsMoveTheEditorAndTabLeavesTheGrid) {
  ShowAndActivate();
  QTRY_VERIFY(window->StringGrid1->Editor() != nullptr);
  QTest::keyClicks(window->StringGrid1->Editor(), "x");
  QTest::keyClick(window->StringGrid1->Editor(), Qt::Key_Down);
  // The typed text went into [1, 1]; the editor now stands on [1, 2].
  EXPECT_EQ(window->Grids().Matrix.Cell(1, 1), "x");
  EXPECT_EQ(window->Grids().Matrix.CurrentRow(), 2);
  QTRY_VERIFY(window->StringGrid1->Editor() != nullptr);
  QTest::keyClicks(window->StringGrid1->Editor(), "7");
  QTest::keyClick(window->StringGrid1->Editor(), Qt::Key_Tab);
  EXPECT_EQ(window->Grids().Matrix.Cell(1, 2), "7");
  EXPECT_EQ(window->Grids().Matrix.CurrentRow(), 2);
  EXPECT_EQ(QApplication::focusWidget(), window->AddButton);
}

TEST_F(DataWindowTest, BytesThatDoNotDecodeStayUnlessEdited) {
  window->Grids().Labels.SetCell(1, 1, "\xA0\x85");
  window->Grids().Labels.SetCell(1, 2, "\xA0");
  ShowAndActivate();
  window->StringGrid2->setFocus();
  QTRY_VERIFY(window->StringGrid2->Editor() != nullptr);
  // The editor shows the cell decoded; leaving it unchanged keeps the bytes.
  window->StringGrid2->CommitEdit();
  window->Grids().Labels.SetCurrentCell(1, 2);
  QTRY_VERIFY(window->StringGrid2->Editor() != nullptr);
  EXPECT_EQ(window->Grids().Labels.Cell(1, 1), "\xA0\x85");
  // Typing replaces the cell's text.
  auto* editor = qobject_cast<QLineEdit*>(window->StringGrid2->Editor());
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "B");
  window->StringGrid2->CommitEdit();
  EXPECT_EQ(window->Grids().Labels.Cell(1, 2), "B");
}

TEST_F(DataWindowTest, AddAndDeleteButtonsWorkOnTheSelectedRow) {
  window->Grids().Matrix.SetCurrentCell(1, 2);
  QTest::mouseClick(window->AddButton, Qt::LeftButton);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 3);
  EXPECT_EQ(window->StringGrid1->Model().rowCount(), 3);
  EXPECT_EQ(window->StringGrid2->Model().rowCount(), 3);
  EXPECT_EQ(window->StringGrid1->Model().headerData(2, Qt::Vertical).toString(), QString::fromUtf8(" 対象 3"));
  QTest::mouseClick(window->DelButton, Qt::LeftButton);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 2);
  EXPECT_EQ(window->StringGrid1->Model().columnCount(), 2);
}

TEST_F(DataWindowTest, AddAtTheLimitShowsANoticeAndChangesNothing) {
  dir.Write("full", "1000\r\n");
  answer = dir.Path("full");
  QTest::mouseClick(window->LoadButton, Qt::LeftButton);
  ASSERT_EQ(ObjectCountOf(window->Grids()), 1000);
  QTest::mouseClick(window->AddButton, Qt::LeftButton);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 1000);
  EXPECT_EQ(window->Grids().Matrix.RowCount(), 1001);
  ASSERT_EQ(plainMessages.size(), 1u);
  EXPECT_EQ(plainMessages[0], U("対象は 1000 個までです。これ以上追加できません。"));
}

TEST_F(DataWindowTest, BadCellKeepsTheWindowOpenWithTheOutcomeWaiting) {
  FillGrids(window->Grids(), {"A", "B", "C"}, {{"1"}, {"abc", "2"}});
  window->show();
  QTest::mouseClick(window->CentroidButton, Qt::LeftButton);
  ASSERT_EQ(plainMessages.size(), 1u);
  EXPECT_EQ(plainMessages[0], "Error ===>  Cells[3,1] = abc");
  EXPECT_EQ(DataWindowOutcome, kDataWindowWaiting);
  EXPECT_TRUE(window->isVisible());
  // Mended, it goes through with the centroid method.
  window->Grids().Matrix.SetCell(1, 3, "4");
  store.DistType = kWardMethod;
  QTest::mouseClick(window->CentroidButton, Qt::LeftButton);
  EXPECT_EQ(store.DistType, kCentroidMethod);
  EXPECT_EQ(store.DistMatrix(3, 1), 4.0L);
  EXPECT_EQ(DataWindowOutcome, kDataWindowProceed);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(DataWindowTest, CloseButtonCancels) {
  window->show();
  store.ObjectCount = 77;
  QTest::mouseClick(window->CloseButton, Qt::LeftButton);
  EXPECT_EQ(DataWindowOutcome, kDataWindowCancelled);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(store.ObjectCount, 77);
}

TEST_F(DataWindowTest, ClosingFromTheTitleBarCancelsToo) {
  window->show();
  store.ObjectCount = 77;
  EXPECT_TRUE(window->close());
  EXPECT_EQ(DataWindowOutcome, kDataWindowCancelled);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(store.ObjectCount, 77);
}

TEST_F(DataWindowTest, ClosingAfterAMethodButtonKeepsProceed) {
  DataWindowOutcome = kDataWindowProceed;
  window->FormClose();
  EXPECT_EQ(DataWindowOutcome, kDataWindowProceed);
  DataWindowOutcome = kDataWindowCancelled;
  window->FormClose();
  EXPECT_EQ(DataWindowOutcome, kDataWindowCancelled);
}

TEST_F(DataWindowTest, NativeSaveAndLoadThroughTheirDialogs) {
  FillGrids(window->Grids(), {"A", "B", "C"}, {{"2.5"}, {"4", "1.25"}});
  ShowAndActivate();
  answer = dir.Path("data");
  QTest::mouseClick(window->SaveButton, Qt::LeftButton);
  EXPECT_EQ(dir.Read("data"), "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n");
  EXPECT_EQ(window->focusWidget(), window->CentroidButton);

  window->FormCreate();
  window->StringGrid1->setFocus();
  QTest::mouseClick(window->LoadButton, Qt::LeftButton);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 3);
  EXPECT_EQ(window->Grids().Matrix.Cell(2, 3), "1.25");
  EXPECT_EQ(window->StringGrid1->Model().rowCount(), 3);
  EXPECT_EQ(window->focusWidget(), window->CentroidButton);

  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].kind, FileDialogKind::Save);
  EXPECT_EQ(dialogs[1].kind, FileDialogKind::Open);
  for (const auto& seen : dialogs) {
    EXPECT_EQ(seen.title, U("ファイル名"));
    EXPECT_EQ(seen.filter, "");
    EXPECT_EQ(seen.fileName, "");
  }
}

TEST_F(DataWindowTest, CsvSaveAddsTheExtensionAndCsvLoadReadsTheNameAsChosen) {
  FillGrids(window->Grids(), {"A", "B", "C"}, {{"2.5"}, {"4", "1.25"}});
  answer = dir.Path("data");
  QTest::mouseClick(window->WRCSVButton, Qt::LeftButton);
  EXPECT_EQ(dir.Read("data.csv"), ",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n");
  EXPECT_FALSE(dir.Exists("data"));

  dir.Write("plain", ",X,Y\r\nX\r\nY,7\r\n");
  answer = dir.Path("plain");
  QTest::mouseClick(window->RDCSVButton, Qt::LeftButton);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 2);
  EXPECT_EQ(window->Grids().Labels.Cell(1, 2), "Y");
  EXPECT_EQ(window->Grids().Matrix.Cell(1, 2), "7");

  ASSERT_EQ(dialogs.size(), 2u);
  for (const auto& seen : dialogs) {
    EXPECT_EQ(seen.title, U("ファイル名"));
    EXPECT_EQ(seen.filter, "CSV files (*.csv)|*.CSV");
    EXPECT_EQ(seen.fileName, "");
  }
  // A native dialog after a CSV one shows no filter again.
  answer = std::nullopt;
  QTest::mouseClick(window->SaveButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.back().filter, "");
  EXPECT_EQ(QtFilterFromDialogFilter("CSV files (*.csv)|*.CSV"), QString("CSV files (*.csv) (*.CSV)"));
}

TEST_F(DataWindowTest, CancelledDialogsChangeNothing) {
  answer = std::nullopt;
  for (QPushButton* button : {window->SaveButton, window->LoadButton, window->WRCSVButton, window->RDCSVButton}) {
    QTest::mouseClick(button, Qt::LeftButton);
  }
  EXPECT_EQ(dialogs.size(), 4u);
  EXPECT_EQ(ObjectCountOf(window->Grids()), 2);
  EXPECT_TRUE(errorMessages.empty());
}

TEST_F(DataWindowTest, LoadOfAMissingFileShowsTheErrorBox) {
  answer = dir.Path("nothing here");
  QTest::mouseClick(window->LoadButton, Qt::LeftButton);
  ASSERT_EQ(errorMessages.size(), 1u);
  EXPECT_EQ(errorMessages[0], U("ファイルが見つかりません."));
  EXPECT_EQ(ObjectCountOf(window->Grids()), 2);
}

TEST_F(DataWindowTest, PrintButtonPrintsTheListing) {
  std::vector<std::string> texts;
  std::string face;
  SetPrinterDeviceFactory([&] { return std::make_unique<TextOnlyPrinter>(texts, face); });
  window->Grids().Labels.SetCell(1, 1, "A");
  ShowAndActivate();
  QTest::mouseClick(window->PButton, Qt::LeftButton);
  EXPECT_TRUE(errorMessages.empty());
  EXPECT_EQ(face, U("ＭＳ 明朝"));
  EXPECT_EQ(Printer().Canvas().FontSize(), 12);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "<end>");
  std::string all;
  for (const auto& t : texts) all += t;
  EXPECT_NE(all.find("Data ="), std::string::npos);
  EXPECT_NE(all.find(U(" 対象 1   ") + "A         "), std::string::npos);
  EXPECT_EQ(window->focusWidget(), window->CentroidButton);
}

TEST_F(DataWindowTest, PrintWithoutAPrinterShowsThePrinterError) {
  SetPrinterDeviceFactory({});
  QTest::mouseClick(window->PButton, Qt::LeftButton);
  ASSERT_EQ(errorMessages.size(), 1u);
  EXPECT_EQ(errorMessages[0], U("デフォルト プリンタが存在しません."));
}

}  // namespace
}  // namespace cluster
