// The caller and, for long scans, a helper thread sharing a scan's blocks.
//
// Every scan of the coordinate methods computes one value per row from that
// row alone, so its blocks split into two independent parts
// (common/helper_thread.h). A short scan is not worth the hand-over and runs
// on the caller alone; so does every scan when the machine has one core or
// the set is small. Either way a job is called once for each part, the
// second part possibly empty, so that results kept per part are always
// reset by their own call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/helper_thread.h"

namespace cluster {

class ScanTeam {
 public:
  // A team for scans over at most `rows` rows.
  explicit ScanTeam(std::int32_t rows);

  // Calls job(first, last, part) for the two parts of blocks [0, blocks).
  // The job must not throw (see HelperThread::Run).
  template <typename Job>
  void Run(std::size_t blocks, Job& job) {
    if (helper_ != nullptr && blocks >= kLeastSharedBlocks) {
      // Halves: between the passes of a run the helper watches for the
      // next one, so it joins within a moment.
      helper_->Run(blocks, blocks / 2, job);
      return;
    }
    job(std::size_t{0}, blocks, HelperThread::kFirstPart);
    job(blocks, blocks, HelperThread::kSecondPart);
  }

 private:
  static constexpr std::size_t kLeastSharedBlocks = 96;
  std::unique_ptr<HelperThread> helper_;
};

}  // namespace cluster
