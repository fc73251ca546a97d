// The printer text stream: a TextFile whose lines are laid out on printer
// pages instead of written to a file.
//
// Use:
//   TextFile out;
//   OpenPrinterStream(out);   CheckIo();   // StartDocument; page 1
//   PrinterDocumentGuard guard(Printer());  // abandons the job if an error leaves
//   Printer().Canvas().SetFontName(...); ... SetFontSize(...);
//   out.WriteTextItem(...); out.WriteLineEnd(); CheckIo();   ...
//   out.CloseTextFile(); CheckIo();         // FinishDocument
//
// Every finished write statement, every full 128-byte buffer and the close
// hand their bytes to the layout, which prints them from the top-left corner
// of the page in the canvas's current font:
//   - ordinary bytes are collected and printed as one piece of text; a piece
//     too wide for the rest of the line breaks between characters, never
//     inside a double-byte character (one split across two hand-overs is
//     held back until its second byte arrives);
//   - tab (9) moves to the next tab stop (every 8 average character widths;
//     from one dot before a stop, to the stop after it) and ends the line
//     past the right edge; LF (10) ends the line; form feed (12) starts a
//     new page; CR (13) does nothing;
//   - a line with text advances by the text's height + 2, an empty one by the
//     font's character height; a new page starts when the next line would
//     begin lower than two heights of the line just ended above the bottom;
//   - a character wider than the whole page is skipped.
// Reading from the stream finds the end at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/printer.h"
#include "common/text_file.h"

namespace cluster {

// The page layout behind the stream; one per printer. Its state is public
// for the program's tests and for nobody else to change.
class PrinterTextStream : public TextDevice {
 public:
  // A stream on whichever printer Printer() gives when it is opened.
  PrinterTextStream() = default;
  // A stream on a given printer.
  explicit PrinterTextStream(TPrinter& printer) : fixedPrinter_(&printer) {}

  // TextDevice: OpenDevice starts the document and takes the page size.
  void OpenDevice() override;
  void HandOver(std::string_view bytes) override;
  // Prints what is left and finishes the document.
  void CloseDevice() override;

  // Layout state, device units.
  std::int32_t X() const noexcept { return x_; }
  std::int32_t Y() const noexcept { return y_; }
  std::int32_t PageWidth() const noexcept { return width_; }
  std::int32_t PageHeight() const noexcept { return height_; }
  std::int32_t LineHeight() const noexcept { return lineHeight_; }

 private:
  void RequireOwnDocument() const;
  void Layout(std::string_view bytes);
  void PrintText(std::string_view text);
  void Tab();
  void NewLine();
  void NewPage();

  TPrinter* fixedPrinter_ = nullptr;
  TPrinter* printer_ = nullptr;  // the printer of the open document
  std::uint64_t document_ = 0;    // and that document's serial
  std::int32_t x_ = 0;
  std::int32_t y_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t lineHeight_ = 0;
  // A lead byte that ended the last hand-over, waiting for its second byte.
  std::string pendingLead_;
};

// The stream of the program's printer (Printer()).
PrinterTextStream& ProgramPrinterStream();

// Binds `file` to the printer text stream and opens it for writing, which
// starts a document on Printer(). Printer errors (EPrinter) are raised here.
void OpenPrinterStream(TextFile& file);

}  // namespace cluster
