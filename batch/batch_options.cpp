#include "batch/batch_options.h"

#include <map>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "engine/method_table.h"

namespace cluster {

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool EndsWithEitherCase(const std::string& text, const std::string& lowerSuffix) {
  std::string upper = lowerSuffix;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return EndsWith(text, lowerSuffix) || EndsWith(text, upper);
}

// A whole number from `smallest` to `largest`, digits only.
// A number above 0 in C's notation ("inf" too), or nothing.
std::optional<long double> PositiveNumber(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long double value = std::strtold(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE || !(value > 0)) return std::nullopt;
  return value;
}

std::optional<std::int32_t> WholeNumber(const std::string& text, std::int32_t smallest, std::int32_t largest) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const auto number = static_cast<std::int32_t>(std::stol(text));
  if (number < smallest || number > largest) return std::nullopt;
  return number;
}

bool HasPlotExtension(const std::string& name) {
  return EndsWithEitherCase(name, ".pdf") || EndsWithEitherCase(name, ".svg") || EndsWithEitherCase(name, ".png");
}

// Checks what one option may only be given with another; the first thing
// wrong, or nothing.
std::optional<std::string> CombinationError(const BatchOptions& options) {
  if (options.cutGroups && options.cutHeight) return "--cut and --cut-height cannot both be given";
  const bool groups = !options.File(Output::kGroups).empty();
  const bool plot = !options.File(Output::kPicture).empty();
  const bool heatmap = !options.File(Output::kHeatmap).empty();
  if ((options.cutGroups || options.cutHeight) && !groups && !plot && !heatmap) {
    return std::string(options.cutGroups ? "--cut" : "--cut-height") + " needs --groups FILE, --plot FILE or --heatmap FILE";
  }
  if (options.colorThreshold && (options.cutGroups || options.cutHeight)) {
    return std::string("--color-threshold and ") + (options.cutGroups ? "--cut" : "--cut-height") +
           " cannot both be given (a cut colours its groups already)";
  }
  if (options.colorThreshold && !plot && !heatmap) return "--color-threshold needs --plot FILE or --heatmap FILE";
  if (!plot && (options.orientation != Orientation::kLeft || options.truncate > 0 || options.plotScipyUnits)) {
    return std::string(options.truncate > 0 ? "--truncate" : options.plotScipyUnits ? "--plot-units" : "--orientation") +
           " needs --plot FILE";
  }
  if (heatmap && !options.observations) return "--heatmap needs --observations (it draws a table's values)";
  if (!heatmap && (options.clusterColumns || options.heatmapScale != HeatmapScale::kNone)) {
    return std::string(options.clusterColumns ? "--heatmap-columns" : "--heatmap-scale") + " needs --heatmap FILE";
  }
  if (groups && !options.cutGroups && !options.cutHeight) {
    return "--groups needs --cut K or --cut-height H";
  }
  if (options.standardize && !options.observations) return "--standardize needs --observations";
  const bool square = options.square || options.squareLower;
  if (options.square && options.squareLower) return "--square and --square-lower cannot both be given";
  if (square && (options.observations || options.csv)) {
    return std::string(options.square ? "--square" : "--square-lower") + " and " +
           (options.observations ? "--observations" : "--csv") + " cannot both be given";
  }
  if (options.tsv && !options.observations && !square) return "--tsv needs --observations or --square";
  if (options.observations && options.csv) return "--observations and --csv cannot both be given";
  if (options.memorySaving && options.matrix) return "--memory-saving and --matrix cannot both be given";
  if (options.memorySaving && !options.observations) return "--memory-saving needs --observations";
  const bool euclidean = options.metricCode == Metric::kEuclidean;
  if (options.metric != "euclidean" && !options.observations) return "--metric needs --observations";
  if (!euclidean && FindMethod(options.methodCode)->euclidean) {
    return "the " + options.method + " method is defined by Euclidean geometry and cannot take the " +
           options.metric + " metric; give a dissimilarity file of those values to cluster them by it anyway";
  }
  if ((!euclidean || options.missingPairwise) && options.memorySaving && options.methodCode != kSingleLinkage) {
    return "--memory-saving works for single linkage only with another metric than euclidean or with missing values";
  }
  if (!options.categorical.empty() && options.metricCode != Metric::kGower) return "--categorical needs --metric gower";
  if (options.standardize && options.metricCode == Metric::kGower) {
    return "--standardize and --metric gower cannot both be given (Gower's coefficient scales each column by its range)";
  }
  if (options.missingPairwise && !options.observations) return "--missing needs --observations";
  if (options.noLabels && !options.observations) return "--no-labels needs --observations";
  if (options.missingPairwise && !TakesMissingPairwise(options.metricCode)) {
    return "--missing pairwise works for " + std::string(kPairwiseMetricsText) + ", not " + options.metric;
  }
  if (options.minkowskiPGiven && options.metricCode != Metric::kMinkowski) return "--p needs --metric minkowski";
  if (options.memorySaving && !FindMethod(options.methodCode)->fromCoordinates) {
    return "--memory-saving works for " + std::string(CoordinateMethodNamesText()) + ", not " + options.method;
  }
  if (options.progress && options.quiet) return "--progress and --quiet cannot both be given";
  const std::string& picture = options.File(Output::kPicture);
  if (!picture.empty() && !HasPlotExtension(picture)) {
    return "--plot FILE must end in .pdf, .svg or .png";
  }
  const std::string& heatmapFile = options.File(Output::kHeatmap);
  if (!heatmapFile.empty() && !HasPlotExtension(heatmapFile)) {
    return "--heatmap FILE must end in .pdf, .svg or .png";
  }
  return std::nullopt;
}

