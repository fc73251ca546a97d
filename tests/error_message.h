// The message of the error an action raises, for tests that expect one:
// EXPECT_EQ(Utf8MessageOf<EPrinter>([] { ... }), "現在印刷中です").
//
// The message is turned from code page 932 into UTF-8, so that it compares
// with the Japanese texts of the test source and prints readably when an
// expectation fails. An action that raises nothing gives "(no error)"; an
// error of any other type goes on and fails the test where it is raised.
#pragma once

#include <string>
#include <utility>

#include "common/codepage.h"

namespace cluster::testing {

template <typename Error, typename Action>
std::string Utf8MessageOf(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const Error& error) {
    return Utf8FromCp932(error.Message());
  }
  return "(no error)";
}

}  // namespace cluster::testing
