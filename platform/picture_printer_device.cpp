#include "platform/picture_printer_device.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>
#include <algorithm>
#include <string>

#include "platform/printer_font.h"
#include "common/codepage.h"
#include "platform/qt_text.h"

namespace cluster {

namespace {

// Pixels for the screen formats, dots for PDF.
constexpr int kScreenDpi = 96;
constexpr int kPdfDpi = 300;
// Room left around the drawing, in character heights.
constexpr int kMarginInCharHeights = 1;

int DotsPerMeter(int dpi) { return static_cast<int>(dpi / 0.0254 + 0.5); }

QString EscapeXml(const QString& text) { return text.toHtmlEscaped(); }

std::string TooLargeForScreenFormats(int width, int height) {
  return "the picture would be " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, and PNG and SVG pictures are kept within " +
         std::to_string(PicturePrinterDevice::kLargestScreenSide) +
         " pixels a side; draw it as a PDF (--plot NAME.pdf), which splits a tall tree into pages";
}

// A text as it arrives: UTF-8 when it is valid UTF-8, code page 932
// otherwise (the plot's own texts are code page 932, which Japanese text
// almost never is valid UTF-8 as; a label may be either).
QString UnicodeOf(std::string_view text) {
  if (IsValidUtf8(text)) return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return QStringFromCp932(text);
}

}  // namespace

std::optional<PictureFormat> PicturePrinterDevice::FormatOf(const QString& path) {
  const QString lower = path.toLower();
  if (lower.endsWith(QStringLiteral(".pdf"))) return PictureFormat::Pdf;
  if (lower.endsWith(QStringLiteral(".svg"))) return PictureFormat::Svg;
  if (lower.endsWith(QStringLiteral(".png"))) return PictureFormat::Png;
  return std::nullopt;
}

PicturePrinterDevice::PicturePrinterDevice(PictureFormat format) : format_(format) {
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

void PicturePrinterDevice::EndDocument() {
  if (!open_) return;
  open_ = false;
  finished_ = std::move(items_);
  items_.clear();
}

void PicturePrinterDevice::AbortDocument() noexcept {
  items_.clear();
  open_ = false;
}

std::int32_t PicturePrinterDevice::PageWidth() {
  return static_cast<std::int32_t>(kA4WidthInches * dpi_);
}

// The page grows with the drawing; to the layout it is as tall as it gets.
std::int32_t PicturePrinterDevice::PageHeight() { return 2147483647 / 2; }

std::int32_t PicturePrinterDevice::VerticalDpi() { return dpi_; }

void PicturePrinterDevice::SetFont(const std::string& face, std::int32_t charHeight) {
  font_ = MakePrinterFont(face, charHeight);
  metrics_.reset();
}

const QFontMetrics& PicturePrinterDevice::Metrics() {
  if (!metrics_) metrics_ = std::make_unique<QFontMetrics>(font_, measuringDevice_.get());
  return *metrics_;
}

std::int32_t PicturePrinterDevice::TextWidth(std::string_view text) {
  return text.empty() ? 0 : Metrics().horizontalAdvance(UnicodeOf(text));
}

std::int32_t PicturePrinterDevice::TextHeight(std::string_view text) {
  return PrinterTextHeight(Metrics(), text);
}

std::int32_t PicturePrinterDevice::AverageCharWidth() { return Metrics().averageCharWidth(); }

void PicturePrinterDevice::DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                    std::int32_t y2) {
  Line(x1, y1, x2, y2, LineStyle{});
}

void PicturePrinterDevice::DrawText(std::int32_t x, std::int32_t y, std::string_view text) {
  Text(x, y, text, kBlack, false);
  items_.back().opaque = true;
}

void PicturePrinterDevice::SetFontPoints(std::int32_t points) {
  SetFont(DefaultPrinterFontFace(), FontCharHeight(points, dpi_));
}

std::int32_t PicturePrinterDevice::TextHeight() { return Metrics().height(); }

void PicturePrinterDevice::Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                const LineStyle& style) {
  Item item;
  item.x1 = x1;
  item.y1 = y1;
  item.x2 = x2;
  item.y2 = y2;
  item.colour = style.colour;
  item.width = std::max(1, style.width);
  item.dashed = style.dashed;
  items_.push_back(item);
}

