// The command line of cluster-analysis-batch.
//
//   cluster-analysis-batch --method ward|centroid [options] DATA_FILE
//
// Parsing is separate from running so that every usage error is found before
// anything is read or written.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cluster {

inline constexpr int kSmallestFontSize = 1;
inline constexpr int kLargestFontSize = 200;

struct BatchOptions {
  std::string method;      // "ward" or "centroid"
  std::string dataFile;
  bool csv = false;        // --csv, or a name ending in ".csv" / ".CSV"
  std::string outputFile;  // --output: the output text file ("-" for standard output)
  std::string mergesFile;  // --merges: "-" for standard output
  std::string plotFile;    // --plot: .pdf, .svg or .png
  std::string fontSize = "12";
  bool timings = false;
  bool help = false;
  bool version = false;    // --version: print the version and stop
};

// The usage text printed by --help and after a usage error.
const char* BatchUsage();

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to what is wrong.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error);

}  // namespace cluster
