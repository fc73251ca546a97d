#include "batch/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace cluster {

namespace {

std::string ClockText(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

ProgressLine::ProgressLine(bool show, Clock::duration quietStart, Clock::duration interval, Now now,
                           Drawing drawing)
    : show_(show), quietStart_(quietStart), interval_(interval), now_(std::move(now)), start_(now_()),
      phaseStart_(start_) {
  if (show_ && drawing == Drawing::kOwnThread) thread_ = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() { End(); }

bool ProgressLine::StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ProgressLine::Begin(const std::string& phase, std::int64_t total, Measure measure) {
  const std::lock_guard<std::mutex> lock(mutex_);
  phase_ = phase;
  total_ = total;
  measure_ = measure;
  phaseStart_ = now_();
  done_.store(0, std::memory_order_relaxed);
}

void ProgressLine::End() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) return;
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  const std::lock_guard<std::mutex> lock(mutex_);
  ClearLine();
}

void ProgressLine::Note(const std::string& message) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ClearLine();
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}

// Blanks the line shown, if any, and returns to its start. The mutex is held.
void ProgressLine::ClearLine() {
  if (shownLength_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(shownLength_, ' ').c_str());
  std::fflush(stderr);
  shownLength_ = 0;
}

double ProgressLine::ShareOf(std::int64_t done, std::int64_t total, Measure measure) {
  if (total <= 0) return -1;
  const double part = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  switch (measure) {
    case Measure::kTriangleRows: return part * part;
    case Measure::kMerges: return 1 - (1 - part) * (1 - part);
    default: return part;
  }
}

std::string ProgressLine::Line(const std::string& phase, double share, double elapsed, double left) {
  std::string line = phase;
  if (share >= 0) {
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(share * 100));
    line += percent;
  }
  line += "  " + ClockText(elapsed) + " elapsed";
  if (left >= 0) line += ", about " + ClockText(left) + " left";
  return line;
}

void ProgressLine::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, quietStart_, [this] { return stop_; })) return;
  while (!stop_) {
    DrawLocked();
    wake_.wait_for(lock, interval_, [this] { return stop_; });
  }
}

void ProgressLine::Draw() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (show_ && !stop_) DrawLocked();
}

// The mutex is held.
void ProgressLine::DrawLocked() {
  const auto now = now_();
  if (now - start_ < quietStart_) return;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double inPhase = std::chrono::duration<double>(now - phaseStart_).count();
  const std::int64_t done = done_.load(std::memory_order_relaxed);
  const double share = ShareOf(done, total_, measure_);
  // The time left, once enough of the phase is done to tell.
  const double left = share > 0.01 ? inPhase * (1 - share) / share : -1;
  std::string line = Line(phase_, share, elapsed, left);
  const std::size_t length = line.size();
  if (length < shownLength_) line.append(shownLength_ - length, ' ');
  shownLength_ = length;
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

}  // namespace cluster
