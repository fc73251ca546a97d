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
#include <optional>
#include <string>
#include <vector>

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
  std::string outputFile;        // --output: the output text file ("-" for standard output)
  std::string mergesFile;        // --merges, and the outputs below: "-" for standard output
  std::string linkageFile;       // --linkage: SciPy's linkage matrix
  std::string newickFile;        // --newick: the tree in Newick format
  std::string groupsFile;        // --groups: label and group of each object
  std::string copheneticFile;    // --cophenetic: the cophenetic correlation
  std::optional<std::int32_t> cutGroups;  // --cut K
  std::optional<std::string> cutHeight;   // --cut-height H, read by the program's number rules
  std::string plotFile;          // --plot: .pdf, .svg or .png
  std::string fontSize = "12";
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
const char* BatchUsage();

// The methods that can work from coordinates without a matrix.
bool MethodScales(std::uint8_t methodCode);

// The method names the tool takes, in the order the usage lists them, and
// the store's selector for one (nothing for an unknown name).
const std::vector<std::string>& BatchMethodNames();
std::optional<std::uint8_t> MethodCodeOf(const std::string& name);

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to what is wrong.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error);

}  // namespace cluster
