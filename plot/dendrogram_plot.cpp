#include "plot/dendrogram_plot.h"

#include <cmath>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

namespace {

// Object-axis positions of the fixed elements.
constexpr Real kCaptionPos = 0.1L;
constexpr Real kAxisPos = 1.25L;
constexpr Real kAxisTickEndPos = 1.5L;
constexpr Real kAxisLabelPos = 1.7L;
constexpr Real kFirstLeafCursor = 2.0L;  // the first leaf lands on 3
constexpr std::int32_t kDefaultFontSize = 10;

std::int32_t ToInt32(std::int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) throw ERangeError();
  return static_cast<std::int32_t>(value);
}

}  // namespace

DendrogramSource SourceFromStore(AnalysisStore& store) {
  DendrogramSource source;
  source.ObjectCount = store.ObjectCount;
  source.DistType = store.DistType;
  source.Caption = MethodCaption(store.DistType);
  source.Root = store.ClusterTable(store.ClusterCount()).Node;
  source.ObjectName = [&store](std::int32_t i) -> const std::string& {
    return std::as_const(store).ObjectNames(i);
  };
  return source;
}

std::int32_t PlotFontSize(std::string_view fontSizeText) {
  return TextToIntOr(fontSizeText, kDefaultFontSize);
}

std::string MethodCaption(std::uint8_t distType) {
  return distType == kCentroidMethod || distType == kWardMethod ? AnyMethodCaption(distType) : std::string();
}

std::string AnyMethodCaption(std::uint8_t distType) {
  const MethodInfo* method = FindMethod(distType);
  return method != nullptr ? Cp932FromUtf8(method->caption) : std::string();
}

DendrogramPlot::DendrogramPlot(TPrinter& printer,
                               std::function<const std::string&(std::int32_t)> objectName)
    : printer_(printer), objectName_(std::move(objectName)) {}

std::int32_t DendrogramPlot::PlotX(Real v) const {
  ClearFloatFlags();
  const Real scaled = v * static_cast<Real>(UnitWidth) / HeightScale;
  RaiseFloatErrors();
  // Rounded as a 64-bit integer, then shifted by the margin; only the sum
  // has to fit 32 bits.
  const Real rounded = std::nearbyintl(scaled);
  constexpr Real kLimit = 4611686018427387904.0L;  // 2^62: no 32-bit result lies beyond
  if (!(rounded > -kLimit && rounded < kLimit)) throw ERangeError();
  return ToInt32(static_cast<std::int64_t>(rounded) + 2 * static_cast<std::int64_t>(MarginWidth));
}

std::int32_t DendrogramPlot::PlotY(Real p) const {
  ClearFloatFlags();
  const Real y = (p + 2) * static_cast<Real>(CharHeight) * 1.2L;
  RaiseFloatErrors();
  return RoundToInt32(y);
}

std::int32_t DendrogramPlot::HeadingBottom() const {
  // Where DrawLeaf puts the first label's top.
  return ToInt32(static_cast<std::int64_t>(PlotY(kFirstLeafCursor + LeafStep)) - CharHeight / 2);
}

void DendrogramPlot::DrawLeaf(TClusterNode& leaf) {
  TPrinterCanvas& canvas = printer_.Canvas();
  ClearFloatFlags();
  LeafCursor = LeafCursor + LeafStep;
  RaiseFloatErrors();
  leaf.PlotPos = LeafCursor;
  const std::string& label = objectName_(leaf.Id);
  // The label ends one blank's width left of the origin, centred on its line.
  const std::int32_t width = canvas.TextWidthOf(label + " ");
  const std::int32_t x = ToInt32(static_cast<std::int64_t>(PlotX(0)) - width);
  const std::int32_t y = ToInt32(static_cast<std::int64_t>(PlotY(leaf.PlotPos)) - CharHeight / 2);
  canvas.DrawTextAt(x, y, label);
}

void DendrogramPlot::DrawBracket(TClusterNode& node) {
  TPrinterCanvas& canvas = printer_.Canvas();
  const TClusterNode& left = *node.Left;
  const TClusterNode& right = *node.Right;
  ClearFloatFlags();
  // Midway between the children, not at the mean of the leaves.
  node.PlotPos = (left.PlotPos + right.PlotPos) * 0.5L;
  RaiseFloatErrors();
  canvas.MovePenTo(PlotX(left.Height), PlotY(left.PlotPos));
  canvas.DrawLineTo(PlotX(node.Height), PlotY(left.PlotPos));
  canvas.DrawLineTo(PlotX(node.Height), PlotY(right.PlotPos));
  canvas.DrawLineTo(PlotX(right.Height), PlotY(right.PlotPos));
}

