// The Qt printer, offscreen, printing into PDF files that poppler's tools
// read back: the dendrogram's single page and its texts, the text stream's
// pages, the device's units and fonts, and the printer errors.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFontInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/printer.h"
#include "common/printer_text_stream.h"
#include "platform/printer_font.h"
#include "platform/print_preview.h"
#include "platform/printing.h"
#include "platform/qt_printer_device.h"
#include "plot/dendrogram_plot.h"
#include "tests/error_message.h"
#include "tests/hand_made_tree.h"

namespace cluster {
namespace {

using testing::Utf8MessageOf;

// Standard output of a shell command.
std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), got);
  ::pclose(pipe);
  return output;
}

std::string PdfInfo(const QString& path) {
  return RunCommand("pdfinfo '" + path.toStdString() + "' 2>&1");
}
std::string PdfText(const QString& path) {
  return RunCommand("pdftotext -enc UTF-8 '" + path.toStdString() + "' - 2>&1");
}
int PdfPages(const QString& path) {
  const std::string info = PdfInfo(path);
  const auto at = info.find("Pages:");
  if (at == std::string::npos) return -1;
  return std::stoi(info.substr(at + 6));
}

// The four-object tree: 5 = (2, 3) at 1, 6 = (1, 5) at 2, root 7 = (4, 6)
// at 4, labelled in Japanese.
class FourObjects : public testing::HandMadeTree {
 public:
  FourObjects() : HandMadeTree(4) {
    Name(1, "東京");
    Name(2, "大阪");
    Name(3, "名古屋");
    Name(4, "札幌");
    Merge(2, 3, 1);
    Merge(1, 5, 2);
    Merge(4, 6, 4);
  }
  DendrogramSource Source() { return HandMadeTree::Source(kCentroidMethod); }
};

class QtPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    pdf_ = dir_.filePath("out.pdf");
    SetUpPdfPrinting(pdf_);
  }
  void TearDown() override { SetPrinterDeviceFactory(nullptr); }

  QTemporaryDir dir_;
  QString pdf_;
};

TEST_F(QtPrinterTest, TheDendrogramIsOnePageWithCaptionAxisAndLabels) {
  FourObjects tree;
  PlotDendrogram(tree.Source(), "10", nullptr);
  EXPECT_FALSE(Printer().Printing());
  EXPECT_EQ(PdfPages(pdf_), 1);
  const std::string text = PdfText(pdf_);
  for (const char* expected : {"重心法", "東京", "大阪", "名古屋", "札幌", "0.0", "4.00"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " missing in:\n" << text;
  }
  // The Windows face is printed in its substitute.
  EXPECT_NE(RunCommand("pdffonts '" + pdf_.toStdString() + "'").find("IPAPGothic"), std::string::npos);
}

TEST_F(QtPrinterTest, DeviceUnitsArePrinterDots) {
  TPrinter& printer = Printer();
  EXPECT_EQ(printer.Device().VerticalDpi(), 1200);
  // A page of letter or A4 paper less its margins, at 1200 dpi.
  EXPECT_GT(printer.PageWidth(), 7 * 1200);
  EXPECT_LT(printer.PageWidth(), printer.PageHeight());
  EXPECT_LT(printer.PageHeight(), 12 * 1200);
  TPrinterCanvas& canvas = printer.Canvas();
  canvas.SetFontSize(12);  // 200 dots
  const std::int32_t cell = canvas.TextHeightOf("X");
  EXPECT_GE(cell, 200);
  EXPECT_LT(cell, 300);
  EXPECT_EQ(canvas.TextHeightOf(Cp932FromUtf8("日本")), cell);
  EXPECT_EQ(canvas.TextHeightOf(""), 0);
  EXPECT_EQ(canvas.TextWidthOf(""), 0);
  EXPECT_GT(canvas.TextWidthOf("W"), 0);
  // A full-width character of a Japanese face is one em wide.
  EXPECT_NEAR(canvas.TextWidthOf(Cp932FromUtf8("日")), 200, 2);
  EXPECT_GT(canvas.AverageCharWidth(), 0);
  canvas.SetFontSize(24);
  EXPECT_NEAR(canvas.TextHeightOf("X"), 2 * cell, 2);
}

// The font set-up both Qt printer devices share: a negative character
// height is its magnitude, and no size lies outside 1 .. 32767 dots.
TEST(PrinterFontTest, TheSizeIsTheMagnitudeOfTheHeightWithinItsLimits) {
  EXPECT_EQ(PrinterFontPixelSize(200), 200);
  EXPECT_EQ(PrinterFontPixelSize(-200), 200);
  EXPECT_EQ(PrinterFontPixelSize(0), 1);
  EXPECT_EQ(PrinterFontPixelSize(40000), 32767);
  EXPECT_EQ(PrinterFontPixelSize(-40000), 32767);
  EXPECT_EQ(PrinterFontPixelSize(std::numeric_limits<std::int32_t>::min()), 32767);
  const QFont font = MakePrinterFont(Cp932FromUtf8("ＭＳ 明朝"), -50);
  EXPECT_EQ(font.family().toStdString(), "ＭＳ 明朝");
  EXPECT_EQ(font.pixelSize(), 50);
  EXPECT_FALSE(font.kerning());
}

TEST_F(QtPrinterTest, TheWindowsFacesMapToInstalledOnes) {
  const std::array<std::pair<const char*, const char*>, 4> faces{{
      {"ＭＳ Ｐゴシック", "IPAPGothic"},
      {"ＭＳ ゴシック", "IPAGothic"},
      {"ＭＳ 明朝", "IPAMincho"},
      {"MS Sans Serif", "DejaVu Sans"}}};
  for (const auto& [windows, installed] : faces) {
    const QFontInfo info(QFont(QString::fromUtf8(windows)));
    EXPECT_EQ(info.family().toStdString(), installed) << windows;
  }
}

TEST_F(QtPrinterTest, TheTextStreamFillsAsManyPagesAsItStarts) {
  TextFile out;
  OpenPrinterStream(out);
  CheckIo();
  Printer().Canvas().SetFontName(Cp932FromUtf8("ＭＳ ゴシック"));
  Printer().Canvas().SetFontSize(10);
  for (int line = 1; line <= 150; ++line) {
    out.WriteTextItem(Cp932FromUtf8("行 ") + std::to_string(line));
    out.WriteLineEnd();
    CheckIo();
  }
  const int pages = Printer().PageNumber();
  out.CloseTextFile();
  CheckIo();
  EXPECT_GT(pages, 1);
  EXPECT_EQ(PdfPages(pdf_), pages);
  const std::string text = PdfText(pdf_);
  EXPECT_NE(text.find("行 1\n"), std::string::npos);
  EXPECT_NE(text.find("行 150"), std::string::npos);
}

TEST_F(QtPrinterTest, AFileThatCannotBeWrittenIsAnInvalidPrinter) {
  SetUpPdfPrinting(dir_.filePath("no-such-folder/out.pdf"));
  FourObjects tree;
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { PlotDendrogram(tree.Source(), "10", nullptr); }),
            "選択したプリンタは有効ではありません");
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(QtPrinterTest, AJobAbandonedHalfWayLeavesThePrinterReady) {
  FourObjects tree;
  DendrogramSource broken = tree.Source();
  broken.ObjectName = [](std::int32_t) -> const std::string& { throw ERangeError(); };
  EXPECT_THROW(PlotDendrogram(broken, "10", nullptr), ERangeError);
  EXPECT_FALSE(Printer().Printing());
  PlotDendrogram(tree.Source(), "10", nullptr);
  EXPECT_EQ(PdfPages(pdf_), 1);
  EXPECT_NE(PdfText(pdf_).find("名古屋"), std::string::npos);
}

