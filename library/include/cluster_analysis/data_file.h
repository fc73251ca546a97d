// The desktop program's data files: labels and the dissimilarities of
// every pair, read exactly as the batch tool reads them.
#pragma once

#include <string>
#include <vector>

namespace cluster_analysis {

struct DataFile {
  std::vector<std::string> labels;     // UTF-8
  std::vector<long double> condensed;  // in SciPy's order, every bit as read
};

// Reads a native data file, or a CSV one when the name ends in .csv or
// .CSV. Numbers use the locale's decimal separator (LC_ALL, LC_NUMERIC,
// LANG), "." when none. FileError for a file that cannot be read or is not
// a data file, with the program's message.
DataFile LoadDataFile(const std::string& path);

}  // namespace cluster_analysis
