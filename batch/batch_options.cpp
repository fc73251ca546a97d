#include "batch/batch_options.h"

#include <map>

#include "engine/cluster_types.h"

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

const std::map<std::string, std::uint8_t>& MethodCodes() {
  static const std::map<std::string, std::uint8_t> codes = {
      {"single", kSingleLinkage},   {"complete", kCompleteLinkage}, {"average", kAverageLinkage},
      {"weighted", kWeightedLinkage}, {"median", kMedianMethod},       {"centroid", kCentroidMethod},
      {"ward", kWardMethod}};
  return codes;
}

// Checks what one option may only be given with another; the first thing
// wrong, or nothing.
std::optional<std::string> CombinationError(const BatchOptions& options) {
  if (options.cutGroups && options.cutHeight) return "--cut and --cut-height cannot both be given";
  if ((options.cutGroups || options.cutHeight) && options.groupsFile.empty()) {
    return std::string(options.cutGroups ? "--cut" : "--cut-height") + " needs --groups FILE";
  }
  if (!options.groupsFile.empty() && !options.cutGroups && !options.cutHeight) {
    return "--groups needs --cut K or --cut-height H";
  }
  if (options.standardize && !options.observations) return "--standardize needs --observations";
  if (options.tsv && !options.observations) return "--tsv needs --observations";
  if (options.observations && options.csv) return "--observations and --csv cannot both be given";
  if (options.memorySaving && options.matrix) return "--memory-saving and --matrix cannot both be given";
  if (options.memorySaving && !options.observations) return "--memory-saving needs --observations";
  if (options.memorySaving && !MethodScales(options.methodCode)) {
    return "--memory-saving works for single, median, centroid and ward, not " + options.method;
  }
  if (options.progress && options.quiet) return "--progress and --quiet cannot both be given";
  if (!options.plotFile.empty() && !HasPlotExtension(options.plotFile)) {
    return "--plot FILE must end in .pdf, .svg or .png";
  }
  return std::nullopt;
}

}  // namespace

const char* BatchUsage() {
  return "Usage: cluster-analysis-batch --method METHOD [options] DATA_FILE\n"
         "\n"
         "Runs one hierarchical cluster analysis without windows.\n"
         "DATA_FILE is a native data file of dissimilarities, a CSV data file when\n"
         "--csv is given or its name ends in .csv or .CSV, or with --observations a\n"
         "table of observations (label, then coordinates).\n"
         "\n"
         "Methods:\n"
         "  single, complete, average, weighted  on the dissimilarities as given\n"
         "  median, centroid                     on squared dissimilarities\n"
         "  ward                                 on halved squared dissimilarities\n"
         "\n"
         "Options:\n"
         "  --method METHOD         the agglomeration method (required)\n"
         "  --csv                   read DATA_FILE as a CSV data file\n"
         "  --observations          read DATA_FILE as a table of observations; their\n"
         "                          Euclidean distances are the dissimilarities\n"
         "  --tsv                   the table's fields are separated by tabs (also for a\n"
         "                          name ending in .tsv), else by commas\n"
         "  --standardize           turn each coordinate column into z-scores first\n"
         "  --output FILE           write the output text file (the echo of the data)\n"
         "  --merges FILE           write one line per merge: left, right, id, height,\n"
         "                          members, separated by tabs\n"
         "  --linkage FILE          write the merges as SciPy's linkage matrix\n"
         "  --newick FILE           write the tree in Newick format\n"
         "  --cut K                 cut the tree into K groups, or\n"
         "  --cut-height H          cut it where merge heights exceed H, and\n"
         "  --groups FILE           write each object's label and group\n"
         "  --cophenetic FILE       write the cophenetic correlation coefficient\n"
         "  --memory-saving         cluster observations from their coordinates, in\n"
         "                          memory that grows with n (single, median,\n"
         "                          centroid, ward); the default when the matrix\n"
         "                          would not fit the memory available\n"
         "  --matrix                never do so: always work on the matrix\n"
         "  --plot FILE             draw the dendrogram as PDF, SVG or PNG (by the ending)\n"
         "  --font-size POINTS      font size of the dendrogram, 1 to 200 (default 12)\n"
         "  --units own|scipy       heights of --merges, --newick, --cut-height and the\n"
         "                          picture's axis in the method's own units (default)\n"
         "                          or in SciPy's, as --linkage writes them\n"
         "  --progress              show progress on standard error, even when it is\n"
         "                          not a terminal\n"
         "  --quiet                 never show progress\n"
         "  --timings               print milliseconds per phase (three decimals) on\n"
         "                          standard error\n"
         "  --help                  print this text\n"
         "  --version               print the version\n"
         "\n"
         "FILE - is the standard output. No output may be the data file, and no two\n"
         "outputs the same file.\n"
         "Exit status: 0 success, 1 the data or a file failed, 2 usage error.\n";
}

bool MethodScales(std::uint8_t methodCode) {
  return methodCode == kSingleLinkage || methodCode == kMedianMethod || methodCode == kCentroidMethod ||
         methodCode == kWardMethod;
}

const std::vector<std::string>& BatchMethodNames() {
  static const std::vector<std::string> names = {"single", "complete", "average", "weighted",
                                                 "median", "centroid", "ward"};
  return names;
}

std::optional<std::uint8_t> MethodCodeOf(const std::string& name) {
  const auto found = MethodCodes().find(name);
  if (found == MethodCodes().end()) return std::nullopt;
  return found->second;
}

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  BatchOptions options;
  std::vector<std::string> positional;
  std::string cutText;
  std::string unitsText = "own";
  bool cutGiven = false;
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
    const std::map<std::string, std::string*> valued = {
        {"--method", &options.method},         {"--output", &options.outputFile},
        {"--merges", &options.mergesFile},     {"--linkage", &options.linkageFile},
        {"--newick", &options.newickFile},     {"--groups", &options.groupsFile},
        {"--cophenetic", &options.copheneticFile}, {"--plot", &options.plotFile},
        {"--font-size", &options.fontSize},    {"--cut", &cutText},
        {"--units", &unitsText}};
    const std::map<std::string, bool*> flags = {
        {"--csv", &options.csv},         {"--observations", &options.observations},
        {"--tsv", &options.tsv},         {"--standardize", &options.standardize},
        {"--timings", &options.timings}, {"--memory-saving", &options.memorySaving},
        {"--matrix", &options.matrix},   {"--progress", &options.progress},
        {"--quiet", &options.quiet}};
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    } else if (arg == "--version") {
      options.version = true;
      return options;
    } else if (const auto option = valued.find(arg); option != valued.end()) {
      if (!value(*option->second)) return std::nullopt;
      if (arg == "--cut") cutGiven = true;
    } else if (arg == "--cut-height") {
      std::string height;
      if (!value(height)) return std::nullopt;
      options.cutHeight = height;
    } else if (const auto flag = flags.find(arg); flag != flags.end()) {
      *flag->second = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      positional.push_back(arg);
    }
  }
  if (options.method.empty()) {
    error = "--method METHOD is required";
    return std::nullopt;
  }
  const auto code = MethodCodeOf(options.method);
  if (!code) {
    error = "unknown method '" + options.method +
            "' (single, complete, average, weighted, median, centroid or ward)";
    return std::nullopt;
  }
  options.methodCode = *code;
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
  if (options.observations) {
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
  if (const auto wrong = CombinationError(options); wrong) {
    error = *wrong;
    return std::nullopt;
  }
  return options;
}

}  // namespace cluster
