// The progress line: what it says, that it is rewritten in place and
// cleared, and that nothing is written when it is not to be shown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "batch/progress_line.h"
#include "tests/scratch_dir.h"
#include "tests/file_bytes.h"

namespace cluster {
namespace {

using namespace std::chrono_literals;

// Standard error, captured into a file for the life of the object.
class CapturedStandardError {
 public:
  explicit CapturedStandardError(const std::string& path) : path_(path) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    std::FILE* file = std::fopen(path.c_str(), "w");
    dup2(fileno(file), STDERR_FILENO);
    std::fclose(file);
  }
  ~CapturedStandardError() { Restore(); }
  std::string Text() {
    Restore();
    return testing::FileBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

TEST(ProgressLineTest, TheLineNamesThePhaseTheShareAndTheTimes) {
  EXPECT_EQ(ProgressLine::Line("merging", 0.5, 75, 75), "merging  50%  1:15 elapsed, about 1:15 left");
  EXPECT_EQ(ProgressLine::Line("loading", -1, 3725, -1), "loading  1:02:05 elapsed");
  EXPECT_EQ(ProgressLine::Line("distances", 1, 0.4, 0), "distances 100%  0:00 elapsed, about 0:00 left");
}

TEST(ProgressLineTest, SharesWeighWhatTheUnitsCost) {
  // Half the rows of a triangle hold a quarter of its values; after half
  // the merges, the clusters left cost a quarter of the pair scans.
  EXPECT_DOUBLE_EQ(ProgressLine::ShareOf(50, 100, ProgressLine::Measure::kUnits), 0.5);
  EXPECT_DOUBLE_EQ(ProgressLine::ShareOf(50, 100, ProgressLine::Measure::kTriangleRows), 0.25);
  EXPECT_DOUBLE_EQ(ProgressLine::ShareOf(50, 100, ProgressLine::Measure::kMerges), 0.75);
  // No total: no share; a counter past its total: all done.
  EXPECT_EQ(ProgressLine::ShareOf(5, 0, ProgressLine::Measure::kMerges), -1);
  EXPECT_EQ(ProgressLine::ShareOf(120, 100, ProgressLine::Measure::kTriangleRows), 1);
}

TEST(ProgressLineTest, ShownInPlaceAndClearedAtTheEnd) {
  testing::ScratchDir dir;
  CapturedStandardError captured(dir.Path("stderr"));
  {
    ProgressLine report(true, 0ms, 5ms);
    report.Begin("merging", 200);
    report.Done() = 100;
    std::this_thread::sleep_for(60ms);
  }
  const std::string text = captured.Text();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.front(), '\r');
  EXPECT_NE(text.find("\rmerging  50%  0:00 elapsed"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << "one line, rewritten in place";
  // The last thing written blanks the line and returns to its start.
  EXPECT_EQ(text.back(), '\r');
  EXPECT_EQ(text.substr(text.rfind('\r', text.size() - 2) + 1, 5), "     ");
}

TEST(ProgressLineTest, ANoteClearsTheLineAndStandsOnItsOwn) {
  testing::ScratchDir dir;
  CapturedStandardError captured(dir.Path("stderr"));
  {
    ProgressLine report(true, 0ms, 5ms);
    report.Begin("loading", 0);
    std::this_thread::sleep_for(40ms);
    report.Note("a warning");
    std::this_thread::sleep_for(40ms);
  }
  const std::string text = captured.Text();
  const std::size_t note = text.find("a warning\n");
  ASSERT_NE(note, std::string::npos) << text;
  // The line shown before the note was blanked right before it ...
  ASSERT_GE(note, 2u);
  EXPECT_EQ(text[note - 1], '\r');
  EXPECT_EQ(text[note - 2], ' ');
  // ... and the report goes on after it.
  EXPECT_NE(text.find("\rloading", note), std::string::npos) << text;
}

TEST(ProgressLineTest, NothingWhenNotShownOrWhenTheRunIsShort) {
  testing::ScratchDir dir;
  CapturedStandardError captured(dir.Path("stderr"));
  {
    ProgressLine hidden(false, 0ms, 5ms);
    hidden.Begin("merging", 10);
    ProgressLine shortRun(true, 10s, 5ms);
    shortRun.Begin("loading", 0);
    std::this_thread::sleep_for(30ms);
  }
  EXPECT_EQ(captured.Text(), "");
}

}  // namespace
}  // namespace cluster
