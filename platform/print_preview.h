// The print dialog's preview: the page about to print, shown exactly as it
// will print and zoomable, before the user confirms the dialog.
//
// The preview is Qt's print preview of the dialog's own printer (its page
// size, orientation and resolution as they stand), and the page is drawn by
// the caller's PagePainter on that printer through a Qt printer device of
// its own: the same plot, the same measures, the same dots. Pressing the
// button shows the preview over the print dialog; closing it returns there.
// The preview's own Print action is hidden: the page prints once, when the
// dialog has closed, as it always has. What the page painter throws is
// shown in the error box.
#pragma once

#include "common/printer.h"

class QPrintDialog;
class QPrintPreviewDialog;
class QPrinter;
class QPushButton;

namespace cluster {

// The button's text.
inline constexpr const char* kPreviewButtonText = "プレビュー...";

// Adds the preview button to the dialog's buttons and returns it; nothing
// for a dialog without Qt's button box (a platform's own).
QPushButton* AddPreviewButton(QPrintDialog& dialog, QPrinter& printer, const PagePainter& page);

// Hides the preview's Print action.
void HidePrintAction(QPrintPreviewDialog& preview);

// Draws the page on a printer the program's printer does not own (a
// preview's), as TPrinter would print it.
void PaintPageOn(QPrinter& printer, const PagePainter& page);

}  // namespace cluster