void PicturePrinterDevice::Box(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Rgb fill) {
  Item item;
  item.kind = Kind::kBox;
  item.x1 = x;
  item.y1 = y;
  item.x2 = x + width;
  item.y2 = y + height;
  item.colour = fill;
  items_.push_back(item);
}

void PicturePrinterDevice::Text(std::int32_t x, std::int32_t y, std::string_view utf8, Rgb colour, bool vertical) {
  const QString unicode = UnicodeOf(utf8);
  const QFontMetrics& metrics = Metrics();
  const int length = metrics.horizontalAdvance(unicode);
  Item item;
  item.kind = Kind::kText;
  item.x1 = x;
  item.y1 = y;
  item.x2 = x + (vertical ? metrics.height() : length);
  item.y2 = y + (vertical ? length : metrics.height());
  item.ascent = metrics.ascent();
  item.font = font_;
  item.text = unicode;
  item.colour = colour;
  item.vertical = vertical;
  item.opaque = false;
  items_.push_back(item);
}

// --- Layout -----------------------------------------------------------------

PicturePrinterDevice::Layout PicturePrinterDevice::LayOut(int headingBottom) const {
  Layout layout;
  layout.margin = QFontMetrics(font_, measuringDevice_.get()).height() * kMarginInCharHeights;
  int left = 0;
  int right = static_cast<int>(kA4WidthInches * dpi_);
  int bottom = 0;
  for (const Item& item : finished_) {
    left = std::min({left, item.x1, item.x2});
    right = std::max({right, item.x1, item.x2});
    bottom = std::max({bottom, item.y1, item.y2});
  }
  // A label wider than the plot's left margin starts left of the page: the
  // whole drawing moves right until it fits, with a margin before it.
  layout.shiftX = left < 0 ? layout.margin - left : 0;
  layout.width = right + layout.shiftX + layout.margin;
  layout.headingBottom = std::clamp(headingBottom, 0, bottom);

  const bool pdf = format_ == PictureFormat::Pdf;
  const int largestSide = pdf ? kLargestPdfPoints * dpi_ / 72 : kLargestScreenSide;
  if (layout.width > largestSide) {
    if (!pdf) throw EPictureTooLarge(TooLargeForScreenFormats(layout.width, bottom + layout.margin));
    throw EPictureTooLarge("the page would be " + std::to_string(layout.width * 72 / dpi_) +
                           " points wide, more than a PDF page may be (" + std::to_string(kLargestPdfPoints) +
                           " points); use a smaller --font-size or shorter labels");
  }
  const int height = bottom + layout.margin;
  if (height <= largestSide) {
    layout.bands.push_back(Band{layout.headingBottom, bottom});
    return layout;
  }
  if (!pdf) throw EPictureTooLarge(TooLargeForScreenFormats(layout.width, height));
  const int largestBand = largestSide - layout.headingBottom - layout.margin;
  if (largestBand <= 0) {
    throw EPictureTooLarge("the heading alone is taller than a PDF page may be; use a smaller --font-size");
  }
  layout.bands = SplitIntoPages(layout.headingBottom, bottom, largestBand);
  return layout;
}

// Cuts [top, bottom) into bands of at most largestBand, each cut between
// two texts (labels are never cut in half; lines are, and go on on the next
// page).
std::vector<PicturePrinterDevice::Band> PicturePrinterDevice::SplitIntoPages(int top, int bottom,
                                                                           int largestBand) const {
  std::vector<std::pair<int, int>> texts;  // [y1, y2) of the texts below the heading
  for (const Item& item : finished_) {
    if (item.IsText() && item.y1 >= top) texts.emplace_back(item.y1, item.y2);
  }
  std::sort(texts.begin(), texts.end());
  std::vector<Band> bands;
  while (top < bottom) {
    int cut = top + largestBand;
    if (cut >= bottom) {
      bands.push_back(Band{top, bottom});
      break;
    }
    // Move the cut up to the top of any text it would split; labels do not
    // overlap, so a few steps settle it.
    for (auto it = std::upper_bound(texts.begin(), texts.end(), std::make_pair(cut, cut));
         it != texts.begin();) {
      --it;
      if (it->second <= cut) break;
      if (it->first < cut) cut = it->first;
    }
    if (cut <= top) cut = top + largestBand;  // a text taller than a page is cut
    bands.push_back(Band{top, cut});
    top = cut;
  }
  return bands;
}

