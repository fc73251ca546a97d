#include "engine/coordinates/scan_team.h"

#include <system_error>
#include <thread>

#include "engine/coordinates/approximate_rows.h"

namespace cluster {

ScanTeam::ScanTeam(std::int32_t rows) {
  if (ApproximateRows::BlocksFor(rows) < kLeastSharedBlocks || std::thread::hardware_concurrency() < 2) return;
  try {
    helper_ = std::make_unique<HelperThread>();
  } catch (const std::system_error&) {
    // No thread to be had: the caller scans alone.
  }
}

}  // namespace cluster
