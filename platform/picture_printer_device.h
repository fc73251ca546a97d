// A printer whose page is a picture file: PDF, SVG or PNG.
//
// The batch tool draws the dendrogram through the same printer and plot as
// the desktop program, onto this device. The page is as wide as an A4 sheet
// and as tall as the drawing needs: every call is kept in a display list,
// and when the document ends the page height is taken from the lowest text
// or line drawn, so every leaf is on it (the desktop printer's single page
// cuts them off). Fonts and measures are Qt's, as on the real printer; a Qt
// GUI application object must exist (an offscreen one will do).
#pragma once

#include <QFont>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "common/printer.h"

class QFontMetrics;
class QImage;

namespace cluster {

enum class PictureFormat { Pdf, Svg, Png };

class PicturePrinterDevice : public PrinterDevice {
 public:
  // The format follows the path's ending (.pdf, .svg, .png, any case).
  explicit PicturePrinterDevice(const QString& path);
  ~PicturePrinterDevice() override;

  // The format a path asks for; nothing for any other ending.
  static std::optional<PictureFormat> FormatOf(const QString& path);

  // The page's size in device units once written (0 before).
  int WrittenWidth() const noexcept { return writtenWidth_; }
  int WrittenHeight() const noexcept { return writtenHeight_; }

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
  struct Item {
    bool isText = false;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a line, or a text's cell
    int ascent = 0;
    QFont font;
    QString text;
  };

  const QFontMetrics& Metrics();
  void WritePdf(int width, int height) const;
  void WriteSvg(int width, int height) const;
  void WritePng(int width, int height) const;
  void Paint(class QPainter& painter) const;

  QString path_;
  PictureFormat format_;
  int dpi_;
  bool open_ = false;
  QFont font_;
  std::unique_ptr<QFontMetrics> metrics_;
  std::unique_ptr<QImage> measuringDevice_;
  std::vector<Item> items_;
  int writtenWidth_ = 0;
  int writtenHeight_ = 0;
};

}  // namespace cluster
