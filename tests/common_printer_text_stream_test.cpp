// The printer text stream's page layout, worked by hand against the
// recording device: a byte is 40 dots wide, a text line 50 dots high (so a
// printed line advances 52), the average character 30 (a tab step of 240).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/printer_text_stream.h"
#include "common/text_file.h"
#include "tests/error_message.h"
#include "tests/recording_printer_device.h"

namespace cluster {
namespace {

using testing::InstallRecordingPrinter;
using testing::PrinterCall;
using testing::RecordingPrinterDevice;
using testing::RecordingSettings;
using testing::Utf8MessageOf;
using Kind = PrinterCall::Kind;

struct Placed {
  std::int32_t x;
  std::int32_t y;
  std::string text;
  bool operator==(const Placed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Placed& placed) {
  return out << "(" << placed.x << "," << placed.y << ",\"" << Utf8FromCp932(placed.text)
             << "\")";
}

class PrinterTextStreamTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Printer().AbortDocument();
    SetPrinterDeviceFactory(nullptr);
  }

  // A printer with the given page, and the stream opened on it.
  void Open(std::int32_t width, std::int32_t height = 6600) {
    RecordingSettings settings;
    settings.PageWidth = width;
    settings.PageHeight = height;
    device_ = &InstallRecordingPrinter(settings);
    OpenPrinterStream(file_);
    CheckIo();
  }

  void WriteLine(std::string_view text) {
    file_.WriteTextItem(text);
    file_.WriteLineEnd();
    CheckIo();
  }
  void Write(std::string_view text) {
    file_.WriteTextItem(text);
    file_.EndWrite();
    CheckIo();
  }
  void Close() {
    file_.CloseTextFile();
    CheckIo();
  }

  std::vector<Placed> Texts() const {
    std::vector<Placed> placed;
    for (const PrinterCall& call : device_->CallsOf(Kind::Text)) {
      placed.push_back({call.x1, call.y1, call.text});
    }
    return placed;
  }
  std::size_t NewPages() const { return device_->CallsOf(Kind::NewPage).size(); }

  const PrinterTextStream& Stream() const { return ProgramPrinterStream(); }

  RecordingPrinterDevice* device_ = nullptr;
  TextFile file_;
};

TEST_F(PrinterTextStreamTest, OpeningStartsADocumentAtTheTopLeft) {
  Open(4800, 6600);
  EXPECT_TRUE(Printer().Printing());
  EXPECT_EQ(Printer().PageNumber(), 1);
  EXPECT_EQ(Stream().X(), 0);
  EXPECT_EQ(Stream().Y(), 0);
  EXPECT_EQ(Stream().PageWidth(), 4800);
  EXPECT_EQ(Stream().PageHeight(), 6600);
  EXPECT_EQ(Stream().LineHeight(), 0);
  WriteLine("AB");
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "AB"}}));
}

TEST_F(PrinterTextStreamTest, AnEmptyStreamGivesOneEmptyPage) {
  Open(4800);
  Close();
  ASSERT_EQ(device_->Calls().size(), 3u);  // Begin, its font, End
  EXPECT_EQ(device_->Calls()[0].kind, Kind::Begin);
  EXPECT_EQ(device_->Calls()[1].kind, Kind::Font);
  EXPECT_EQ(device_->Calls()[2].kind, Kind::End);
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(PrinterTextStreamTest, LinesAdvanceByTextHeightPlusTwo) {
  Open(4800);
  WriteLine("AB");
  EXPECT_EQ(Stream().Y(), 52);
  EXPECT_EQ(Stream().LineHeight(), 0);
  WriteLine("CDE");
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "AB"}, {0, 52, "CDE"}}));
}

TEST_F(PrinterTextStreamTest, TheControlBytes) {
  Open(4800);
  Write("AB\rCD");    // CR moves nothing
  Write("\nEF");      // LF ends the line
  Write("\fGH");      // form feed starts a new page at once
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "AB"}, {80, 0, "CD"}, {0, 52, "EF"},
                                          {0, 0, "GH"}}));
  EXPECT_EQ(NewPages(), 1u);
}

TEST_F(PrinterTextStreamTest, EmptyLinesAdvanceByTheCharacterHeight) {
  Open(4800);
  WriteLine("A");
  WriteLine("");
  EXPECT_EQ(Stream().Y(), 52 + 50);
  WriteLine("");
  EXPECT_EQ(Stream().Y(), 52 + 50 + 50);
  Write("B");
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "A"}, {0, 152, "B"}}));
}

