// The printer object: its two states, page numbers, the canvas's font and
// pen, the four messages, and the guard that abandons an interrupted job.
#include <gtest/gtest.h>

#include <array>

#include "common/codepage.h"
#include "common/printer.h"
#include "tests/error_message.h"
#include "tests/recording_printer_device.h"

namespace cluster {
namespace {

using testing::InstallRecordingPrinter;
using testing::PrinterCall;
using testing::RecordingPrinterDevice;
using testing::Utf8MessageOf;
using Kind = PrinterCall::Kind;

constexpr const char* kBusy = "現在印刷中です";
constexpr const char* kNotPrinting = "プリンタに印刷できる状態ではありません";

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = &InstallRecordingPrinter(); }
  void TearDown() override { SetPrinterDeviceFactory(nullptr); }
  RecordingPrinterDevice* device_ = nullptr;
};

TEST(FontCharHeightTest, PointsAtTheResolutionRoundedToNearestHalvesAway) {
  EXPECT_EQ(FontCharHeight(12, 600), 100);   // 12 x 600 / 72 = 100
  EXPECT_EQ(FontCharHeight(10, 600), 83);    // 83.33
  EXPECT_EQ(FontCharHeight(10, 1200), 167);  // 166.67
  EXPECT_EQ(FontCharHeight(9, 300), 38);     // 37.5 rounds up
  EXPECT_EQ(FontCharHeight(-9, 300), -38);   // and down below zero
  EXPECT_EQ(FontCharHeight(0, 600), 0);
}

TEST_F(PrinterTest, StartsIdleAndGoesThroughAJobPageByPage) {
  TPrinter& printer = Printer();
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(printer.PageNumber(), 0);
  printer.StartDocument();
  EXPECT_TRUE(printer.Printing());
  EXPECT_EQ(printer.PageNumber(), 1);
  EXPECT_EQ(device_->LastTitle, "");
  printer.StartNextPage();
  printer.StartNextPage();
  EXPECT_EQ(printer.PageNumber(), 3);
  printer.FinishDocument();
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(printer.PageNumber(), 0);
  EXPECT_EQ(device_->CallsOf(Kind::Begin).size(), 1u);
  EXPECT_EQ(device_->CallsOf(Kind::NewPage).size(), 2u);
  EXPECT_EQ(device_->CallsOf(Kind::End).size(), 1u);
  EXPECT_TRUE(device_->CallsOf(Kind::Abort).empty());
}

TEST_F(PrinterTest, RefusesWhatTheStateDoesNotAllow) {
  TPrinter& printer = Printer();
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.FinishDocument(); }), kNotPrinting);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.StartNextPage(); }), kNotPrinting);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.Canvas().DrawLineTo(1, 1); }), kNotPrinting);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.Canvas().DrawTextAt(1, 1, "A"); }), kNotPrinting);
  EXPECT_TRUE(device_->CallsOf(Kind::Line).empty());
  EXPECT_TRUE(device_->CallsOf(Kind::Text).empty());

  printer.StartDocument();
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.StartDocument(); }), kBusy);
  EXPECT_TRUE(printer.Printing());  // the open job is untouched
  EXPECT_EQ(device_->CallsOf(Kind::Begin).size(), 1u);
  printer.FinishDocument();
}

TEST_F(PrinterTest, MeasuringMovingAndFontsWorkWhileIdle) {
  TPrinter& printer = Printer();
  TPrinterCanvas& canvas = printer.Canvas();
  EXPECT_EQ(printer.PageWidth(), 4800);
  EXPECT_EQ(printer.PageHeight(), 6600);
  canvas.SetFontSize(12);
  EXPECT_EQ(device_->FontHeight(), 100);
  EXPECT_EQ(canvas.TextWidthOf("WWWWW"), 200);
  EXPECT_EQ(canvas.TextHeightOf("X"), 50);
  canvas.MovePenTo(7, 9);
  EXPECT_EQ(canvas.PenX(), 7);
  EXPECT_EQ(canvas.PenY(), 9);
}

TEST_F(PrinterTest, DefaultFaceIsTheProportionalGothic) {
  TPrinterCanvas& canvas = Printer().Canvas();
  EXPECT_EQ(Utf8FromCp932(canvas.FontName()), "ＭＳ Ｐゴシック");
  canvas.SetFontSize(10);
  EXPECT_EQ(Utf8FromCp932(device_->FontFace()), "ＭＳ Ｐゴシック");
  canvas.SetFontName("Courier");
  EXPECT_EQ(device_->FontFace(), "Courier");
  EXPECT_EQ(device_->FontHeight(), 83);  // the size stays 10 points
}

