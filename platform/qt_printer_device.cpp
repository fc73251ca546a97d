#include "platform/qt_printer_device.h"

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/printer_font.h"
#include "platform/qt_text.h"

namespace cluster {

QtPrinterDevice::QtPrinterDevice()
    : owned_(std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution)),
      printer_(owned_.get()) {
  SetFont(DefaultPrinterFontFace(), 1);
}

QtPrinterDevice::QtPrinterDevice(const QString& pdfPath)
    : owned_(std::make_unique<QPrinter>(QPrinter::HighResolution)), printer_(owned_.get()) {
  printer_->setOutputFormat(QPrinter::PdfFormat);
  printer_->setOutputFileName(pdfPath);
  SetFont(DefaultPrinterFontFace(), 1);
}

QtPrinterDevice::~QtPrinterDevice() {
  if (painter_ && painter_->isActive()) AbortDocument();
}

QtPrinterDevice::QtPrinterDevice(QPrinter& borrowed) : printer_(&borrowed), borrowed_(true) {
  SetFont(DefaultPrinterFontFace(), 1);
}

void QtPrinterDevice::RequirePrinter() const {
  if (borrowed_) return;
  if (printer_->outputFormat() == QPrinter::PdfFormat) {
    // Without any installed printer Qt falls back to a PDF printer with no
    // file: that is no printer at all, unless the user chose a file.
    if (printer_->outputFileName().isEmpty()) throw EPrinter::NoDefaultPrinter();
    return;
  }
  if (printer_->printerName().isEmpty()) throw EPrinter::NoDefaultPrinter();
  if (!printer_->isValid()) throw EPrinter::InvalidPrinter();
}

QPainter& QtPrinterDevice::ActivePainter() {
  if (!painter_ || !painter_->isActive()) throw EPrinter::NotPrinting();
  return *painter_;
}

const QFontMetrics& QtPrinterDevice::Metrics() {
  if (!metrics_) {
    RequirePrinter();
    metrics_ = std::make_unique<QFontMetrics>(font_, printer_);
  }
  return *metrics_;
}

void QtPrinterDevice::BeginDocument(const std::string& title) {
  RequirePrinter();
  printer_->setDocName(QStringFromCp932(title));
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(printer_)) throw EPrinter::InvalidPrinter();
  QPen pen(Qt::black);
  pen.setWidth(1);
  pen.setStyle(Qt::SolidLine);
  pen.setCosmetic(false);
  painter->setPen(pen);
  painter->setBrush(QBrush(Qt::white));
  painter->setBackground(QBrush(Qt::white));
  painter->setBackgroundMode(Qt::OpaqueMode);
  painter->setFont(font_);
  painter_ = std::move(painter);
  metrics_.reset();  // the printer may be another one than when last measured
}

void QtPrinterDevice::NewPage() {
  ActivePainter();
  if (!printer_->newPage()) throw EPrinter::InvalidPrinter();
}

void QtPrinterDevice::EndDocument() {
  QPainter& painter = ActivePainter();
  const bool ended = painter.end();
  painter_.reset();
  if (!ended) throw EPrinter::InvalidPrinter();
}

void QtPrinterDevice::AbortDocument() noexcept {
  if (!painter_) return;
  if (painter_->isActive()) {
    printer_->abort();
    painter_->end();
  }
  painter_.reset();
}

std::int32_t QtPrinterDevice::PageWidth() {
  RequirePrinter();
  return printer_->width();
}

std::int32_t QtPrinterDevice::PageHeight() {
  RequirePrinter();
  return printer_->height();
}

std::int32_t QtPrinterDevice::VerticalDpi() {
  RequirePrinter();
  return printer_->logicalDpiY();
}

void QtPrinterDevice::SetFont(const std::string& face, std::int32_t charHeight) {
  font_ = MakePrinterFont(face, charHeight);
  metrics_.reset();
  if (painter_ && painter_->isActive()) painter_->setFont(font_);
}

// An empty text measures 0 even without a printer: it is answered before
// the metrics, which need one.
std::int32_t QtPrinterDevice::TextWidth(std::string_view text) {
  if (text.empty()) return 0;
  return PrinterTextWidth(Metrics(), text);
}

std::int32_t QtPrinterDevice::TextHeight(std::string_view text) {
  if (text.empty()) return 0;
  return PrinterTextHeight(Metrics(), text);
}

std::int32_t QtPrinterDevice::AverageCharWidth() { return Metrics().averageCharWidth(); }

void QtPrinterDevice::DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                               std::int32_t y2) {
  ActivePainter().drawLine(x1, y1, x2, y2);
}

void QtPrinterDevice::DrawText(std::int32_t x, std::int32_t y, std::string_view text) {
  QPainter& painter = ActivePainter();
  // Qt places text by its baseline; the program by the top of the cell. The
  // opaque background mode paints the cell white first.
  painter.drawText(x, y + Metrics().ascent(), QStringFromCp932(text));
}

}  // namespace cluster