TEST_F(QtPrinterTest, WithoutAnyPrinterTheFirstUseFails) {
  if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a printer";
  SetUpPrinting();
  EXPECT_EQ(Utf8MessageOf<EPrinter>([] { Printer().StartDocument(); }), "デフォルト プリンタが存在しません");
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(QtPrinterTest, ThePreviewDrawsThePageAsItPrints) {
  // The page the dialog is handed, drawn on a printer of its own (as the
  // preview draws it), is the page that prints: the same texts, the same
  // page, one of it.
  FourObjects tree;
  QPrinter previewPrinter(QPrinter::HighResolution);
  previewPrinter.setOutputFormat(QPrinter::PdfFormat);
  const QString previewPdf = dir_.filePath("preview.pdf");
  previewPrinter.setOutputFileName(previewPdf);
  bool previewed = false;
  PlotDendrogram(tree.Source(), "10", [&](const PagePainter& page) {
    PaintPageOn(previewPrinter, page);  // while the dialog is up, as the preview draws it
    previewed = true;
  });
  ASSERT_TRUE(previewed);
  const std::string printed = PdfText(pdf_);
  EXPECT_EQ(PdfPages(previewPdf), 1);
  EXPECT_EQ(PdfText(previewPdf), printed);
  EXPECT_NE(printed.find("札幌"), std::string::npos);
}

TEST_F(QtPrinterTest, ThePrintDialogOffersThePreview) {
  // Presses the dialog's preview button once it is up, closes the preview
  // once that has drawn the page, then cancels the dialog.
  int drawn = 0;
  bool pressed = false;
  bool printHidden = false;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* preview = qobject_cast<QPrintPreviewDialog*>(widget); preview && preview->isVisible() && drawn > 0) {
        // Its own Print would print the page a second time.
        for (QAction* action : preview->findChildren<QAction*>()) {
          if (action->text() == QCoreApplication::translate("QPrintPreviewDialog", "Print")) {
            printHidden = !action->isVisible();
          }
        }
        preview->reject();
        return;
      }
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QPrintDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      if (!pressed) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
          if (button->text() == QString::fromUtf8(kPreviewButtonText)) {
            pressed = true;
            QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
          }
        }
      } else if (QApplication::activeModalWidget() == dialog) {
        dialog->reject();
      }
    }
  });
  driver.start(20);
  FourObjects tree;
  ShowPrintDialog(nullptr, [&drawn, &tree](TPrinter& printer) {
    ++drawn;
    DendrogramPlot(printer, tree.Source().ObjectName).Print(tree.Source(), "10");
  });
  driver.stop();
  EXPECT_TRUE(pressed);
  EXPECT_GE(drawn, 1);
  EXPECT_TRUE(printHidden);
}

TEST_F(QtPrinterTest, ACancelledPrintDialogStillPrints) {
  // Cancels the dialog as soon as it is up.
  QTimer canceller;
  QObject::connect(&canceller, &QTimer::timeout, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QPrintDialog*>(widget); dialog && dialog->isVisible()) {
        dialog->reject();
      }
    }
  });
  canceller.start(20);
  FourObjects tree;
  PlotDendrogram(tree.Source(), "10", [](const PagePainter& page) { ShowPrintDialog(nullptr, page); });
  canceller.stop();
  EXPECT_EQ(PdfPages(pdf_), 1);
  EXPECT_NE(PdfText(pdf_).find("札幌"), std::string::npos);
}

}  // namespace
}  // namespace cluster

// The application object lives in main, so that it ends before Qt's own
// globals do.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  cluster::SetPrinterDeviceFactory(nullptr);
  return result;
}
