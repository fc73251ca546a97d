// Data files read straight into a capture give what loading them into the
// grids and capturing gives, and cost what the file holds, not what it
// declares.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <new>
#include <random>

#include "tests/sanitizer_build.h"
#include "common/errors.h"
#include "common/text_file.h"
#include "desktop/datawindow/csv_file.h"
#include "desktop/datawindow/data_capture.h"
#include "datafiles/file_capture.h"
#include "desktop/datawindow/native_file.h"
#include "datafiles/object_limit.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::ScratchDir;

constexpr std::int32_t kLimit = 50;

// What either way of reading makes of a file: the failing cell, or the
// labels and the bits of every value; or the error that stopped the load.
struct Outcome {
  std::string error;  // the exception's message, if one ended the load
  std::optional<CaptureFailure> failure;
  std::vector<std::string> labels;
  std::vector<long double> values;
};

bool operator==(const Outcome& a, const Outcome& b) {
  const auto sameFailure = a.failure.has_value() == b.failure.has_value() &&
                           (!a.failure || (a.failure->Row == b.failure->Row && a.failure->Col == b.failure->Col &&
                                           a.failure->Text == b.failure->Text));
  if (a.error != b.error || !sameFailure || a.labels != b.labels || a.values.size() != b.values.size()) {
    return false;
  }
  for (std::size_t k = 0; k < a.values.size(); ++k) {
    if (std::memcmp(&a.values[k], &b.values[k], 10) != 0) return false;
  }
  return true;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "error '" << o.error << "'";
  if (o.failure) out << " failure [" << o.failure->Row << "," << o.failure->Col << "] '" << o.failure->Text << "'";
  out << " labels " << o.labels.size() << " values " << o.values.size();
  return out;
}

Outcome ThroughTheGrids(const std::string& path, bool csv) {
  Outcome outcome;
  DataGrids grids;
  IoErrorCode() = 0;
  try {
    if (csv) {
      LoadCsvFile(grids, path, kLimit);
    } else {
      LoadNativeFile(grids, path, kLimit);
    }
  } catch (const Exception& e) {
    outcome.error = e.Message();
    return outcome;
  }
  AnalysisStore store(kLimit);
  outcome.failure = CaptureData(grids, store, kWardMethod);
  if (outcome.failure) return outcome;
  for (std::int32_t i = 1; i <= store.ObjectCount; ++i) outcome.labels.push_back(store.ObjectNames(i));
  for (std::int32_t i = 2; i <= store.ObjectCount; ++i) {
    for (std::int32_t j = 1; j < i; ++j) outcome.values.push_back(store.DistMatrix(i, j));
  }
  return outcome;
}

Outcome Straight(const std::string& path, bool csv) {
  Outcome outcome;
  IoErrorCode() = 0;
  try {
    FileCapture capture = csv ? CaptureCsvFile(path, kLimit) : CaptureNativeFile(path, kLimit);
    outcome.failure = capture.Failure;
    if (outcome.failure) return outcome;
    outcome.labels = capture.Labels;
    const auto n = static_cast<std::int32_t>(capture.Labels.size());
    for (std::int32_t i = 2; i <= n; ++i) {
      for (std::int32_t j = 1; j < i; ++j) outcome.values.push_back(capture.Values.At(i, j));
    }
  } catch (const Exception& e) {
    outcome.error = e.Message();
  }
  return outcome;
}

class FileCaptureTest : public ::testing::Test {
 protected:
  void ExpectSame(const std::string& bytes, bool csv) {
    dir.Write("data", bytes);
    const Outcome reference = ThroughTheGrids(dir.Path("data"), csv);
    EXPECT_EQ(Straight(dir.Path("data"), csv), reference) << (csv ? "csv: " : "native: ") << bytes;
  }
  ScratchDir dir;
};

