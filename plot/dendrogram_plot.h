// The dendrogram: the merge tree of an analysis printed on one page.
//
// The page shows, from the top, the method's caption, a horizontal height
// axis labelled "0.0" and with the root's height, and the tree: one object
// per line in the tree's left-to-right order, labelled left of the height
// origin, each merge a bracket at its merge height. Merge height grows to
// the right; the tree is always ObjectCount unit widths wide.
//
// Everything is placed in printer dots by PlotX (height axis) and PlotY
// (object axis), whose rounding is part of the promise: the quotient is taken
// in extended precision, rounded to the nearest integer (ties to even) and
// must fit 32 bits, else "範囲チェックエラー". Printing writes the PlotPos of
// every node. Exactly one page is printed; nothing checks its height.
//
// Two cases the layout arithmetic alone would get wrong are settled here: a
// root height of 0 (every object alike) would make the height scale 0 and
// every PlotX a division by zero, so the scale is 1 instead and such an
// analysis prints with the tree at the origin; and an error while the
// document is open abandons the document before the error goes on, so the
// next print works.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/float_checks.h"
#include "common/printer.h"
#include "engine/cluster_types.h"

namespace cluster {

class AnalysisStore;

// What the plot reads of an analysis.
struct DendrogramSource {
  std::int32_t ObjectCount = 0;
  std::uint8_t DistType = kCentroidMethod;
  // The caption above the axis (code page 932); SourceFromStore gives the
  // method's (MethodCaption).
  std::string Caption;
  // The root of the merge tree; the plot writes PlotPos into its nodes.
  TClusterNode* Root = nullptr;
  // The label of object i (1-based), code page 932.
  std::function<const std::string&(std::int32_t)> ObjectName;
};

// The root and the labels of a store after a complete run: the root is the
// node of cluster-table slot ClusterCount.
DendrogramSource SourceFromStore(AnalysisStore& store);

// One plotting of a tree on a printer: the plot state and its drawing.
class DendrogramPlot {
 public:
  DendrogramPlot(TPrinter& printer, std::function<const std::string&(std::int32_t)> objectName);

  // Plot state, set afresh by Print; public so that the program's tests can
  // check the layout arithmetic against hand-worked values.
  std::int32_t CharHeight = 0;   // height of "X", dots
  std::int32_t MarginWidth = 0;  // width of "WWWWW"; the left margin is twice this
  std::int32_t UnitWidth = 0;    // dots per unit of scaled height
  Real HeightScale = 1;          // root height / ObjectCount
  Real LeafCursor = 2;           // object-axis position of the leaf placed last
  Real LeafStep = 1;             // distance between neighbouring leaves

  // How a page too narrow for whole units narrows the tree. The printed
  // page takes whole dots per unit (UnitWidth, below); past about
  // (page width / MarginWidth) objects that rounds down to 0 and every
  // bracket would stand at the origin. A picture keeps UnitWidth and folds
  // the exact narrowing into HeightScale instead, so that its height axis
  // always spans the page's width less the margins, times n / (n + 5).
  void SetFractionalUnits(bool fractional) { fractionalUnits_ = fractional; }

  // x of merge height v: round(v x UnitWidth / HeightScale) + 2 x MarginWidth.
  std::int32_t PlotX(Real v) const;
  // y of object-axis position p: round((p + 2) x CharHeight x 1.2).
  std::int32_t PlotY(Real p) const;

  // The top of the first leaf's label once the layout is set: everything
  // drawn above it (the caption and the height axis) is the plot's heading.
  std::int32_t HeadingBottom() const;

  // Draws the subtree of node (left before right, each bracket after both of
  // its subtrees) and sets PlotPos in each of its nodes.
  void DrawCluster(TClusterNode& node);

  // Prints the tree of `source` as one document of one page: opens the
  // document, sets the font of `fontSizeText` and the plot state from its
  // measures and the page width, draws the height axis with its two labels,
  // the method's caption and the tree, and ends the document. ERangeError
  // for a source without a root or objects.
  void Print(const DendrogramSource& source, std::string_view fontSizeText);

 private:
  void DrawLeaf(TClusterNode& leaf);
  void DrawBracket(TClusterNode& node);

  TPrinter& printer_;
  std::function<const std::string&(std::int32_t)> objectName_;
  bool fractionalUnits_ = false;
};

// The printer font size the font-size text stands for: a whole number, else 10.
std::int32_t PlotFontSize(std::string_view fontSizeText);

// The caption of the desktop program's methods: "重心法" (0), "Ward法"
// (1); empty for any other selector.
std::string MethodCaption(std::uint8_t distType);

// The caption of every method the engine knows, in its usual Japanese name
// (the batch tool's pictures); empty for no method.
std::string AnyMethodCaption(std::uint8_t distType);

// The print dialog as the plot shows it: handed the page about to print,
// which its preview draws (on the preview's printer, as it will print).
using PrintDialogRunner = std::function<void(const PagePainter& page)>;

// Prints the dendrogram on Printer(): shows the print dialog first (its
// answer is not consulted; printing goes on, on the printer then current),
// then prints the tree of `source` on one page.
void PlotDendrogram(const DendrogramSource& source, std::string_view fontSizeText,
                    const PrintDialogRunner& showPrintDialog);

// The same for the tree of a store after a complete run.
void PlotDendrogram(AnalysisStore& store, std::string_view fontSizeText, const PrintDialogRunner& showPrintDialog);

}  // namespace cluster