void DendrogramPlot::DrawCluster(TClusterNode& node) {
  // Depth first, Left before Right, each bracket after both subtrees. Walked
  // with an explicit stack: a chained tree of many objects is as deep as it
  // is long.
  struct Visit {
    TClusterNode* node;
    bool childrenDone;
  };
  std::vector<Visit> stack{{&node, false}};
  while (!stack.empty()) {
    Visit visit = stack.back();
    stack.pop_back();
    TClusterNode& current = *visit.node;
    if (current.Left == nullptr) {
      DrawLeaf(current);
      continue;
    }
    if (current.Right == nullptr) throw ERangeError();  // a merge always has two children
    if (visit.childrenDone) {
      DrawBracket(current);
      continue;
    }
    stack.push_back({&current, true});
    stack.push_back({current.Right, false});
    stack.push_back({current.Left, false});
  }
}

void DendrogramPlot::Print(const DendrogramSource& source, std::string_view fontSizeText) {
  if (source.Root == nullptr || source.ObjectCount <= 0) throw ERangeError();
  TPrinterCanvas& canvas = printer_.Canvas();
  const Real rootHeight = source.Root->Height;
  const std::int64_t n = source.ObjectCount;

  printer_.StartDocument();
  // Whatever ends the plot early abandons the document, so that the printer
  // is idle again for the next print; the error itself goes on.
  PrinterDocumentGuard abandonOnError(printer_);

  canvas.SetFontSize(PlotFontSize(fontSizeText));
  CharHeight = canvas.TextHeightOf("X");
  MarginWidth = canvas.TextWidthOf("WWWWW");
  UnitWidth = MarginWidth;

  ClearFloatFlags();
  HeightScale = rootHeight / static_cast<Real>(n);
  RaiseFloatErrors();
  // A root at height 0 (all objects alike) would make every PlotX divide by
  // zero; with a scale of 1 the tree is drawn at the origin instead.
  if (HeightScale == 0) HeightScale = 1;

  // A page too narrow for the tree and its margins gets narrower units. The
  // test uses the whole width, the new unit the width right of the margin.
  const std::int64_t pageWidth = printer_.PageWidth();
  if (pageWidth < (n + 5) * MarginWidth) {
    const std::int64_t room = pageWidth - 2 * static_cast<std::int64_t>(MarginWidth);
    if (fractionalUnits_ && room > 0) {
      ClearFloatFlags();
      HeightScale = HeightScale * static_cast<Real>((n + 5) * static_cast<std::int64_t>(MarginWidth)) /
                    static_cast<Real>(room);
      RaiseFloatErrors();
    } else {
      UnitWidth = ToInt32(room / (n + 5));
    }
  }
  LeafStep = 1;
  LeafCursor = kFirstLeafCursor;

  // The height axis: one path, a tick down at each end.
  canvas.MovePenTo(PlotX(0), PlotY(kAxisTickEndPos));
  canvas.DrawLineTo(PlotX(0), PlotY(kAxisPos));
  canvas.DrawLineTo(PlotX(rootHeight), PlotY(kAxisPos));
  canvas.DrawLineTo(PlotX(rootHeight), PlotY(kAxisTickEndPos));
  canvas.DrawTextAt(PlotX(0), PlotY(kAxisLabelPos), "0.0");
  canvas.DrawTextAt(PlotX(rootHeight), PlotY(kAxisLabelPos),
                    RealToText(rootHeight, RealFormat::Fixed, 9, 2));
  if (!source.Caption.empty()) canvas.DrawTextAt(PlotX(0), PlotY(kCaptionPos), source.Caption);

  DrawCluster(*source.Root);
  printer_.FinishDocument();
}

void PlotDendrogram(const DendrogramSource& source, std::string_view fontSizeText,
                    const PrintDialogRunner& showPrintDialog) {
  // The dialog may change the printer; whether it is confirmed or cancelled,
  // the page is printed on the printer current when it closes. Its preview
  // draws the same page by the same plot on the preview's printer.
  if (showPrintDialog) {
    showPrintDialog([&source, fontSizeText](TPrinter& printer) {
      DendrogramPlot preview(printer, source.ObjectName);
      preview.Print(source, fontSizeText);
    });
  }
  DendrogramPlot plot(Printer(), source.ObjectName);
  plot.Print(source, fontSizeText);
}

void PlotDendrogram(AnalysisStore& store, std::string_view fontSizeText, const PrintDialogRunner& showPrintDialog) {
  PlotDendrogram(SourceFromStore(store), fontSizeText, showPrintDialog);
}

}  // namespace cluster
