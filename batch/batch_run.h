// One analysis of the batch tool, from the data file to the last output.
//
// The run reads the data (a matrix file straight into a store sized to the
// objects read, or a table of observations), refuses what would not fit the
// memory it may take before allocating anything large, merges, and writes
// every output asked for, each checked to its last byte and its close. A
// progress line shows where a long run stands (progress_line.h).
// Failures leave the run as exceptions: the program's own (cluster::
// Exception, EMemoryRefused among them) and the three kinds below.
#pragma once

#include <string>

#include "batch/batch_options.h"

namespace cluster {

// A failure of one file, an output or the data, reported with its name.
struct FileFailure {
  std::string name;     // UTF-8
  std::string message;  // code page 932
};

// Data that leave nothing to cluster (fewer than two objects, or no
// coordinate once standardized), refused before any output is written.
struct DataFailure {
  std::string message;
};

// A usage error found once the data are read (a cut into more groups than
// there are objects): reported like the others, before any output.
struct UsageFailure {
  std::string message;
};

// Runs the analysis the options ask for. The Qt application object (an
// offscreen one) must exist when a picture is asked for. Returns the exit
// status for a data file that does not convert (1, after its message); 0
// when all went well.
int RunBatch(const BatchOptions& options);

}  // namespace cluster