int PicturePrinterDevice::PageHeightOf(const Layout& layout, const Band& band) const {
  return layout.headingBottom + (band.bottom - band.top) + layout.margin;
}

// --- Painting ---------------------------------------------------------------

void PicturePrinterDevice::Paint(QPainter& painter, const Layout& layout, const Band& band) const {
  painter.save();
  painter.setPen(QPen(Qt::black, 1));
  painter.setBackground(Qt::white);
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.translate(layout.shiftX, 0);
  const bool wholeDrawing = layout.bands.size() == 1;
  const auto draw = [&painter](const Item& item) {
    const QColor colour(item.colour.red, item.colour.green, item.colour.blue);
    switch (item.kind) {
      case Kind::kText:
        painter.setFont(item.font);
        painter.setPen(QPen(colour, 1));
        painter.setBackgroundMode(item.opaque ? Qt::OpaqueMode : Qt::TransparentMode);
        if (item.vertical) {
          painter.save();
          painter.translate(item.x1, item.y2);
          painter.rotate(-90);
          painter.drawText(0, item.ascent, item.text);
          painter.restore();
        } else {
          painter.drawText(item.x1, item.y1 + item.ascent, item.text);
        }
        break;
      case Kind::kBox: painter.fillRect(item.x1, item.y1, item.x2 - item.x1, item.y2 - item.y1, colour); break;
      case Kind::kLine: {
        QPen pen(colour, item.width, item.dashed ? Qt::DashLine : Qt::SolidLine, Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(item.x1, item.y1, item.x2, item.y2);
        break;
      }
    }
  };
  if (wholeDrawing) {
    for (const Item& item : finished_) draw(item);
    painter.restore();
    return;
  }
  const int wide = layout.width;
  const int left = -layout.shiftX;
  // The heading, then the band moved up to just below it. A line is cut at
  // the band's edges and goes on on the next page; a text (never cut by
  // the split) is drawn on the one page that holds it whole, since a PDF
  // keeps even a clipped text, and readers would find it twice.
  const auto within = [](const Item& item, int top, int bottom) {
    if (item.IsText()) return item.y1 >= top && item.y2 <= bottom;
    return std::max(item.y1, item.y2) >= top && std::min(item.y1, item.y2) <= bottom;
  };
  painter.setClipRect(left, 0, wide, layout.headingBottom);
  for (const Item& item : finished_) {
    if (within(item, 0, layout.headingBottom)) draw(item);
  }
  painter.translate(0, layout.headingBottom - band.top);
  painter.setClipRect(left, band.top, wide, band.bottom - band.top);
  for (const Item& item : finished_) {
    if (within(item, band.top, band.bottom)) draw(item);
  }
  painter.restore();
}

QByteArray PicturePrinterDevice::Pdf(const Layout& layout) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(dpi_);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  const auto pageSize = [&](const Band& band) {
    return QPageSize(QSizeF(layout.width * 72.0 / dpi_, PageHeightOf(layout, band) * 72.0 / dpi_),
                     QPageSize::Point, QString(), QPageSize::ExactMatch);
  };
  writer.setPageSize(pageSize(layout.bands.front()));
  QPainter painter;
  if (!painter.begin(&writer)) throw EPrinter::InvalidPrinter();
  for (std::size_t page = 0; page < layout.bands.size(); ++page) {
    if (page > 0) {
      writer.setPageSize(pageSize(layout.bands[page]));
      writer.newPage();
    }
    Paint(painter, layout, layout.bands[page]);
  }
  painter.end();
  return bytes;
}