// The methods by what they work on, one line each, as the table says.
std::string MethodsByValue() {
  std::string lines;
  for (const SetUpValue setUp : {SetUpValue::kAsGiven, SetUpValue::kSquare, SetUpValue::kHalfSquare}) {
    std::string names;
    for (const MethodInfo& method : kMethods) {
      if (method.setUp != setUp) continue;
      if (!names.empty()) names += ", ";
      names += method.name;
    }
    names.resize(std::max<std::size_t>(names.size(), 37), ' ');
    lines += "  " + names + (setUp == SetUpValue::kAsGiven ? "on the dissimilarities as given\n"
                             : setUp == SetUpValue::kSquare ? "on squared dissimilarities\n"
                                                            : "on halved squared dissimilarities\n");
  }
  return lines;
}

// The outputs' lines of the usage, from their table.
std::string OutputsUsage() {
  std::string lines;
  for (const OutputInfo& info : kOutputs) {
    std::string option = "  " + std::string(info.option) + " FILE";
    option.resize(std::max<std::size_t>(option.size() + 1, 26), ' ');
    std::string_view usage = info.usage;
    for (bool first = true;; first = false) {
      const auto end = usage.find('\n');
      lines += (first ? option : std::string(26, ' ')) + std::string(usage.substr(0, end)) + "\n";
      if (end == std::string_view::npos) break;
      usage.remove_prefix(end + 1);
    }
  }
  return lines;
}

}  // namespace