TEST_F(PrinterTextStreamTest, AfterAnEmptyLineOnlyBeyondTheBottomStartsAPage) {
  Open(4800, 100);
  WriteLine("");
  WriteLine("");  // Y = 100, not beyond 100
  EXPECT_EQ(NewPages(), 0u);
  EXPECT_EQ(Stream().Y(), 100);
  WriteLine("");  // Y = 150 > 100
  EXPECT_EQ(NewPages(), 1u);
  EXPECT_EQ(Stream().Y(), 0);
  EXPECT_EQ(Printer().PageNumber(), 2);
}

TEST_F(PrinterTextStreamTest, ALineOfHeight50EndingAt2900StaysOnThePage) {
  Open(4800, 3000);
  device_->Settings().CellHeight = 48;  // L = 50
  for (int line = 0; line < 58; ++line) WriteLine("A");
  EXPECT_EQ(Stream().Y(), 2900);  // not above 3000 - 2 x 50
  EXPECT_EQ(NewPages(), 0u);
  WriteLine("A");  // 2950
  EXPECT_EQ(NewPages(), 1u);
  EXPECT_EQ(Stream().Y(), 0);
}

TEST_F(PrinterTextStreamTest, ALineOfHeight50EndingAt2901StartsANewPage) {
  Open(4800, 3000);
  device_->Settings().CellHeight = 49;  // a first line of L = 51
  WriteLine("A");
  device_->Settings().CellHeight = 48;  // then lines of L = 50
  for (int line = 0; line < 56; ++line) WriteLine("A");
  EXPECT_EQ(Stream().Y(), 51 + 56 * 50);  // 2851
  EXPECT_EQ(NewPages(), 0u);
  WriteLine("A");  // 2901 > 2900
  EXPECT_EQ(NewPages(), 1u);
  Write("Z");
  EXPECT_EQ(Texts().back(), (Placed{0, 0, "Z"}));
}

TEST_F(PrinterTextStreamTest, AWideLineBreaksBetweenCharactersNeverInsideOne) {
  Open(300);  // room for 7.5 bytes
  // "ABCDEF日本" is 10 bytes: "本" goes (320 > 300), then "日" (240 fits);
  // a break between bytes would have kept the first half of "日".
  WriteLine("ABCDEF" + Cp932FromUtf8("日本"));
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "ABCDEF"}, {0, 52, Cp932FromUtf8("日本")}}));
}

TEST_F(PrinterTextStreamTest, ALongLineGoesOnOverSeveralLines) {
  Open(200);  // five bytes a line
  WriteLine("ABCDEFGHIJKL");
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "ABCDE"}, {0, 52, "FGHIJ"}, {0, 104, "KL"}}));
}

TEST_F(PrinterTextStreamTest, TextEndingExactlyAtTheRightEdgeStaysOnItsLine) {
  Open(400);
  Write("ABCDEFGHIJ");  // 400 dots: X + width = W
  EXPECT_EQ(Stream().X(), 400);
  EXPECT_EQ(Stream().Y(), 0);
  Write("K");  // nothing fits at X = 400: the text starts the next line
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "ABCDEFGHIJ"}, {0, 52, "K"}}));
}

TEST_F(PrinterTextStreamTest, TabsMoveToTheProgramsStops) {
  Open(4800);
  Write("A\tB");  // X 40 -> 40 + 240 - (281 mod 240) + 1 = 240
  EXPECT_EQ(Stream().X(), 280);
  Write("\tC");   // X 280 -> 280 + 240 - (521 mod 240) + 1 = 480
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "A"}, {240, 0, "B"}, {480, 0, "C"}}));
}

TEST_F(PrinterTextStreamTest, ATabJustBeforeAStopGoesOneStopFurther) {
  Open(4800);
  device_->Settings().ByteWidth = 1;
  Write(std::string(239, 'a') + "\tB");  // X 239 -> 239 + 240 - 0 + 1 = 480
  Close();
  EXPECT_EQ(Texts().back(), (Placed{480, 0, "B"}));
}

TEST_F(PrinterTextStreamTest, ATabPastTheRightEdgeEndsTheLine) {
  Open(300);
  Write("ABCDEF\tG");  // X 240 -> 480 > 300
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "ABCDEF"}, {0, 52, "G"}}));
}

TEST_F(PrinterTextStreamTest, ALongStatementIsPrintedInBufferSizedPiecesOnOneLine) {
  Open(20000);
  WriteLine(std::string(200, 'A'));
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, std::string(128, 'A')},
                                          {128 * 40, 0, std::string(72, 'A')}}));
}

