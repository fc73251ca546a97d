#include "common/side_by_side.h"

#include <exception>
#include <system_error>
#include <thread>

namespace cluster {

namespace {
bool HasSecondCore() noexcept {
  static const bool hasSecondCore = std::thread::hardware_concurrency() >= 2;
  return hasSecondCore;
}
}  // namespace

void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second) {
  std::exception_ptr secondError;
  std::thread helper;
  if (HasSecondCore()) {
    try {
      helper = std::thread([&second, &secondError] {
        try {
          second();
        } catch (...) {
          secondError = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: the caller does both.
    }
  }
  std::exception_ptr firstError;
  try {
    first();
  } catch (...) {
    firstError = std::current_exception();
  }
  if (helper.joinable()) {
    helper.join();
  } else if (!firstError) {
    second();
    return;
  }
  if (firstError) std::rethrow_exception(firstError);
  if (secondError) std::rethrow_exception(secondError);
}

}  // namespace cluster
