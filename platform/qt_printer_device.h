// The real printer: the program's PrinterDevice over Qt's QPrinter and
// QPainter.
//
// Device units are the printer's dots (QPrinter::HighResolution: the
// printer's own resolution, 1200 dpi for a PDF file); the origin is the
// top-left corner of the printable area. Fonts and the measures of texts
// are those of platform/printer_font.h: a character height is a Qt pixel
// size, and a text's height is the full character cell (ascent + descent).
// Texts arrive in code page 932 and reach Qt as Unicode. The Windows face
// names the program uses are mapped to installed faces by the substitutions
// of InstallPrinterFontSubstitutions().
//
// The printer is the system's default (CUPS) printer, or whatever the user
// picked in the print dialog, Qt's "print to file" PDF included; it can also
// be a PDF file from the start (tests, benchmarks). When there is no printer
// at all, the first operation that needs one raises "デフォルト プリンタが存在
// しません"; a printer that cannot be opened raises "選択したプリンタは有効では
// ありません".
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <memory>

#include "common/printer.h"

class QPainter;
class QPrinter;

namespace cluster {

class QtPrinterDevice : public PrinterDevice {
 public:
  // The system's default printer (QPrinterInfo::defaultPrinter()).
  QtPrinterDevice();
  // A PDF file at this path instead of a printer.
  explicit QtPrinterDevice(const QString& pdfPath);
  // A printer the device does not own and draws on as it is: a print
  // preview's, which needs no installed printer.
  explicit QtPrinterDevice(QPrinter& borrowed);
  ~QtPrinterDevice() override;

  // The Qt printer behind the device, for the print dialog.
  QPrinter& QtPrinter() { return *printer_; }

  void BeginDocument(const std::string& title) override;
  void NewPage() override;
  void EndDocument() override;
  void AbortDocument() noexcept override;
  std::int32_t PageWidth() override;
  std::int32_t PageHeight() override;
  std::int32_t VerticalDpi() override;
  void SetFont(const std::string& face, std::int32_t charHeight) override;
  std::int32_t TextWidth(std::string_view text) override;
  std::int32_t TextHeight(std::string_view text) override;
  std::int32_t AverageCharWidth() override;
  void DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
  void DrawText(std::int32_t x, std::int32_t y, std::string_view text) override;

 private:
  // EPrinter unless there is a printer that can be used.
  void RequirePrinter() const;
  QPainter& ActivePainter();
  // Metrics of the current font on this printer, made when first needed.
  const QFontMetrics& Metrics();

  std::unique_ptr<QPrinter> owned_;
  QPrinter* printer_;
  bool borrowed_ = false;
  std::unique_ptr<QPainter> painter_;
  QFont font_;
  std::unique_ptr<QFontMetrics> metrics_;
};

}  // namespace cluster
