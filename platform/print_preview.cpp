#include "platform/print_preview.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <memory>

#include "platform/event_handler.h"
#include "platform/qt_printer_device.h"

namespace cluster {

void PaintPageOn(QPrinter& printer, const PagePainter& page) {
  TPrinter preview(std::make_unique<QtPrinterDevice>(printer));
  page(preview);
}

QPushButton* AddPreviewButton(QPrintDialog& dialog, QPrinter& printer, const PagePainter& page) {
  auto* button = new QPushButton(QString::fromUtf8(kPreviewButtonText), &dialog);
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>(); buttons != nullptr) {
    buttons->addButton(button, QDialogButtonBox::ActionRole);
  }
  QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &printer, page] {
    RunHandler([&] {
      QPrintPreviewDialog preview(&printer, &dialog);
      QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                       [page](QPrinter* shown) { RunHandler([&] { PaintPageOn(*shown, page); }); });
      preview.exec();
    });
  });
  return button;
}

}  // namespace cluster
