#include "common/printer.h"

#include <utility>

#include "common/codepage.h"

namespace cluster {

EPrinter EPrinter::Busy() { return EPrinter(Cp932FromUtf8("現在印刷中です")); }
EPrinter EPrinter::NotPrinting() {
  return EPrinter(Cp932FromUtf8("プリンタに印刷できる状態ではありません"));
}
EPrinter EPrinter::NoDefaultPrinter() {
  return EPrinter(Cp932FromUtf8("デフォルト プリンタが存在しません"));
}
EPrinter EPrinter::InvalidPrinter() {
  return EPrinter(Cp932FromUtf8("選択したプリンタは有効ではありません"));
}

const std::string& DefaultPrinterFontFace() {
  static const std::string face = Cp932FromUtf8("ＭＳ Ｐゴシック");
  return face;
}

std::int32_t FontCharHeight(std::int32_t points, std::int32_t dpi) {
  const std::int64_t product = static_cast<std::int64_t>(points) * dpi;
  std::int64_t quotient = product / 72;
  const std::int64_t remainder = product % 72;
  if (2 * remainder >= 72) ++quotient;
  if (2 * remainder <= -72) --quotient;
  // Sizes are taken unchecked; a height beyond 32 bits is cut to the range.
  if (quotient > INT32_MAX) return INT32_MAX;
  if (quotient < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(quotient);
}

// --- Canvas -----------------------------------------------------------------

TPrinterCanvas::TPrinterCanvas(TPrinter& printer)
    : printer_(printer), face_(DefaultPrinterFontFace()) {}

void TPrinterCanvas::ApplyFont() {
  PrinterDevice& device = printer_.Device();
  device.SetFont(face_, FontCharHeight(points_, device.VerticalDpi()));
  fontApplied_ = true;
}

void TPrinterCanvas::SetFontName(const std::string& face) {
  face_ = face;
  ApplyFont();
}

void TPrinterCanvas::SetFontSize(std::int32_t points) {
  points_ = points;
  ApplyFont();
}

std::int32_t TPrinterCanvas::TextWidthOf(std::string_view text) {
  if (!fontApplied_) ApplyFont();
  return printer_.Device().TextWidth(text);
}

std::int32_t TPrinterCanvas::TextHeightOf(std::string_view text) {
  if (!fontApplied_) ApplyFont();
  return printer_.Device().TextHeight(text);
}

std::int32_t TPrinterCanvas::AverageCharWidth() {
  if (!fontApplied_) ApplyFont();
  return printer_.Device().AverageCharWidth();
}

void TPrinterCanvas::MovePenTo(std::int32_t x, std::int32_t y) {
  penX_ = x;
  penY_ = y;
}

void TPrinterCanvas::DrawLineTo(std::int32_t x, std::int32_t y) {
  printer_.RequirePrinting();
  printer_.Device().DrawLine(penX_, penY_, x, y);
  penX_ = x;
  penY_ = y;
}

void TPrinterCanvas::DrawTextAt(std::int32_t x, std::int32_t y, std::string_view text) {
  printer_.RequirePrinting();
  if (!fontApplied_) ApplyFont();
  PrinterDevice& device = printer_.Device();
  device.DrawText(x, y, text);
  // Wraps like the 32-bit coordinates it stands for, instead of overflowing.
  penX_ = static_cast<std::int32_t>(static_cast<std::int64_t>(x) + device.TextWidth(text));
  penY_ = y;
}

// --- Printer ----------------------------------------------------------------

TPrinter::TPrinter(std::unique_ptr<PrinterDevice> device)
    : device_(std::move(device)), canvas_(*this) {}

void TPrinter::RequirePrinting() const {
  if (!printing_) throw EPrinter::NotPrinting();
}

void TPrinter::StartDocument() {
  if (printing_) throw EPrinter::Busy();
  device_->BeginDocument(title_);
  printing_ = true;
  pageNumber_ = 1;
  ++documentSerial_;
  canvas_.penX_ = 0;
  canvas_.penY_ = 0;
  try {
    // The printer may have changed since the font was last set (the print
    // dialog): the size is converted again at this printer's resolution.
    canvas_.ApplyFont();
  } catch (...) {
    AbortDocument();
    throw;
  }
}

void TPrinter::FinishDocument() {
  RequirePrinting();
  try {
    device_->EndDocument();
  } catch (...) {
    AbortDocument();
    throw;
  }
  printing_ = false;
  pageNumber_ = 0;
}

void TPrinter::StartNextPage() {
  RequirePrinting();
  device_->NewPage();
  ++pageNumber_;
}

void TPrinter::AbortDocument() noexcept {
  if (!printing_) return;
  device_->AbortDocument();
  printing_ = false;
  pageNumber_ = 0;
}

std::int32_t TPrinter::PageWidth() { return device_->PageWidth(); }
std::int32_t TPrinter::PageHeight() { return device_->PageHeight(); }

// --- The program's printer --------------------------------------------------

namespace {

struct PrinterSlot {
  PrinterDeviceFactory factory;
  std::unique_ptr<TPrinter> printer;
};

PrinterSlot& Slot() {
  static PrinterSlot slot;
  return slot;
}

}  // namespace

TPrinter& Printer() {
  PrinterSlot& slot = Slot();
  if (!slot.printer) {
    if (!slot.factory) throw EPrinter::NoDefaultPrinter();
    std::unique_ptr<PrinterDevice> device = slot.factory();
    if (!device) throw EPrinter::NoDefaultPrinter();
    slot.printer = std::make_unique<TPrinter>(std::move(device));
  }
  return *slot.printer;
}

void SetPrinterDeviceFactory(PrinterDeviceFactory factory) {
  PrinterSlot& slot = Slot();
  if (slot.printer) slot.printer->AbortDocument();
  slot.printer.reset();
  slot.factory = std::move(factory);
}

// --- Guard ------------------------------------------------------------------

PrinterDocumentGuard::PrinterDocumentGuard(TPrinter& printer) noexcept
    : printer_(printer), serial_(printer.DocumentSerial()), armed_(printer.Printing()) {}

PrinterDocumentGuard::~PrinterDocumentGuard() {
  if (armed_ && printer_.Printing() && printer_.DocumentSerial() == serial_) {
    printer_.AbortDocument();
  }
}

}  // namespace cluster
