// The output text file's content: an echo of the data the run has read.
//
// Line 1 is empty, line 2 the header "読み込まれた距離...", then one line
// per object: its label and its dissimilarities to the objects before it,
// each field padded with blanks to 10 bytes (never cut, no separator), the
// numbers in the General format with 7 significant digits. Lines end with
// CR LF. The values are the dissimilarities as captured, not the engine's
// squared pair values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/float_checks.h"

namespace cluster {

class AnalysisStore;
class TextFile;

// What the echo reads of an analysis: the number of objects, each one's
// label (1-based, code page 932) and the dissimilarity of objects i > j.
struct EchoSource {
  std::int32_t objects = 0;
  std::function<const std::string&(std::int32_t)> label;
  std::function<Real(std::int32_t, std::int32_t)> dissimilarity;
};

// The echo's view of a store.
EchoSource EchoSourceOf(const AnalysisStore& store);

// Writes the echo into an open text file, checking every statement; an
// I/O failure raises EInOutError and leaves what was written.
void WriteDistanceEcho(TextFile& outputFile, const AnalysisStore& store);

// Writes the same bytes for a large store, formatting blocks of lines on two
// cores and handing each block over whole. An I/O failure raises EInOutError
// at the block it hits.
void WriteDistanceEchoInBulk(TextFile& outputFile, const AnalysisStore& store);
void WriteDistanceEchoInBulk(TextFile& outputFile, const EchoSource& source);

}  // namespace cluster
