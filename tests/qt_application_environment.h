// One Qt application object for all cases of a test program, made before
// the first case and destroyed before the program's static objects are:
// Qt's own teardown crashes when the application object outlives it.
// Include this once per test program that shows widgets.
#pragma once

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace cluster {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "cluster-tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] inline ::testing::Environment* const kQtApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace cluster
