// A printer whose page is a picture: PDF, SVG or PNG.
//
// The printer and plot of the desktop program can draw on it; the batch
// tool's figures draw on it as a FigureCanvas, in colour, with upright
// texts and filled boxes, and texts on no background. Every call is kept
// in a display list; when the document has ended, Picture() lays the drawing out and
// returns the picture file's bytes, which the caller writes and checks.
//
// The page is as wide as an A4 sheet (wider when the drawing is) and as tall
// as the drawing needs, so every leaf is on it; its left margin makes room
// for labels wider than the plot's own margin. A picture stays within what
// common viewers open: a PNG or SVG side of at most 32,767 pixels, a PDF
// page of at most 14,400 points (200 inches) either way. A PDF too tall for
// one page is split into pages between leaves, each page repeating the
// heading (the caption and the height axis); a PNG or SVG too large, or a
// PDF page too wide, is refused with EPictureTooLarge.
//
// Fonts and measures are Qt's, made and taken as on the real printer
// (platform/printer_font.h); a Qt GUI application object must exist (an
// offscreen one will do).
#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "common/errors.h"
#include "common/figure_canvas.h"
#include "common/printer.h"

class QFontMetrics;
class QImage;
class QPainter;

namespace cluster {

enum class PictureFormat { Pdf, Svg, Png };

// A picture beyond the size common viewers open. The message says what to
// do instead.
class EPictureTooLarge : public Exception {
 public:
  using Exception::Exception;
};

class PicturePrinterDevice : public PrinterDevice, public FigureCanvas {
 public:
  // The largest side of a PNG or SVG picture, in pixels.
  static constexpr int kLargestScreenSide = 32767;
  // The largest side of a PDF page, in points.
  static constexpr int kLargestPdfPoints = 14400;

  explicit PicturePrinterDevice(PictureFormat format);
  ~PicturePrinterDevice() override;

  // The format a path asks for by its ending (.pdf, .svg, .png, any case);
  // nothing for any other ending.
  static std::optional<PictureFormat> FormatOf(const QString& path);

  // The picture of the last finished document. Everything drawn above
  // `headingBottom` is the heading, which every page of a split PDF shows.
  // EPictureTooLarge beyond the limits above.
  QByteArray Picture(int headingBottom) const;

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

  // The figure canvas, in the printer font's face.
  std::int32_t Dpi() override { return dpi_; }
  void SetFontPoints(std::int32_t points) override;
  std::int32_t TextHeight() override;
  void Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, const LineStyle& style) override;
  void Box(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Rgb fill) override;
  void Text(std::int32_t x, std::int32_t y, std::string_view utf8, Rgb colour, bool vertical) override;

 private:
  enum class Kind { kLine, kText, kBox };
  struct Item {
    Kind kind = Kind::kLine;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a line, or a text's cell or a box's corners
    int ascent = 0;
    QFont font;
    QString text;
    Rgb colour = kBlack;
    int width = 1;
    bool dashed = false;
    bool vertical = false;  // a text turned a quarter left
    bool opaque = true;     // a text on white, as the printer puts it
    bool IsText() const { return kind == Kind::kText; }
  };
  // A band of the drawing [top, bottom) shown on one page below the heading.
  struct Band {
    int top;
    int bottom;
  };
  struct Layout {
    int shiftX = 0;      // added to every x, so that the widest label fits
    int width = 0;       // of every page
    int margin = 0;      // left below the drawing on each page
    int headingBottom = 0;
    std::vector<Band> bands;  // one per page
  };

  const QFontMetrics& Metrics();
  Layout LayOut(int headingBottom) const;
  std::vector<Band> SplitIntoPages(int top, int bottom, int largestBand) const;
  int PageHeightOf(const Layout& layout, const Band& band) const;
  QByteArray Pdf(const Layout& layout) const;
  QByteArray Svg(const Layout& layout) const;
  QByteArray Png(const Layout& layout) const;
  void Paint(QPainter& painter, const Layout& layout, const Band& band) const;

  PictureFormat format_;
  int dpi_;
  bool open_ = false;
  QFont font_;
  std::unique_ptr<QFontMetrics> metrics_;
  std::unique_ptr<QImage> measuringDevice_;
  std::vector<Item> items_;     // the document being drawn
  std::vector<Item> finished_;  // the last finished document
};

}  // namespace cluster
