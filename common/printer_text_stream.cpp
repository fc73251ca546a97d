#include "common/printer_text_stream.h"

#include "common/codepage.h"

namespace cluster {

namespace {

constexpr char kTab = 9;
constexpr char kLineFeed = 10;
constexpr char kFormFeed = 12;
constexpr char kCarriageReturn = 13;

bool IsLayoutControl(char byte) {
  return byte == kTab || byte == kLineFeed || byte == kFormFeed || byte == kCarriageReturn;
}

// A byte that can follow a lead byte as the second half of a character.
bool IsTrailByte(unsigned char byte) { return byte >= 0x40 && byte != 0x7F && byte <= 0xFC; }

// Length of the character at text[pos], counting a lead byte whose follower
// is no second half (a control byte, say) as a character of its own.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  if (CharLengthAt(text, pos) == 2 && IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
    return 2;
  }
  return 1;
}

// Start of the last character of a non-empty text.
std::size_t LastCharStart(std::string_view text) {
  std::size_t pos = 0;
  std::size_t last = 0;
  while (pos < text.size()) {
    last = pos;
    pos += CharLength(text, pos);
  }
  return last;
}

}  // namespace

void PrinterTextStream::OpenDevice() {
  TPrinter& printer = fixedPrinter_ != nullptr ? *fixedPrinter_ : Printer();
  printer.StartDocument();
  printer_ = &printer;
  document_ = printer.DocumentSerial();
  pendingLead_.clear();
  x_ = 0;
  y_ = 0;
  lineHeight_ = 0;
  PrinterDocumentGuard guard(printer);
  width_ = printer.PageWidth();
  height_ = printer.PageHeight();
  guard.Dismiss();
}

void PrinterTextStream::RequireOwnDocument() const {
  // A stream whose document was abandoned must not print into a later one.
  if (printer_ == nullptr || !printer_->Printing() || printer_->DocumentSerial() != document_) {
    throw EPrinter::NotPrinting();
  }
}

void PrinterTextStream::HandOver(std::string_view bytes) {
  RequireOwnDocument();
  // An error ends the printout: the job is abandoned rather than left open.
  PrinterDocumentGuard guard(*printer_);
  std::string joined;
  if (!pendingLead_.empty()) {
    joined = pendingLead_ + std::string(bytes);
    pendingLead_.clear();
    bytes = joined;
  }
  if (!bytes.empty() && IsLeadByte(static_cast<unsigned char>(bytes.back())) &&
      LastCharStart(bytes) == bytes.size() - 1) {
    // The first half of a character whose second half comes with the next
    // run: held back so that the character is printed whole.
    pendingLead_.assign(1, bytes.back());
    bytes.remove_suffix(1);
  }
  Layout(bytes);
  guard.Dismiss();
}

void PrinterTextStream::CloseDevice() {
  RequireOwnDocument();
  TPrinter& printer = *printer_;
  PrinterDocumentGuard guard(printer);
  const std::string rest = std::move(pendingLead_);
  pendingLead_.clear();
  Layout(rest);
  printer_ = nullptr;
  printer.FinishDocument();
}

void PrinterTextStream::Layout(std::string_view bytes) {
  std::size_t start = 0;  // start of the text collected so far
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const char byte = bytes[pos];
    if (!IsLayoutControl(byte)) {
      pos += CharLength(bytes, pos);
      continue;
    }
    PrintText(bytes.substr(start, pos - start));
    switch (byte) {
      case kTab: Tab(); break;
      case kLineFeed: NewLine(); break;
      case kFormFeed: NewPage(); break;
      default: break;  // CR moves nothing
    }
    ++pos;
    start = pos;
  }
  PrintText(bytes.substr(start));
}

void PrinterTextStream::PrintText(std::string_view text) {
  TPrinterCanvas& canvas = printer_->Canvas();
  while (!text.empty()) {
    std::string_view kept = text;
    std::int32_t keptWidth = canvas.TextWidthOf(kept);
    while (!kept.empty() && static_cast<std::int64_t>(x_) + keptWidth > width_) {
      kept = kept.substr(0, LastCharStart(kept));
      keptWidth = canvas.TextWidthOf(kept);
    }
    if (kept.empty() && x_ == 0) {
      // Not even one character fits on an empty line: it never will, so it
      // is skipped instead of starting line after line for it.
      text.remove_prefix(CharLength(text, 0));
      continue;
    }
    const std::int32_t keptHeight = canvas.TextHeightOf(kept);
    if (keptHeight > lineHeight_) lineHeight_ = keptHeight + 2;
    if (!kept.empty()) canvas.DrawTextAt(x_, y_, kept);
    text.remove_prefix(kept.size());
    if (!text.empty()) {
      NewLine();
    } else {
      x_ += keptWidth;
    }
  }
}

void PrinterTextStream::Tab() {
  const std::int32_t step = 8 * printer_->Canvas().AverageCharWidth();
  // A font without width has no tab stops; the tab then moves nothing.
  if (step <= 0) return;
  // The tab stop is the first multiple of the step beyond X + 1: the next
  // stop, or the one after it when X lies one dot before a stop. Printed
  // listings place their columns by this rule, so it is kept exactly.
  x_ = x_ + step - ((x_ + step + 1) % step) + 1;
  if (x_ > width_) NewLine();
}

void PrinterTextStream::NewLine() {
  x_ = 0;
  if (lineHeight_ == 0) {
    y_ += printer_->Canvas().TextHeightOf("X");
  } else {
    y_ += lineHeight_;
  }
  if (static_cast<std::int64_t>(y_) > static_cast<std::int64_t>(height_) - 2 * lineHeight_) {
    NewPage();
  }
  lineHeight_ = 0;
}

void PrinterTextStream::NewPage() {
  x_ = 0;
  y_ = 0;
  printer_->StartNextPage();
}

PrinterTextStream& ProgramPrinterStream() {
  static PrinterTextStream stream;
  return stream;
}

void OpenPrinterStream(TextFile& file) {
  file.BindDevice(ProgramPrinterStream());
  file.OpenForWriting();
}

}  // namespace cluster
