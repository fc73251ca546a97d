// The printer: the program's one print job at a time, its page and the
// drawing surface of that page.
//
// TPrinter is the single printer object (Printer()), created on first use and
// kept until the program ends. It is idle or printing: StartDocument opens a
// job and page 1, StartNextPage moves to the next page, FinishDocument ends
// the job. TPrinterCanvas draws on the current page in device units (printer
// dots), origin at the top-left corner of the printable area, x to the right,
// y downwards, text placed by the top-left corner of its character cells on
// an opaque white background, lines with a black pen one dot wide.
//
// The real printer is reached through PrinterDevice, a small interface that
// the program installs at start (SetPrinterDeviceFactory; the desktop
// program installs the Qt printer). Tests install a recording device.
//
// Errors are EPrinter with the program's messages. A document that an error
// interrupts can be abandoned with AbortDocument (or PrinterDocumentGuard),
// so that the next print starts cleanly instead of failing with "現在印刷中です".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/errors.h"

namespace cluster {

// A printer failure; the message is one of the four below.
class EPrinter : public Exception {
 public:
  using Exception::Exception;

  // StartDocument while a document is open: "現在印刷中です".
  static EPrinter Busy();
  // FinishDocument, StartNextPage or drawing while idle:
  // "プリンタに印刷できる状態ではありません".
  static EPrinter NotPrinting();
  // No printer installed: "デフォルト プリンタが存在しません".
  static EPrinter NoDefaultPrinter();
  // The printer's device cannot be opened: "選択したプリンタは有効ではありません".
  static EPrinter InvalidPrinter();
};

// What the printer needs of the platform. All sizes and coordinates are
// device units; texts are code page 932. A device may throw EPrinter
// (NoDefaultPrinter when there is no printer at all, InvalidPrinter when the
// chosen one cannot be opened).
class PrinterDevice {
 public:
  virtual ~PrinterDevice() = default;

  // A print job with the given title, and its first page.
  virtual void BeginDocument(const std::string& title) = 0;
  // Ends the current page and starts the next.
  virtual void NewPage() = 0;
  // Ends the last page and the job.
  virtual void EndDocument() = 0;
  // Abandons an unfinished job. Never throws.
  virtual void AbortDocument() noexcept = 0;

  // The printable area and the vertical resolution (dots per inch).
  virtual std::int32_t PageWidth() = 0;
  virtual std::int32_t PageHeight() = 0;
  virtual std::int32_t VerticalDpi() = 0;

  // The font for later measuring and text: a face, and the height of its
  // characters (without internal leading) in device units.
  virtual void SetFont(const std::string& face, std::int32_t charHeight) = 0;
  // Width of a text; height of the full character cell (0 for an empty text).
  virtual std::int32_t TextWidth(std::string_view text) = 0;
  virtual std::int32_t TextHeight(std::string_view text) = 0;
  // The font's average character width.
  virtual std::int32_t AverageCharWidth() = 0;

  // A straight line with the black one-dot pen.
  virtual void DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
  // A text with the top-left corner of its cells at (x, y), on white.
  virtual void DrawText(std::int32_t x, std::int32_t y, std::string_view text) = 0;
};

using PrinterDeviceFactory = std::function<std::unique_ptr<PrinterDevice>()>;

// The face used until one is set: "ＭＳ Ｐゴシック" (code page 932).
const std::string& DefaultPrinterFontFace();

// Character height in device units of a font of `points` at `dpi`:
// points x dpi / 72, rounded to the nearest unit (halves away from zero).
std::int32_t FontCharHeight(std::int32_t points, std::int32_t dpi);

class TPrinter;

// The drawing surface of the printer's current page.
class TPrinterCanvas {
 public:
  void SetFontName(const std::string& face);
  void SetFontSize(std::int32_t points);
  const std::string& FontName() const noexcept { return face_; }
  std::int32_t FontSize() const noexcept { return points_; }