const std::string& BatchUsage() {
  static const std::string usage = std::string(
         "Usage: cluster-analysis-batch --method METHOD [options] DATA_FILE\n"
         "\n"
         "Runs one hierarchical cluster analysis without windows.\n"
         "DATA_FILE is a native data file of dissimilarities, a CSV data file when\n"
         "--csv is given or its name ends in .csv or .CSV, or with --observations a\n"
         "table of observations (label, then coordinates).\n"
         "\n"
         "Methods:\n") + MethodsByValue() + 
         "\n"
         "Options:\n"
         "  --method METHOD         the agglomeration method (required)\n"
         "  --csv                   read DATA_FILE as a CSV data file\n"
         "  --observations          read DATA_FILE as a table of observations; their\n"
         "                          Euclidean distances are the dissimilarities\n"
         "  --tsv                   the table's fields are separated by tabs (also for a\n"
         "                          name ending in .tsv), else by commas\n"
         "  --no-labels             every column of the table is a coordinate; the\n"
         "                          labels are 1..n\n"
         "  --square                read DATA_FILE as a full square matrix of\n"
         "                          dissimilarities (a header of labels, then per\n"
         "                          object its label and n values), as R's\n"
         "                          write.csv(as.matrix(d)) and pandas write it; its\n"
         "                          diagonal must be 0 and it must be symmetric\n"
         "  --square-lower          the same, taking its lower triangle only\n"
         "  --standardize           turn each coordinate column into z-scores first\n"
         "  --metric NAME           the observations' dissimilarity (default euclidean):\n"
         "                          SciPy's pdist metrics, R's names as aliases; only\n"
         "                          euclidean for median, centroid and ward\n"
         "  --p P                   Minkowski's exponent (default 2)\n"
         "  --categorical COLS      with --metric gower: the columns (header names or\n"
         "                          numbers from 1, comma-separated) that are\n"
         "                          categories, besides those not all numbers\n"
         "  --missing pairwise      take missing values (empty, NA, NaN) pairwise: each\n"
         "                          distance over the coordinates both rows hold,\n"
         "                          scaled up as R's dist() (default: refuse them)\n"
         "  --cut K                 cut the tree into K groups, or\n"
         "  --cut-height H          cut it where merge heights exceed H\n"
         "  --memory-saving         cluster observations from their coordinates, in\n"
         "                          memory that grows with n (single, median,\n"
         "                          centroid, ward); the default when the matrix\n"
         "                          would not fit the memory available\n"
         "  --matrix                never do so: always work on the matrix\n"
         "  --leaf-order tree|optimal  the leaves' order in --plot, --heatmap, --newick,\n"
         "                          --linkage and --order: as the merges make it\n"
         "                          (default), or each merge's two sides turned so\n"
         "                          that neighbouring leaves are least dissimilar\n"
         "  --font-size POINTS      font size of the pictures, 1 to 200 (default 12)\n"
         "  --units own|scipy       heights of --merges, --newick, --cut-height and the\n"
         "                          picture's axis in the method's own units (default)\n"
         "                          or in SciPy's, as --linkage writes them\n"
         "  --orientation SIDE      the side of the dendrogram's leaves: left (default),\n"
         "                          right, top or bottom\n"
         "  --plot-units own|scipy  the dendrogram's heights, if not as --units says\n"
         "  --color-threshold H     colour the groups at or below height H (in the\n"
         "                          picture's units) without writing them; --cut\n"
         "                          and --cut-height colour theirs\n"
         "  --truncate K            draw only the last K - 1 merges, each of the K\n"
         "                          leaves labelled with its size, as (37)\n"
         "  --heatmap-columns none|cluster  order the heat map's columns as given\n"
         "                          (default) or by their own tree, drawn above\n"
         "  --heatmap-scale none|column|row  the heat map's values raw (default) or\n"
         "                          as z-scores by column or by row\n"
         "  --progress              show progress on standard error, even when it is\n"
         "                          not a terminal\n"
         "  --quiet                 never show progress\n"
         "  --timings               print milliseconds per phase (three decimals) on\n"
         "                          standard error\n"
         "  --help                  print this text\n"
         "  --version               print the version\n"
         "\n"
         "Outputs:\n" + OutputsUsage() +
         "\n"
         "FILE - is the standard output. No output may be the data file, and no two\n"
         "outputs the same file.\n"
         "Exit status: 0 success, 1 the data or a file failed, 2 usage error.\n";
  return usage;
}

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  BatchOptions options;
  std::vector<std::string> positional;
  std::string cutText;
  std::string unitsText = "own";
  std::string pText;
  std::string missingText = "refuse";
  std::string categoricalText;
  bool cutGiven = false;
  std::string orientationText = "left";
  std::string plotUnitsText;
  std::string truncateText;
  std::string leafOrderText = "tree";
  std::string heatmapColumnsText = "none";
  std::string heatmapScaleText = "none";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      target = args[++i];
      // An empty name (an unset shell variable, most likely) would ask for
      // nothing without a word.
      if (target.empty()) {
        error = arg + " needs a value, not an empty text";
        return false;
      }
      return true;
    };
    std::map<std::string, std::string*> valued = {{"--method", &options.method},
                                                  {"--font-size", &options.fontSize},
                                                  {"--cut", &cutText},
                                                  {"--units", &unitsText},
                                                  {"--metric", &options.metric},
                                                  {"--p", &pText},
                                                  {"--missing", &missingText},
                                                  {"--categorical", &categoricalText},
                                                  {"--orientation", &orientationText},
                                                  {"--plot-units", &plotUnitsText},
                                                  {"--truncate", &truncateText},
                                                  {"--leaf-order", &leafOrderText},
                                                  {"--heatmap-columns", &heatmapColumnsText},
                                                  {"--heatmap-scale", &heatmapScaleText}};
    for (const OutputInfo& info : kOutputs) valued.emplace(info.option, &options.outputs[info.output]);
    const std::map<std::string, bool*> flags = {
        {"--csv", &options.csv},         {"--observations", &options.observations},
        {"--tsv", &options.tsv},         {"--standardize", &options.standardize},
        {"--timings", &options.timings}, {"--memory-saving", &options.memorySaving},
        {"--matrix", &options.matrix},   {"--progress", &options.progress},
        {"--quiet", &options.quiet},     {"--square", &options.square},
        {"--square-lower", &options.squareLower}, {"--no-labels", &options.noLabels}};
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    } else if (arg == "--version") {
      options.version = true;
      return options;
    } else if (const auto option = valued.find(arg); option != valued.end()) {
      if (!value(*option->second)) return std::nullopt;
      if (arg == "--cut") cutGiven = true;
    } else if (arg == "--cut-height" || arg == "--color-threshold") {
      std::string height;
      if (!value(height)) return std::nullopt;
      (arg == "--cut-height" ? options.cutHeight : options.colorThreshold) = height;
    } else if (const auto flag = flags.find(arg); flag != flags.end()) {
      *flag->second = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  // Only the outputs given stay (the loop above made a place for each).
  std::erase_if(options.outputs, [](const auto& output) { return output.second.empty(); });
  if (options.method.empty()) {
    error = "--method METHOD is required";
    return std::nullopt;
  }
  const MethodInfo* method = FindMethod(std::string_view(options.method));
  if (method == nullptr) {
    error = "unknown method '" + options.method + "' (" + std::string(MethodNamesText()) + ")";
    return std::nullopt;
  }
  options.methodCode = method->code;
  if (positional.size() != 1) {
    error = positional.empty() ? "no DATA_FILE given" : "more than one DATA_FILE given";
    return std::nullopt;
  }
  options.dataFile = positional.front();
  if (options.dataFile.empty()) {
    error = "DATA_FILE is an empty name";
    return std::nullopt;
  }
  if (unitsText != "own" && unitsText != "scipy") {
    error = "--units takes own or scipy, not '" + unitsText + "'";
    return std::nullopt;
  }
  options.scipyUnits = unitsText == "scipy";
  if (options.observations || options.square || options.squareLower) {
    if (EndsWithEitherCase(options.dataFile, ".tsv")) options.tsv = true;
  } else if (EndsWithEitherCase(options.dataFile, ".csv")) {
    options.csv = true;
  }
  if (!WholeNumber(options.fontSize, kSmallestFontSize, kLargestFontSize)) {
    error = "--font-size must be a whole number of points from 1 to 200";
    return std::nullopt;
  }
  if (cutGiven) {
    options.cutGroups = WholeNumber(cutText, 1, 2147483647);
    if (!options.cutGroups) {
      error = "--cut K takes a whole number of groups, at least 1";
      return std::nullopt;
    }
  }
  static const std::map<std::string, Orientation> kSides = {{"left", Orientation::kLeft},
                                                             {"right", Orientation::kRight},
                                                             {"top", Orientation::kTop},
                                                             {"bottom", Orientation::kBottom}};
  if (const auto side = kSides.find(orientationText); side != kSides.end()) {
    options.orientation = side->second;
  } else {
    error = "--orientation takes left, right, top or bottom, not '" + orientationText + "'";
    return std::nullopt;
  }
  if (!plotUnitsText.empty()) {
    if (plotUnitsText != "own" && plotUnitsText != "scipy") {
      error = "--plot-units takes own or scipy, not '" + plotUnitsText + "'";
      return std::nullopt;
    }
    options.plotScipyUnits = plotUnitsText == "scipy";
  }
  if (!truncateText.empty()) {
    const std::optional<std::int32_t> leaves = WholeNumber(truncateText, 2, 2147483647);
    if (!leaves) {
      error = "--truncate K takes a whole number of leaves, at least 2";
      return std::nullopt;
    }
    options.truncate = *leaves;
  }
  if (leafOrderText != "tree" && leafOrderText != "optimal") {
    error = "--leaf-order takes tree or optimal, not '" + leafOrderText + "'";
    return std::nullopt;
  }
  options.optimalLeafOrder = leafOrderText == "optimal";
  if (heatmapColumnsText != "none" && heatmapColumnsText != "cluster") {
    error = "--heatmap-columns takes none or cluster, not '" + heatmapColumnsText + "'";
    return std::nullopt;
  }
  options.clusterColumns = heatmapColumnsText == "cluster";
  static const std::map<std::string, HeatmapScale> kScales = {
      {"none", HeatmapScale::kNone}, {"column", HeatmapScale::kColumn}, {"row", HeatmapScale::kRow}};
  if (const auto scale = kScales.find(heatmapScaleText); scale != kScales.end()) {
    options.heatmapScale = scale->second;
  } else {
    error = "--heatmap-scale takes none, column or row, not '" + heatmapScaleText + "'";
    return std::nullopt;
  }
  if (missingText != "refuse" && missingText != "pairwise") {
    error = "--missing takes refuse or pairwise, not '" + missingText + "'";
    return std::nullopt;
  }
  options.missingPairwise = missingText == "pairwise";
  for (std::size_t from = 0; !categoricalText.empty() && from <= categoricalText.size();) {
    const std::size_t comma = std::min(categoricalText.find(',', from), categoricalText.size());
    options.categorical.push_back(categoricalText.substr(from, comma - from));
    from = comma + 1;
  }
  const MetricInfo* metric = FindMetric(options.metric);
  if (metric == nullptr) {
    error = "unknown metric '" + options.metric + "' (" + MetricNamesText() + ")";
    return std::nullopt;
  }
  options.metricCode = metric->metric;
  if (!pText.empty()) {
    options.minkowskiPGiven = true;
    const std::optional<long double> p = PositiveNumber(pText);
    if (!p) {
      error = "--p takes a number greater than 0 (inf for chebyshev), not '" + pText + "'";
      return std::nullopt;
    }
    options.minkowskiP = *p;
  }
  if (const auto wrong = CombinationError(options); wrong) {
    error = *wrong;
    return std::nullopt;
  }
  return options;
}

}  // namespace cluster
