#include "app/batch_options.h"

namespace cluster {

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A whole number of points from 1 to 200, digits only: a larger font makes
// a picture no viewer opens, long before it is useful.
bool IsFontSize(const std::string& text) {
  if (text.empty() || text.size() > 3) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int points = std::stoi(text);
  return points >= kSmallestFontSize && points <= kLargestFontSize;
}

bool HasPlotExtension(const std::string& name) {
  for (const char* extension : {".pdf", ".svg", ".png", ".PDF", ".SVG", ".PNG"}) {
    if (EndsWith(name, extension)) return true;
  }
  return false;
}

}  // namespace

const char* BatchUsage() {
  return "Usage: cluster-analysis-batch --method ward|centroid [options] DATA_FILE\n"
         "\n"
         "Runs one hierarchical cluster analysis without windows.\n"
         "DATA_FILE is a native data file, or a CSV data file when --csv is given\n"
         "or its name ends in .csv or .CSV.\n"
         "\n"
         "Options:\n"
         "  --method ward|centroid  the agglomeration method (required)\n"
         "  --csv                   read DATA_FILE as a CSV data file\n"
         "  --output FILE           write the output text file (the echo of the data;\n"
         "                          - for standard output)\n"
         "  --merges FILE           write one line per merge: left, right, id, height,\n"
         "                          members, separated by tabs (- for standard output)\n"
         "  --plot FILE             draw the dendrogram as PDF, SVG or PNG (by the ending)\n"
         "  --font-size POINTS      font size of the dendrogram, 1 to 200 (default 12)\n"
         "  --timings               print milliseconds per phase (three decimals) on\n"
         "                          standard error\n"
         "  --help                  print this text\n"
         "  --version               print the version\n"
         "\n"
         "\n"
         "No output may be the data file, and no two outputs the same file.\n"
         "Exit status: 0 success, 1 the data or a file failed, 2 usage error.\n";
}

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  BatchOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      target = args[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    } else if (arg == "--version") {
      options.version = true;
      return options;
    } else if (arg == "--method") {
      if (!value(options.method)) return std::nullopt;
    } else if (arg == "--output") {
      if (!value(options.outputFile)) return std::nullopt;
    } else if (arg == "--merges") {
      if (!value(options.mergesFile)) return std::nullopt;
    } else if (arg == "--plot") {
      if (!value(options.plotFile)) return std::nullopt;
    } else if (arg == "--font-size") {
      if (!value(options.fontSize)) return std::nullopt;
    } else if (arg == "--csv") {
      options.csv = true;
    } else if (arg == "--timings") {
      options.timings = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  if (options.method.empty()) {
    error = "--method ward|centroid is required";
    return std::nullopt;
  }
  if (options.method != "ward" && options.method != "centroid") {
    error = "unknown method '" + options.method + "' (ward or centroid)";
    return std::nullopt;
  }
  if (positional.size() != 1) {
    error = positional.empty() ? "no DATA_FILE given" : "more than one DATA_FILE given";
    return std::nullopt;
  }
  options.dataFile = positional.front();
  if (EndsWith(options.dataFile, ".csv") || EndsWith(options.dataFile, ".CSV")) options.csv = true;
  if (!IsFontSize(options.fontSize)) {
    error = "--font-size must be a whole number of points from 1 to 200";
    return std::nullopt;
  }
  if (!options.plotFile.empty() && !HasPlotExtension(options.plotFile)) {
    error = "--plot FILE must end in .pdf, .svg or .png";
    return std::nullopt;
  }
  return options;
}

}  // namespace cluster