TEST_F(FileCaptureTest, NativeFilesReadAsTheGridsAndTheCaptureReadThem) {
  for (const std::string& bytes : {
           std::string("3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n"),
           std::string("3 objects\nA\n B \n\nx\n4\n1.25"),   // text after the count, LF ends, untrimmed
           std::string("3\r\nA\r\nB\r\nC\r\n2.5\r\nfour\r\n1.25\r\n"),  // a bad cell
           std::string("4\r\nA\r\nB\r\n"),                  // ends among the labels
           std::string("4\r\nA\r\nB\r\nC\r\nD\r\n1\r\n2\r\n"),  // ends among the values
           std::string("1\r\nA\r\n"), std::string("0\r\n"), std::string("-3\r\n"), std::string(""),
           std::string("three\r\n"), std::string("51\r\n"),  // not a count; above the limit
           std::string("2\r\nA\r\nB\r\n 1E2 \r\n"), std::string("2\r\nA\r\nB\r\n1\x1A" "2\r\n"),
       }) {
    ExpectSame(bytes, false);
  }
}

TEST_F(FileCaptureTest, CsvFilesReadAsTheGridsAndTheCaptureReadThem) {
  for (const std::string& bytes : {
           std::string(",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n"),
           std::string(",A,B,C\r\nignored\r\nx,2.5,extra,fields\r\ny,4,1.25,9\r\n"),
           std::string(",\"a b\",\"x,y\"\r\n\r\n,\"1\"\r\n"),
           std::string(",A,B,C\r\nA\r\nB,2.5\r\nC,4\r\n"),     // a short row
           std::string(",A,B,C\r\nA\r\nB,2.5\r\n"),           // a missing row
           std::string(",A,B,C\r\nA\r\nB,2.5\r\nC,x,1\r\n"),   // a bad cell
           std::string(",A\r\n"), std::string("A\r\n"), std::string(""), std::string(",,\r\n\r\n,\r\n"),
           std::string(std::string(60, ',') + "\r\n"),         // above the limit
       }) {
    ExpectSame(bytes, true);
  }
}

TEST_F(FileCaptureTest, RandomWellFormedFilesAgree) {
  // Files that load without error, with numbers, blanks, bad cells and
  // values beyond the range: the capture's result must not differ.
  std::mt19937 random(7);
  const std::vector<std::string> cells = {"1", "2.5", " 3 ", "-0", "1E4932", "1E4933", "x", "", ".", "7e", "0.1"};
  for (int round = 0; round < 300; ++round) {
    const int n = static_cast<int>(random() % 7);
    std::string native = std::to_string(n) + "\r\n";
    std::string csv;
    for (int i = 1; i <= n; ++i) {
      native += "L" + std::to_string(i) + "\r\n";
      csv += ",L" + std::to_string(i);
    }
    csv += "\r\nL1\r\n";
    for (int i = 2; i <= n; ++i) {
      csv += "L" + std::to_string(i);
      for (int j = 1; j < i; ++j) {
        const std::string& cell = cells[random() % cells.size()];
        native += cell + "\r\n";
        csv += "," + (cell.find(' ') != std::string::npos ? "\"" + cell + "\"" : cell);
      }
      csv += "\r\n";
    }
    ExpectSame(native, false);
    ExpectSame(csv, true);
  }
}

TEST_F(FileCaptureTest, AShortFileCostsWhatItHoldsNotWhatItDeclares) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "the address sanitizer needs more address space than any limit";
  // 18 bytes that declare a million objects: a grid or a store of that
  // count would take terabytes; the file fails at its first missing value.
  dir.Write("short", "1000000\r\nA\r\nB\r\n");
  const std::string path = dir.Path("short");
  const auto bounded = [&] {
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = std::size_t{200} << 20;
    setrlimit(RLIMIT_AS, &limit);
    try {
      const FileCapture capture = CaptureNativeFile(path, 1000000);
      std::exit(capture.Failure && capture.Failure->Row == 2 && capture.Failure->Col == 1 &&
                        capture.Failure->Text.empty()
                    ? 0
                    : 1);
    } catch (const std::bad_alloc&) {
      std::exit(2);
    }
  };
  EXPECT_EXIT(bounded(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace cluster
