// The output text file's content: an echo of the data the run has read.
//
// Line 1 is empty, line 2 the header "読み込まれた距離...", then one line
// per object: its label and its dissimilarities to the objects before it,
// each field padded with blanks to 10 bytes (never cut, no separator), the
// numbers in the General format with 7 significant digits. Lines end with
// CR LF. The values are the dissimilarities as captured, not the engine's
// squared pair values.
#pragma once

namespace cluster {

class AnalysisStore;
class TextFile;

// Writes the echo into an open text file, checking every statement; an
// I/O failure raises EInOutError and leaves what was written.
void WriteDistanceEcho(TextFile& outputFile, const AnalysisStore& store);

// Writes the same bytes for a large store, formatting blocks of lines on two
// cores and handing each block over whole. An I/O failure raises EInOutError
// at the block it hits.
void WriteDistanceEchoInBulk(TextFile& outputFile, const AnalysisStore& store);

}  // namespace cluster
