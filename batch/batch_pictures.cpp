#include "batch/batch_pictures.h"

#include <memory>

#include "batch/batch_run.h"
#include "common/codepage.h"
#include "common/numbers.h"
#include "engine/leaf_order.h"
#include "engine/memory_budget.h"
#include "engine/matrix/analysis_store.h"
#include "engine/metrics.h"
#include "engine/tree_cut.h"
#include "platform/picture_printer_device.h"
#include "platform/qt_text.h"
#include "plot/dendrogram_figure.h"
#include "plot/dendrogram_plot.h"
#include "plot/heatmap_figure.h"

namespace cluster {

namespace {

// A height of the text outputs' units in the picture's.
Real InPlotUnits(const PictureTrees& trees, Real height) {
  const bool fromOwn = trees.textUnits.units == HeightUnits::kOwn;
  const bool toOwn = trees.plotUnits.units == HeightUnits::kOwn;
  if (fromOwn == toOwn) return height;
  const MethodInfo* method = FindMethod(trees.plotUnits.method);
  if (method == nullptr || method->scipyUnits == SciPyUnits::kAsIs) return height;
  if (fromOwn) return height < 0 ? -SciPyHeight(trees.plotUnits.method, -height, 0) : SciPyHeight(trees.plotUnits.method, height, 0);
  const Real square = height * height * (height < 0 ? -1 : 1);
  return method->scipyUnits == SciPyUnits::kRootOfTwice ? square / 2 : square;
}

// The caption: the method and the units of the heights drawn.
std::string CaptionOf(const MergeList& list) {
  const MethodInfo* method = FindMethod(list.method);
  std::string caption = method != nullptr ? std::string(method->caption) : std::string();
  if (list.units == HeightUnits::kSciPy) return caption + " (SciPy units)";
  const SciPyUnits units = method != nullptr ? method->scipyUnits : SciPyUnits::kAsIs;
  return caption + (units == SciPyUnits::kAsIs         ? " (own units: dissimilarities)"
                    : units == SciPyUnits::kSquareRoot ? " (own units: squared distances)"
                                                       : " (own units: half squared distances)");
}

std::optional<Real> CutLine(const BatchOptions& options, const PictureTrees& trees) {
  if (options.cutGroups) return CutLineHeight(trees.plotUnits, *options.cutGroups);
  if (options.cutHeight) return InPlotUnits(trees, HeightOption(*options.cutHeight, "--cut-height"));
  if (options.colorThreshold) return HeightOption(*options.colorThreshold, "--color-threshold");
  return std::nullopt;
}

PictureFormat FormatOfFile(const std::string& path) {
  return PicturePrinterDevice::FormatOf(QStringFromPath(path)).value_or(PictureFormat::Png);
}

}  // namespace

Real HeightOption(const std::string& text, const char* option) {
  try {
    return TextToReal(text);
  } catch (const EConvertError&) {
    throw UsageFailure{std::string(option) + " takes a number, not '" + text + "'"};
  }
}

std::vector<std::int32_t> PictureGroups(const BatchOptions& options, const PictureTrees& trees) {
  if (options.cutGroups) return GroupsOfCut(trees.textUnits, *options.cutGroups);
  if (options.cutHeight) return GroupsBelowHeight(trees.textUnits, HeightOption(*options.cutHeight, "--cut-height"));
  if (options.colorThreshold) {
    return GroupsBelowHeight(trees.plotUnits, HeightOption(*options.colorThreshold, "--color-threshold"));
  }
  return {};
}

QByteArray DendrogramPicture(const BatchOptions& options, const PictureTrees& trees) {
  PicturePrinterDevice picture(FormatOfFile(options.File(Output::kPicture)));
  picture.BeginDocument("");
  DendrogramStyle style;
  style.orientation = options.orientation;
  style.fontPoints = PlotFontSize(options.fontSize);
  style.caption = CaptionOf(trees.plotUnits);
  style.groups = PictureGroups(options, trees);
  style.cutHeight = CutLine(options, trees);
  style.truncate = options.truncate;
  const DendrogramLayout layout = DrawDendrogram(picture, trees.plotUnits, trees.utf8Labels, style);
  picture.EndDocument();
  try {
    return picture.Picture(layout.headingBottom);
  } catch (const EPictureTooLarge& failure) {
    // Leaves along the page's width make it grow wide, which no format splits.
    if (options.orientation != Orientation::kTop && options.orientation != Orientation::kBottom) throw;
    throw EPictureTooLarge(failure.Message() + "; with this many leaves, put them on the left (--orientation left) "
                           "or draw fewer of them (--truncate K)");
  }
}

QByteArray HeatmapPicture(const BatchOptions& options, const PictureTrees& trees, const ObservationTable& table,
                          const MergeList* columnTree) {
  PicturePrinterDevice picture(FormatOfFile(options.File(Output::kHeatmap)));
  picture.BeginDocument("");
  HeatmapSource source;
  source.values = table.values.data();
  source.rows = table.Rows();
  source.columns = table.columns;
  source.rowLabels = trees.utf8Labels;
  source.columnLabels = Utf8Texts(table.names, table.utf8);
  source.rowTree = &trees.plotUnits;
  source.columnTree = columnTree;
  source.groups = PictureGroups(options, trees);
  HeatmapStyle style;
  style.scale = options.heatmapScale;
  style.fontPoints = PlotFontSize(options.fontSize);
  style.caption = CaptionOf(trees.plotUnits);
  DrawHeatmap(picture, source, style);
  picture.EndDocument();
  return picture.Picture(0);
}

MergeList ClusterColumns(const BatchOptions& options, const ObservationTable& table) {
  const std::int32_t rows = table.Rows();
  const std::int32_t columns = table.columns;
  std::vector<Real> transposed(table.values.size());
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      transposed[static_cast<std::size_t>(c) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(r)] =
          table.values[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(c)];
    }
  }
  const bool euclidean = options.metricCode == Metric::kEuclidean || options.metricCode == Metric::kGower;
  CheckMatrixFits(columns, options.methodCode);
  // Gower's tables keep their missing values (and categories) as NaN:
  // taken pairwise.
  const bool pairwise = options.missingPairwise || options.metricCode == Metric::kGower;
  LowerTriangle values = MetricDissimilarities(transposed.data(), columns, rows,
                                               euclidean ? Metric::kSqEuclidean : options.metricCode,
                                               options.minkowskiP, 1, nullptr, pairwise, nullptr);
  std::vector<std::string> names(static_cast<std::size_t>(columns));
  AnalysisStore store(std::move(names), std::move(values), WorkPages::kOrdinary);
  store.AcceptEveryMethod();
  store.DistType = options.methodCode;
  store.DistancesAreSquares = euclidean;
  store.PrepareWholeRun();
  store.Agglomerate();
  MergeList merges = store.Merges();
  if (options.optimalLeafOrder) {
    CheckLeafOrderFits(columns);
    OptimalLeafOrder(merges, [&store](std::int32_t i, Real* row) { store.DissimilarityRow(i, row); });
  }
  store.FreeClusterTree();
  return merges;
}

}  // namespace cluster