QByteArray PicturePrinterDevice::Png(const Layout& layout) const {
  const Band& band = layout.bands.front();
  QImage image(layout.width, PageHeightOf(layout, band), QImage::Format_RGB32);
  if (image.isNull()) throw std::bad_alloc();
  image.setDotsPerMeterX(DotsPerMeter(dpi_));
  image.setDotsPerMeterY(DotsPerMeter(dpi_));
  image.fill(Qt::white);
  QPainter painter(&image);
  Paint(painter, layout, band);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw std::bad_alloc();
  return bytes;
}

QByteArray PicturePrinterDevice::Svg(const Layout& layout) const {
  const int width = layout.width;
  const int height = PageHeightOf(layout, layout.bands.front());
  const int shift = layout.shiftX;
  QByteArray bytes;
  QTextStream out(&bytes);
  out.setEncoding(QStringConverter::Utf8);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  const auto colourOf = [](const Rgb& rgb) {
    return QStringLiteral("#%1%2%3")
        .arg(rgb.red, 2, 16, QLatin1Char('0'))
        .arg(rgb.green, 2, 16, QLatin1Char('0'))
        .arg(rgb.blue, 2, 16, QLatin1Char('0'));
  };
  // Boxes first, then lines over them, then texts over everything.
  for (const Item& item : finished_) {
    if (item.kind != Kind::kBox) continue;
    out << "<rect x=\"" << item.x1 + shift << "\" y=\"" << item.y1 << "\" width=\"" << (item.x2 - item.x1)
        << "\" height=\"" << (item.y2 - item.y1) << "\" fill=\"" << colourOf(item.colour) << "\"/>\n";
  }
  out << "<g stroke=\"black\" stroke-width=\"1\" shape-rendering=\"crispEdges\">\n";
  for (const Item& item : finished_) {
    if (item.kind != Kind::kLine) continue;
    out << "<line x1=\"" << item.x1 + shift << "\" y1=\"" << item.y1 << "\" x2=\"" << item.x2 + shift
        << "\" y2=\"" << item.y2 << "\"";
    if (item.colour != kBlack) out << " stroke=\"" << colourOf(item.colour) << "\"";
    if (item.width != 1) out << " stroke-width=\"" << item.width << "\"";
    if (item.dashed) out << " stroke-dasharray=\"" << 4 * item.width << ' ' << 3 * item.width << "\"";
    out << "/>\n";
  }
  out << "</g>\n";
  for (const Item& item : finished_) {
    if (!item.IsText()) continue;
    // An opaque text: the cell's white background, then the text on its baseline.
    if (item.opaque) {
      out << "<rect x=\"" << item.x1 + shift << "\" y=\"" << item.y1 << "\" width=\"" << (item.x2 - item.x1)
          << "\" height=\"" << (item.y2 - item.y1) << "\" fill=\"white\"/>\n";
    }
    if (item.vertical) {
      out << "<text x=\"0\" y=\"0\" transform=\"translate(" << item.x1 + shift + item.ascent << ' ' << item.y2
          << ") rotate(-90)\"";
    } else {
      out << "<text x=\"" << item.x1 + shift << "\" y=\"" << (item.y1 + item.ascent) << "\"";
    }
    if (item.colour != kBlack) out << " fill=\"" << colourOf(item.colour) << "\"";
    out << " font-family=\"" << EscapeXml(QFontInfo(item.font).family()) << "\" font-size=\""
        << item.font.pixelSize() << "\">" << EscapeXml(item.text) << "</text>\n";
  }
  out << "</svg>\n";
  out.flush();
  return bytes;
}

QByteArray PicturePrinterDevice::Picture(int headingBottom) const {
  const Layout layout = LayOut(headingBottom);
  switch (format_) {
    case PictureFormat::Pdf: return Pdf(layout);
    case PictureFormat::Svg: return Svg(layout);
    case PictureFormat::Png: return Png(layout);
  }
  return {};
}

}  // namespace cluster
