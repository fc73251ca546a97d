#include "platform/picture_printer_device.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>
#include <algorithm>

#include "platform/qt_text.h"

namespace cluster {

namespace {

// Pixels for the screen formats, dots for PDF.
constexpr int kScreenDpi = 96;
constexpr int kPdfDpi = 300;
// A4 is 8.27 inches wide.
constexpr double kPageWidthInches = 210.0 / 25.4;
// Room left below and right of the drawing, in character heights.
constexpr int kMarginInCharHeights = 1;

int DotsPerMeter(int dpi) { return static_cast<int>(dpi / 0.0254 + 0.5); }

QString EscapeXml(const QString& text) { return text.toHtmlEscaped(); }

}  // namespace

std::optional<PictureFormat> PicturePrinterDevice::FormatOf(const QString& path) {
  const QString lower = path.toLower();
  if (lower.endsWith(QStringLiteral(".pdf"))) return PictureFormat::Pdf;
  if (lower.endsWith(QStringLiteral(".svg"))) return PictureFormat::Svg;
  if (lower.endsWith(QStringLiteral(".png"))) return PictureFormat::Png;
  return std::nullopt;
}

PicturePrinterDevice::PicturePrinterDevice(const QString& path)
    : path_(path), format_(FormatOf(path).value_or(PictureFormat::Png)) {
  dpi_ = format_ == PictureFormat::Pdf ? kPdfDpi : kScreenDpi;
  // Measures are taken on an image of the page's resolution, so that they
  // match what is drawn.
  measuringDevice_ = std::make_unique<QImage>(1, 1, QImage::Format_RGB32);
  measuringDevice_->setDotsPerMeterX(DotsPerMeter(dpi_));
  measuringDevice_->setDotsPerMeterY(DotsPerMeter(dpi_));
  SetFont(DefaultPrinterFontFace(), 1);
}

PicturePrinterDevice::~PicturePrinterDevice() = default;

void PicturePrinterDevice::BeginDocument(const std::string&) {
  items_.clear();
  open_ = true;
}

// One tall page: a new page just goes on below.
void PicturePrinterDevice::NewPage() {}

void PicturePrinterDevice::AbortDocument() noexcept {
  items_.clear();
  open_ = false;
}

std::int32_t PicturePrinterDevice::PageWidth() {
  return static_cast<std::int32_t>(kPageWidthInches * dpi_);
}

// The page grows with the drawing; to the layout it is as tall as it gets.
std::int32_t PicturePrinterDevice::PageHeight() { return 2147483647 / 2; }

std::int32_t PicturePrinterDevice::VerticalDpi() { return dpi_; }

void PicturePrinterDevice::SetFont(const std::string& face, std::int32_t charHeight) {
  QFont font(QStringFromCp932(face));
  font.setPixelSize(std::clamp(charHeight, 1, 32767));
  font.setKerning(false);
  font_ = font;
  metrics_.reset();
}

const QFontMetrics& PicturePrinterDevice::Metrics() {
  if (!metrics_) metrics_ = std::make_unique<QFontMetrics>(font_, measuringDevice_.get());
  return *metrics_;
}

std::int32_t PicturePrinterDevice::TextWidth(std::string_view text) {
  return text.empty() ? 0 : Metrics().horizontalAdvance(QStringFromCp932(text));
}

std::int32_t PicturePrinterDevice::TextHeight(std::string_view text) {
  return text.empty() ? 0 : Metrics().height();
}

std::int32_t PicturePrinterDevice::AverageCharWidth() { return Metrics().averageCharWidth(); }

void PicturePrinterDevice::DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                    std::int32_t y2) {
  items_.push_back(Item{false, x1, y1, x2, y2, 0, QFont(), QString()});
}

void PicturePrinterDevice::DrawText(std::int32_t x, std::int32_t y, std::string_view text) {
  const QString unicode = QStringFromCp932(text);
  const QFontMetrics& metrics = Metrics();
  items_.push_back(Item{true, x, y, x + metrics.horizontalAdvance(unicode), y + metrics.height(),
                        metrics.ascent(), font_, unicode});
}

void PicturePrinterDevice::EndDocument() {
  if (!open_) return;
  open_ = false;
  int bottom = 0;
  int right = PageWidth();
  for (const Item& item : items_) {
    bottom = std::max({bottom, item.y1, item.y2});
    right = std::max({right, item.x1, item.x2});
  }
  const int margin = Metrics().height() * kMarginInCharHeights;
  const int width = right + margin;
  const int height = bottom + margin;
  switch (format_) {
    case PictureFormat::Pdf: WritePdf(width, height); break;
    case PictureFormat::Svg: WriteSvg(width, height); break;
    case PictureFormat::Png: WritePng(width, height); break;
  }
  writtenWidth_ = width;
  writtenHeight_ = height;
  items_.clear();
}

void PicturePrinterDevice::Paint(QPainter& painter) const {
  painter.setPen(QPen(Qt::black, 1));
  painter.setBackground(Qt::white);
  painter.setBackgroundMode(Qt::OpaqueMode);
  for (const Item& item : items_) {
    if (item.isText) {
      painter.setFont(item.font);
      painter.drawText(item.x1, item.y1 + item.ascent, item.text);
    } else {
      painter.drawLine(item.x1, item.y1, item.x2, item.y2);
    }
  }
}

void PicturePrinterDevice::WritePdf(int width, int height) const {
  QPdfWriter writer(path_);
  writer.setResolution(dpi_);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setPageSize(QPageSize(QSizeF(width * 72.0 / dpi_, height * 72.0 / dpi_), QPageSize::Point,
                               QString(), QPageSize::ExactMatch));
  QPainter painter;
  if (!painter.begin(&writer)) throw EPrinter::InvalidPrinter();
  Paint(painter);
  painter.end();
}

void PicturePrinterDevice::WritePng(int width, int height) const {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) throw EPrinter::InvalidPrinter();
  image.setDotsPerMeterX(DotsPerMeter(dpi_));
  image.setDotsPerMeterY(DotsPerMeter(dpi_));
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter);
  painter.end();
  if (!image.save(path_, "PNG")) throw EPrinter::InvalidPrinter();
}

void PicturePrinterDevice::WriteSvg(int width, int height) const {
  QFile file(path_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw EPrinter::InvalidPrinter();
  QTextStream out(&file);
  out.setEncoding(QStringConverter::Utf8);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<g stroke=\"black\" stroke-width=\"1\" shape-rendering=\"crispEdges\">\n";
  for (const Item& item : items_) {
    if (item.isText) continue;
    out << "<line x1=\"" << item.x1 << "\" y1=\"" << item.y1 << "\" x2=\"" << item.x2 << "\" y2=\""
        << item.y2 << "\"/>\n";
  }
  out << "</g>\n";
  for (const Item& item : items_) {
    if (!item.isText) continue;
    // The cell's white background, then the text on its baseline.
    out << "<rect x=\"" << item.x1 << "\" y=\"" << item.y1 << "\" width=\"" << (item.x2 - item.x1)
        << "\" height=\"" << (item.y2 - item.y1) << "\" fill=\"white\"/>\n"
        << "<text x=\"" << item.x1 << "\" y=\"" << (item.y1 + item.ascent) << "\" font-family=\""
        << EscapeXml(QFontInfo(item.font).family()) << "\" font-size=\"" << item.font.pixelSize()
        << "\">" << EscapeXml(item.text) << "</text>\n";
  }
  out << "</svg>\n";
  out.flush();
  if (out.status() != QTextStream::Ok || !file.flush()) throw EPrinter::InvalidPrinter();
}

}  // namespace cluster
