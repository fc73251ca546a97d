// The command line of cluster-analysis-batch.
//
//   cluster-analysis-batch --method METHOD [options] DATA_FILE
//
// Parsing is separate from running so that every usage error is found before
// anything is read or written. The few checks that need the data (a --cut
// beyond the number of objects) are made right after loading, still before
// any output is written.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/output_table.h"
#include "engine/metrics.h"
#include "plot/heatmap_figure.h"
#include "plot/tree_shape.h"

namespace cluster {

inline constexpr int kSmallestFontSize = 1;
inline constexpr int kLargestFontSize = 200;

struct BatchOptions {
  std::string method;            // as given: "ward", "single", ...
  std::uint8_t methodCode = 0;   // the store's DistType for it
  std::string dataFile;
  bool csv = false;              // --csv, or a name ending in ".csv" / ".CSV"
  bool observations = false;     // --observations: a table of coordinates
  bool tsv = false;              // --tsv, or a ".tsv" name: tabs between fields
  bool standardize = false;      // --standardize: z-scores of each column
  bool square = false;           // --square: a full square matrix, symmetric
  bool squareLower = false;      // --square-lower: its lower triangle only
  std::string metric = "euclidean";  // --metric NAME: the observations' dissimilarity
  Metric metricCode = Metric::kEuclidean;
  long double minkowskiP = 2;    // --p P: Minkowski's exponent
  bool minkowskiPGiven = false;
  std::vector<std::string> categorical;  // --categorical COLS: Gower's categorical columns
  bool noLabels = false;         // --no-labels: every column is a coordinate
  bool missingPairwise = false;  // --missing pairwise: distances over the coordinates both rows hold
  // The file of each output asked for (batch/output_table.h); "-" for
  // standard output.
  std::map<Output, std::string> outputs;
  // The file of an output, empty when it is not asked for.
  const std::string& File(Output output) const {
    static const std::string none;
    const auto found = outputs.find(output);
    return found == outputs.end() ? none : found->second;
  }
  std::optional<std::int32_t> cutGroups;  // --cut K
  std::optional<std::string> cutHeight;   // --cut-height H, read by the program's number rules
  std::string fontSize = "12";
  // The pictures.
  Orientation orientation = Orientation::kLeft;   // --orientation: the side the leaves are on
  std::optional<bool> plotScipyUnits;             // --plot-units; unset: as --units
  std::optional<std::string> colorThreshold;      // --color-threshold H, in the picture's units
  std::int32_t truncate = 0;                      // --truncate K: the last K - 1 merges only
  bool optimalLeafOrder = false;                  // --leaf-order optimal
  bool clusterColumns = false;                    // --heatmap-columns cluster
  HeatmapScale heatmapScale = HeatmapScale::kNone;  // --heatmap-scale
  bool scipyUnits = false;       // --units scipy: heights in SciPy's units everywhere
  bool memorySaving = false;     // --memory-saving: work from the coordinates
  bool matrix = false;           // --matrix: never work from the coordinates
  bool progress = false;         // --progress: show progress even off a terminal
  bool quiet = false;            // --quiet: never show progress
  bool timings = false;
  bool help = false;
  bool version = false;          // --version: print the version and stop
};

// The usage text printed by --help and after a usage error.
const std::string& BatchUsage();

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to what is wrong.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error);

}  // namespace cluster
