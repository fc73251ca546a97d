// The choices a caller has about the memory of the matrix path's captured
// and working values (engine/matrix/working_memory.h holds the working
// values' memory itself).
#pragma once

namespace cluster {

// Where the working values lie. Huge pages spare a merge the address
// translations of its stores, one per row; a program that runs many
// analyses gains most from them. A tool that runs one analysis gets
// ordinary pages from the system at once, while huge pages are found and
// cleared afresh, which costs its set-up more than its merges gain.
enum class WorkPages { kHuge, kOrdinary };

// How the working values are laid out: by the number of objects (a square
// of split cells up to WorkingMemory::kLargestSquare, a triangle beyond),
// or always a triangle (for tests of that layout on small data).
enum class WorkShape { kBySize, kTriangle };

// Whether the captured dissimilarities are the store's own copy (80-bit
// values in a triangle) or a caller's doubles the store reads where they
// lie, which the run then takes no memory for.
enum class CapturedValues { kCopied, kBorrowed };

}  // namespace cluster