  std::int32_t TextWidthOf(std::string_view text);
  // The full character cell height; the same for every non-empty text.
  std::int32_t TextHeightOf(std::string_view text);
  std::int32_t AverageCharWidth();

  // Sets the pen position; draws nothing, works in either state.
  void MovePenTo(std::int32_t x, std::int32_t y);
  // Draws from the pen position to (x, y), which becomes the pen position.
  void DrawLineTo(std::int32_t x, std::int32_t y);
  // Draws a text at (x, y); the pen ends at (x + its width, y).
  void DrawTextAt(std::int32_t x, std::int32_t y, std::string_view text);

  std::int32_t PenX() const noexcept { return penX_; }
  std::int32_t PenY() const noexcept { return penY_; }

 private:
  friend class TPrinter;
  explicit TPrinterCanvas(TPrinter& printer);
  // Hands the font to the device at the device's present resolution.
  void ApplyFont();

  TPrinter& printer_;
  std::string face_;
  std::int32_t points_ = 10;
  bool fontApplied_ = false;
  std::int32_t penX_ = 0;
  std::int32_t penY_ = 0;
};

class TPrinter {
 public:
  explicit TPrinter(std::unique_ptr<PrinterDevice> device);
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // Opens a job with an empty title and starts page 1. EPrinter::Busy while
  // printing.
  void StartDocument();
  // Ends the page and the job. EPrinter::NotPrinting while idle.
  void FinishDocument();
  // Ends the page and starts the next; the canvas keeps its font and pen.
  void StartNextPage();
  // Abandons an unfinished job and returns to idle; nothing while idle.
  void AbortDocument() noexcept;

  bool Printing() const noexcept { return printing_; }
  // 1 on the first page, 0 while idle.
  std::int32_t PageNumber() const noexcept { return pageNumber_; }
  // The document's title: empty, since StartDocument gives none.
  const std::string& Title() const noexcept { return title_; }
  // Counts the documents started; tells one job from the next.
  std::uint64_t DocumentSerial() const noexcept { return documentSerial_; }

  std::int32_t PageWidth();
  std::int32_t PageHeight();
  TPrinterCanvas& Canvas() noexcept { return canvas_; }
  PrinterDevice& Device() noexcept { return *device_; }

  // EPrinter::NotPrinting unless a document is open.
  void RequirePrinting() const;

 private:
  std::unique_ptr<PrinterDevice> device_;
  TPrinterCanvas canvas_;
  std::string title_;
  bool printing_ = false;
  std::int32_t pageNumber_ = 0;
  std::uint64_t documentSerial_ = 0;
};

// Draws a whole document on a printer: what a print preview shows of the
// page about to print, drawn on the preview's printer by the same code.
using PagePainter = std::function<void(TPrinter& printer)>;

// The program's printer, created through the installed factory on first
// use. Without a factory: EPrinter::NoDefaultPrinter.
TPrinter& Printer();

// Installs the device factory. A printer created earlier is discarded (it
// must be idle), so that the next Printer() uses the new device; the program
// calls this once at start, tests before each case.
void SetPrinterDeviceFactory(PrinterDeviceFactory factory);

// Abandons the document that was open when the guard was made, if that very
// document is still open when the guard goes out of scope: a print operation
// that an error ends leaves the printer idle, and the error goes on.
class PrinterDocumentGuard {
 public:
  explicit PrinterDocumentGuard(TPrinter& printer) noexcept;
  ~PrinterDocumentGuard();
  PrinterDocumentGuard(const PrinterDocumentGuard&) = delete;
  PrinterDocumentGuard& operator=(const PrinterDocumentGuard&) = delete;
  // The operation succeeded with the document still open: leave it open.
  void Dismiss() noexcept { armed_ = false; }

 private:
  TPrinter& printer_;
  std::uint64_t serial_;
  bool armed_;
};

}  // namespace cluster
