// Printing on the desktop: what the program sets up at start, and the print
// dialog.
//
// SetUpPrinting() is called once at start, after the application object
// exists: it installs the font substitutions and makes Printer() the
// system's default printer through Qt. ShowPrintDialog() is the print dialog
// the dendrogram shows; it changes the printer that later prints, and its
// answer is not consulted (a cancelled dialog changes nothing). Given the
// page, it offers a preview of it (platform/print_preview.h).
#pragma once

#include <QString>

#include "common/printer.h"

class QWidget;

namespace cluster {

// The Windows faces the program names, mapped to installed faces of the same
// character: "ＭＳ Ｐゴシック" -> IPAPGothic, "ＭＳ ゴシック" -> IPAGothic,
// "ＭＳ 明朝" -> IPAMincho, "MS Sans Serif" -> DejaVu Sans.
void InstallPrinterFontSubstitutions();

// Font substitutions, and Printer() on the system's default printer.
void SetUpPrinting();

// Printer() printing into a PDF file instead (tests, benchmarks); also
// installs the font substitutions.
void SetUpPdfPrinting(const QString& pdfPath);

// Qt's print dialog on the program's printer, with a preview of `page`
// when one is given. Nothing when Printer() is not a Qt printer.
void ShowPrintDialog(QWidget* parent, const PagePainter& page = {});

}  // namespace cluster
