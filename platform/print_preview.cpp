#include "platform/print_preview.h"

#include <QAction>
#include <QCoreApplication>
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

void HidePrintAction(QPrintPreviewDialog& preview) {
  const QString print = QCoreApplication::translate("QPrintPreviewDialog", "Print");
  for (QAction* action : preview.findChildren<QAction*>()) {
    if (action->text() == print) action->setVisible(false);
  }
}

QPushButton* AddPreviewButton(QPrintDialog& dialog, QPrinter& printer, const PagePainter& page) {
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  if (buttons == nullptr) return nullptr;  // not Qt's own dialog: nowhere to put it
  auto* button = buttons->addButton(QString::fromUtf8(kPreviewButtonText), QDialogButtonBox::ActionRole);
  QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &printer, page] {
    RunHandler([&] {
      QPrintPreviewDialog preview(&printer, &dialog);
      HidePrintAction(preview);
      QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                       [page](QPrinter* shown) { RunHandler([&] { PaintPageOn(*shown, page); }); });
      preview.exec();
    });
  });
  return button;
}

}  // namespace cluster
