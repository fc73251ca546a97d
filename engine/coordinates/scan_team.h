// The caller and, for long scans, a helper thread sharing a scan's blocks.
//
// Every scan of the coordinate methods computes one value per row from that
// row alone, so its blocks split into two independent parts
// (common/helper_thread.h), which claim runs of blocks as they go. A short
// scan is not worth the hand-over and runs on the caller alone; so does
// every scan when the machine has one core or the set is small. Either way
// a job is called once for each part, the second part possibly empty, so
// that results kept per part are always reset by their own call.
//
// A job first copies what it reads for every block (pointers, the bound
// factors, the rows' Reader) into locals of its own. The job and whatever it
// refers to live with the caller, next to data the caller writes while its
// own part runs; reading them again for every block would pass those cache
// lines back and forth between the cores (it cost the helper half its time).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/helper_thread.h"

namespace cluster {

// The blocks one part of a scan takes: runs of blocks claimed one after
// another from a count both parts share, so that a part that meets cheaper
// blocks takes more of them, while each run is read in order.
class BlockRange {
 public:
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (;;) {
      const std::size_t start = next_ != nullptr ? next_->fetch_add(run_, std::memory_order_relaxed) : first_;
      if (start >= last_) return;
      const std::size_t end = start + run_ < last_ ? start + run_ : last_;
      for (std::size_t block = start; block < end; ++block) visit(block);
      if (next_ == nullptr) return;
    }
  }

 private:
  friend class ScanTeam;
  BlockRange(std::atomic<std::size_t>* next, std::size_t first, std::size_t last, std::size_t run)
      : next_(next), first_(first), last_(last), run_(run) {}

  std::atomic<std::size_t>* next_;  // null: the blocks [first, last) alone
  std::size_t first_;
  std::size_t last_;
  std::size_t run_;
};

class ScanTeam {
 public:
  // A team for scans over at most `rows` rows.
  explicit ScanTeam(std::int32_t rows);

  // Calls job(range, part) for the two parts of blocks [first, last). The
  // job must not throw (see HelperThread::Run).
  template <typename Job>
  void Run(std::size_t first, std::size_t last, Job& job) {
    if (helper_ != nullptr && last - first >= kLeastSharedBlocks) {
      alignas(64) std::atomic<std::size_t> next{first};
      auto shared = [&](std::size_t, std::size_t, HelperThread::Part part) {
        job(BlockRange(&next, first, last, kRunBlocks), part);
      };
      helper_->Run(2, 1, shared);
      return;
    }
    job(BlockRange(nullptr, first, last, last - first), HelperThread::kFirstPart);
    job(BlockRange(nullptr, last, last, 0), HelperThread::kSecondPart);
  }

 private:
  static constexpr std::size_t kLeastSharedBlocks = 96;
  // Long enough that claiming a run costs little beside reading it.
  static constexpr std::size_t kRunBlocks = 32;
  std::unique_ptr<HelperThread> helper_;
};

}  // namespace cluster
