#include "platform/printer_font.h"

#include <algorithm>
#include <cstdlib>

#include "platform/qt_text.h"

namespace cluster {

int PrinterFontPixelSize(std::int32_t charHeight) {
  // The magnitude is taken in 64 bits: the most negative height has none
  // in 32.
  const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(charHeight));
  return static_cast<int>(std::clamp<std::int64_t>(magnitude, 1, kLargestPrinterCharHeight));
}

QFont MakePrinterFont(const std::string& cp932Face, std::int32_t charHeight) {
  QFont font(QStringFromCp932(cp932Face));
  font.setPixelSize(PrinterFontPixelSize(charHeight));
  font.setKerning(false);
  return font;
}

std::int32_t PrinterTextWidth(const QFontMetrics& metrics, std::string_view cp932Text) {
  if (cp932Text.empty()) return 0;
  return metrics.horizontalAdvance(QStringFromCp932(cp932Text));
}

std::int32_t PrinterTextHeight(const QFontMetrics& metrics, std::string_view cp932Text) {
  if (cp932Text.empty()) return 0;
  return metrics.height();
}

}  // namespace cluster
