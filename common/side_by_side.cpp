#include "common/side_by_side.h"

#include <cfenv>
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
    // The second piece computes with the caller's rounding and precision,
    // so either thread turns a number into the same text and back.
    std::fenv_t callersEnvironment;
    std::fegetenv(&callersEnvironment);
    try {
      helper = std::thread([&second, &secondError, callersEnvironment] {
        std::fesetenv(&callersEnvironment);
        std::feclearexcept(FE_ALL_EXCEPT);
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
