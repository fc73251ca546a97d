// How the data window reports to the run that opened it.
//
// The run sets DataWindowOutcome to 0 when it shows a data window and waits
// while it stays 0. A method button that captured the data sets 1 (proceed);
// "閉じる" sets 9 (cancelled). Closing the window any other way (its title
// bar) while the code is still 0 cancels too: going on would analyse
// whatever the store happens to hold, possibly half of a failed capture.
#pragma once

#include <cstdint>

namespace cluster {

inline constexpr std::int32_t kDataWindowWaiting = 0;
inline constexpr std::int32_t kDataWindowProceed = 1;
inline constexpr std::int32_t kDataWindowCancelled = 9;

// The outcome code; 0 at program start.
extern std::int32_t DataWindowOutcome;

// The code after the window closed, given the code before.
constexpr std::int32_t OutcomeAfterClose(std::int32_t outcome) noexcept {
  return outcome == kDataWindowWaiting ? kDataWindowCancelled : outcome;
}

}  // namespace cluster