TEST_F(PrinterTest, StartingADocumentConvertsTheSizeAgainAtThePrinterResolution) {
  TPrinter& printer = Printer();
  printer.Canvas().SetFontSize(12);
  EXPECT_EQ(device_->FontHeight(), 100);  // at 600 dpi
  device_->Settings().Dpi = 300;           // another printer was chosen
  printer.StartDocument();
  EXPECT_EQ(device_->FontHeight(), 50);
  printer.FinishDocument();
}

TEST_F(PrinterTest, LinesRunFromThePenAndTextLeavesThePenAfterIt) {
  TPrinter& printer = Printer();
  TPrinterCanvas& canvas = printer.Canvas();
  printer.StartDocument();
  canvas.MovePenTo(10, 20);
  canvas.DrawLineTo(30, 40);
  canvas.DrawLineTo(30, 90);
  canvas.DrawTextAt(100, 200, "AB");  // 2 bytes x 40
  EXPECT_EQ(canvas.PenX(), 180);
  EXPECT_EQ(canvas.PenY(), 200);
  canvas.DrawLineTo(180, 300);
  printer.FinishDocument();

  const auto lines = device_->CallsOf(Kind::Line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ((std::array{lines[0].x1, lines[0].y1, lines[0].x2, lines[0].y2}),
            (std::array{10, 20, 30, 40}));
  EXPECT_EQ((std::array{lines[1].x1, lines[1].y1, lines[1].x2, lines[1].y2}),
            (std::array{30, 40, 30, 90}));
  EXPECT_EQ((std::array{lines[2].x1, lines[2].y1, lines[2].x2, lines[2].y2}),
            (std::array{180, 200, 180, 300}));
  const auto texts = device_->CallsOf(Kind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].x1, 100);
  EXPECT_EQ(texts[0].y1, 200);
  EXPECT_EQ(texts[0].text, "AB");
}

TEST_F(PrinterTest, NextPageKeepsTheFont) {
  TPrinter& printer = Printer();
  printer.StartDocument();
  printer.Canvas().SetFontSize(12);
  device_->ClearCalls();
  printer.StartNextPage();
  EXPECT_TRUE(device_->CallsOf(Kind::Font).empty());
  EXPECT_EQ(printer.Canvas().FontSize(), 12);
  printer.FinishDocument();
}

TEST(PrinterSlotTest, WithoutAPrinterTheFirstUseFails) {
  SetPrinterDeviceFactory(nullptr);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([] { Printer(); }), "デフォルト プリンタが存在しません");
}

TEST_F(PrinterTest, AFailedEndLeavesThePrinterIdle) {
  TPrinter& printer = Printer();
  printer.StartDocument();
  device_->FailAt(Kind::End);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { printer.FinishDocument(); }), "選択したプリンタは有効ではありません");
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(device_->CallsOf(Kind::Abort).size(), 1u);
  printer.StartDocument();  // and the next job starts
  printer.FinishDocument();
}

TEST_F(PrinterTest, AFailedBeginLeavesThePrinterIdle) {
  device_->FailAt(Kind::Begin);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([] { Printer().StartDocument(); }), "選択したプリンタは有効ではありません");
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(PrinterTest, GuardAbandonsOnlyTheDocumentItSawOpen) {
  TPrinter& printer = Printer();
  {
    printer.StartDocument();
    PrinterDocumentGuard guard(printer);
  }
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(device_->CallsOf(Kind::Abort).size(), 1u);

  {  // finished normally: nothing to abandon
    printer.StartDocument();
    PrinterDocumentGuard guard(printer);
    printer.FinishDocument();
  }
  {  // a later document is not the guard's
    printer.StartDocument();
    PrinterDocumentGuard guard(printer);
    printer.FinishDocument();
    printer.StartDocument();
  }
  EXPECT_TRUE(printer.Printing());
  {  // dismissed: the operation wants the document left open
    PrinterDocumentGuard guard(printer);
    guard.Dismiss();
  }
  EXPECT_TRUE(printer.Printing());
  printer.FinishDocument();
  EXPECT_EQ(device_->CallsOf(Kind::Abort).size(), 1u);
}

TEST_F(PrinterTest, AbortWhileIdleDoesNothing) {
  Printer().AbortDocument();
  EXPECT_TRUE(device_->CallsOf(Kind::Abort).empty());
}

}  // namespace
}  // namespace cluster
