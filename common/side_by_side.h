// Two independent pieces of work run at once when there is a second core.
//
// Capturing and echoing a large data set convert millions of numbers, each
// on its own, and a second core halves that time. RunSideBySide runs the
// second piece on a thread of its own while the caller runs the first, and
// returns when both have ended. Without a second core, or when no thread
// can be started, the caller runs the two one after the other, and does not
// start the second once the first has failed.
//
// An exception from either piece reaches the caller after both have ended;
// when both fail, the first piece's is the one raised. The second piece
// runs with the caller's floating-point rounding and precision; the flags it
// raises stay on its own thread.
#pragma once

#include <functional>

namespace cluster {

void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second);

}  // namespace cluster
