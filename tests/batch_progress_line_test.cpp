// The progress line: what it says, that it is rewritten in place and
// cleared, and that nothing is written when it is not to be shown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

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

// A clock the test moves, and a line that it draws itself.
class DrawnLine {
 public:
  explicit DrawnLine(bool show, ProgressLine::Clock::duration quietStart = 1s)
      : line_(show, quietStart, 250ms, [this] { return now_; }, ProgressLine::Drawing::kByTheCaller) {}
  ProgressLine& operator*() { return line_; }
  ProgressLine* operator->() { return &line_; }
  void After(ProgressLine::Clock::duration elapsed) { now_ = ProgressLine::Clock::time_point() + elapsed; }

 private:
  ProgressLine::Clock::time_point now_{};
  ProgressLine line_;
};

// What standard error receives while `steps` run.
template <typename Steps>
std::string WrittenBy(Steps steps) {
  testing::ScratchDir dir;
  CapturedStandardError captured(dir.Path("stderr"));
  steps();
  return captured.Text();
}

TEST(ProgressLineTest, ShownInPlaceAndClearedAtTheEnd) {
  const std::string text = WrittenBy([] {
    DrawnLine line(true);
    line->Begin("merging", 200);
    line->Done() = 100;
    line.After(75s);  // 100 of 200 in 75 s: as long again to go
    line->Draw();
    line->Done() = 150;
    line.After(90s);
    line->Draw();
  });
  EXPECT_EQ(text.substr(0, text.find('\r', 1)), "\rmerging  50%  1:15 elapsed, about 1:15 left");
  EXPECT_NE(text.find("\rmerging  75%  1:30 elapsed, about 0:30 left"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << "one line, rewritten in place";
  // The last thing written blanks the line and returns to its start.
  EXPECT_EQ(text.substr(text.rfind('\r', text.size() - 2)), "\r" + std::string(43, ' ') + "\r");
}

TEST(ProgressLineTest, ANoteClearsTheLineAndStandsOnItsOwn) {
  const std::string text = WrittenBy([] {
    DrawnLine line(true);
    line->Begin("loading", 0);
    line.After(2s);
    line->Draw();
    line->Note("a warning");
    line->Draw();
  });
  EXPECT_EQ(text, "\rloading  0:02 elapsed\r" + std::string(21, ' ') + "\ra warning\n\rloading  0:02 elapsed\r" +
                                 std::string(21, ' ') + "\r");
}

TEST(ProgressLineTest, NothingWhenNotShownOrWhenTheRunIsShort) {
  EXPECT_EQ(WrittenBy([] {
              DrawnLine hidden(false);
              hidden->Begin("merging", 10);
              hidden.After(5s);
              hidden->Draw();
              DrawnLine shortRun(true, 10s);
              shortRun->Begin("loading", 0);
              shortRun.After(9s);
              shortRun->Draw();
            }),
            "");
}

}  // namespace
}  // namespace cluster
