// How much memory a run may take, and how much it will need.
//
// A run that cannot fit must be refused before it allocates anything large,
// never killed half way by the system. What the process may use is the
// least of three: the system's available memory (MemAvailable), the limit
// of its control groups less what they use, and the address space
// `ulimit -v` leaves beside what the process has already mapped. The
// estimates count what the large parts of a run take; they are upper
// bounds for the data and leave room for the program itself.
#pragma once

#include <cstdint>
#include <string>

#include "common/errors.h"
#include "engine/matrix/work_pages.h"

namespace cluster {

struct MemoryLimit {
  std::uint64_t bytes = 0;
  std::string what;  // "available memory", "the control group's limit", "ulimit -v"
};

// The least of the three limits, read now.
MemoryLimit UsableMemory();

// The room the process's control groups leave: for each hierarchy that
// limits memory (cgroup v2's, or v1's memory controller), the least of limit
// less usage over the process's group and every group above it, as read
// from /proc/self/cgroup and /sys/fs/cgroup under `root` ("" for the
// system's own; tests give a folder of their own). The largest number
// when nothing limits it.
std::uint64_t ControlGroupRoom(const std::string& root);

// What a run needs, the program itself included: on the matrix, what the
// store says its run takes (AnalysisStore::RunBytes); from coordinates, the
// table of observations and what the coordinate path says it takes
// (CoordinateRunBytes).
std::uint64_t MatrixRunNeeds(std::int64_t objects, std::uint8_t method,
                             CapturedValues captured = CapturedValues::kCopied);
std::uint64_t CoordinateRunNeeds(std::int64_t objects, std::int64_t columns);

// A size for people: "1.4 GB", "512 MB".
std::string MemoryText(std::uint64_t bytes);

// A run that would not fit the memory the process may take, refused before
// anything large is allocated; the message gives what it needs and what
// there is.
class EMemoryRefused : public Exception {
 public:
  using Exception::Exception;
};

// Whether the matrix path's run fits, and the checks that refuse one that
// does not (`extra` ends the message): on the matrix, from coordinates, and
// a table's values growing by `bytes` as it is read.
bool MatrixFits(std::int64_t objects, std::uint8_t method);
void CheckMatrixFits(std::int64_t objects, std::uint8_t method, const std::string& extra = "",
                     CapturedValues captured = CapturedValues::kCopied);
void CheckCoordinatesFit(std::int64_t objects, std::int64_t columns);
void CheckTableGrowth(std::uint64_t bytes);
// The same for the tables of an optimal leaf order (engine/leaf_order.h).
void CheckLeafOrderFits(std::int64_t objects);

}  // namespace cluster
