#include "platform/printing.h"

#include <QFont>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

#include "common/printer.h"
#include "platform/print_preview.h"
#include "platform/qt_printer_device.h"

namespace cluster {

void InstallPrinterFontSubstitutions() {
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
  QFont::insertSubstitution(QString::fromUtf8("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"));
}

void SetUpPrinting() {
  InstallPrinterFontSubstitutions();
  SetPrinterDeviceFactory([] { return std::make_unique<QtPrinterDevice>(); });
}

void SetUpPdfPrinting(const QString& pdfPath) {
  InstallPrinterFontSubstitutions();
  SetPrinterDeviceFactory([pdfPath] { return std::make_unique<QtPrinterDevice>(pdfPath); });
}

void ShowPrintDialog(QWidget* parent, const PagePainter& page) {
  auto* device = dynamic_cast<QtPrinterDevice*>(&Printer().Device());
  if (device == nullptr) return;
  QPrintDialog dialog(&device->QtPrinter(), parent);
  if (page) AddPreviewButton(dialog, device->QtPrinter(), page);
  dialog.exec();  // confirmed or cancelled, printing goes on
}

}  // namespace cluster