TEST_F(PrinterTextStreamTest, ACharacterSplitByTheBufferIsPrintedWhole) {
  Open(20000);
  const std::string nichi = Cp932FromUtf8("日");
  ASSERT_EQ(nichi.size(), 2u);
  WriteLine(std::string(127, 'A') + nichi + "B");  // the buffer fills after the lead byte
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, std::string(127, 'A')},
                                          {127 * 40, 0, nichi + "B"}}));
}

TEST_F(PrinterTextStreamTest, ACharacterWiderThanThePageIsSkipped) {
  Open(60);  // "A" (40) fits, "日" (80) never does
  WriteLine("A" + Cp932FromUtf8("日") + "B");
  WriteLine(Cp932FromUtf8("日日日"));
  Close();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "A"}, {0, 52, "B"}}));
  EXPECT_EQ(NewPages(), 0u);
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(PrinterTextStreamTest, APageTooNarrowForAnythingEndsAnyway) {
  Open(0, 100);
  for (int line = 0; line < 6; ++line) WriteLine("ABC");
  Close();
  EXPECT_TRUE(Texts().empty());
  // Six lines left empty, 50 each, on a page of 100: Y 50, 100, 150 (new
  // page), 50, 100, 150 (new page).
  EXPECT_EQ(NewPages(), 2u);
}

TEST_F(PrinterTextStreamTest, OpeningWhilePrintingFailsAndLeavesTheFileClosed) {
  device_ = &InstallRecordingPrinter();
  Printer().StartDocument();
  EXPECT_EQ(Utf8MessageOf<EPrinter>([this] { OpenPrinterStream(file_); }), "現在印刷中です");
  EXPECT_EQ(file_.CurrentMode(), TextFile::Mode::Closed);
  Printer().FinishDocument();
}

TEST_F(PrinterTextStreamTest, OpeningWithoutAPrinterFails) {
  SetPrinterDeviceFactory(nullptr);
  EXPECT_EQ(Utf8MessageOf<EPrinter>([this] { OpenPrinterStream(file_); }), "デフォルト プリンタが存在しません");
  EXPECT_EQ(file_.CurrentMode(), TextFile::Mode::Closed);
  device_ = &InstallRecordingPrinter();  // for TearDown
}

TEST_F(PrinterTextStreamTest, AFailedPrintAbandonsTheJobSoTheNextOneWorks) {
  Open(4800);
  device_->FailAt(Kind::Text);
  file_.WriteTextItem("AB");
  EXPECT_THROW(file_.WriteLineEnd(), EPrinter);
  EXPECT_FALSE(Printer().Printing());
  EXPECT_EQ(device_->CallsOf(Kind::Abort).size(), 1u);

  TextFile next;
  OpenPrinterStream(next);
  next.WriteTextItem("CD");
  next.WriteLineEnd();
  next.CloseTextFile();
  CheckIo();
  EXPECT_EQ(Texts(), (std::vector<Placed>{{0, 0, "CD"}}));
  EXPECT_EQ(device_->CallsOf(Kind::End).size(), 1u);
}

TEST_F(PrinterTextStreamTest, AnAbandonedStreamNeverPrintsIntoALaterDocument) {
  Open(4800);
  Printer().AbortDocument();
  Printer().StartDocument();  // someone else's job
  file_.WriteTextItem("AB");
  EXPECT_EQ(Utf8MessageOf<EPrinter>([this] { file_.WriteLineEnd(); }), "プリンタに印刷できる状態ではありません");
  EXPECT_TRUE(Texts().empty());
  EXPECT_TRUE(Printer().Printing());  // the other job goes on
  Printer().FinishDocument();
}

TEST_F(PrinterTextStreamTest, TheGuardAbandonsAPrintoutThatAnErrorEnds) {
  Open(4800);
  try {
    PrinterDocumentGuard guard(Printer());
    WriteLine("AB");
    throw ERangeError();
  } catch (const ERangeError&) {
  }
  EXPECT_FALSE(Printer().Printing());
  EXPECT_EQ(device_->CallsOf(Kind::Abort).size(), 1u);
}

TEST_F(PrinterTextStreamTest, ReadingFindsTheEndAtOnce) {
  device_ = &InstallRecordingPrinter();
  file_.BindDevice(ProgramPrinterStream());
  file_.OpenForReading();
  EXPECT_EQ(file_.ReadLineText(), "");
  EXPECT_EQ(file_.ReadIntegerItem(), 0);
  CheckIo();
  file_.CloseTextFile();
  EXPECT_TRUE(device_->Calls().empty());
}

}  // namespace
}  // namespace cluster
