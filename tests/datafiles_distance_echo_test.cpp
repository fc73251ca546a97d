// The output file's echo of the captured data, byte for byte.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "datafiles/distance_echo.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "engine/matrix/analysis_store.h"
#include "tests/file_bytes.h"
#include "tests/store_fixtures.h"

namespace cluster {
namespace {

using testing::FileBytes;
using testing::FillStore;
using testing::FillThreeObjectExample;

// "読み込まれた距離..." in code page 932, as the bytes are listed for the file.
const std::string kHeader =
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDC\x82\xEA\x82\xBD\x8B\x97\x97\xA3\x2E\x2E\x2E";

class DistanceEchoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    path_ = ::testing::TempDir() + "echo-" + std::to_string(getpid()) + ".txt";
  }
  void TearDown() override { std::remove(path_.c_str()); }

  // The file the writer makes; both writers must make the same bytes, so
  // every expectation below holds for each.
  using Writer = void (*)(TextFile&, const AnalysisStore&);
  std::string Echo(const AnalysisStore& store, Writer write = WriteDistanceEcho) {
    TextFile file;
    file.BindName(path_);
    file.OpenForWriting();
    CheckIo();
    write(file, store);
    file.CloseTextFile();
    CheckIo();
    return FileBytes(path_);
  }
  void ExpectEcho(const AnalysisStore& store, const std::string& expected) {
    EXPECT_EQ(Echo(store, WriteDistanceEcho), expected) << "statement by statement";
    EXPECT_EQ(Echo(store, WriteDistanceEchoInBulk), expected) << "in bulk";
  }
  std::string path_;
};

TEST_F(DistanceEchoTest, HeaderBytesAreTheProgramsText) {
  EXPECT_EQ(Cp932FromUtf8("読み込まれた距離..."), kHeader);
}

TEST_F(DistanceEchoTest, TwoObjects) {
  AnalysisStore store(10);
  FillStore(store, {"A", "B"}, {{1.5L}});
  ExpectEcho(store, "\r\n" + kHeader + "\r\nA         \r\nB         1.5       \r\n");
}

TEST_F(DistanceEchoTest, ThreeObjectsOfTheTypicalRun) {
  AnalysisStore store(10);
  FillThreeObjectExample(store);
  ExpectEcho(store, "\r\n" + kHeader +
                        "\r\nA         \r\nB         2.5       \r\n"
                        "C         4         1.25      \r\n");
}

TEST_F(DistanceEchoTest, WideFieldsRunOnAndDoubleByteLabelsCountTwo) {
  AnalysisStore store(10);
  FillStore(store,
            {"0123456789",              // exactly 10 bytes: no blank
             "abcdefghijkl",            // 12 bytes: runs into the value
             Cp932FromUtf8("対象3")},  // 5 bytes
            {{-2.0L}, {12345678.0L, 0.00001L}});
  ExpectEcho(store, "\r\n" + kHeader + "\r\n0123456789\r\nabcdefghijkl-2        \r\n" +
                        Cp932FromUtf8("対象3") + "     1.234568E71E-5      \r\n");
}

TEST_F(DistanceEchoTest, NoObjectsGiveTheTwoHeaderLines) {
  AnalysisStore store(10);
  ExpectEcho(store, "\r\n" + kHeader + "\r\n");
}

TEST_F(DistanceEchoTest, ManyBlocksInBulkGiveTheSameBytesAsStatementByStatement) {
  // 700 objects: about 245,000 values, several blocks on each core, with
  // values of every format: whole, fractions, exponents, negative, zero.
  const std::int32_t n = 700;
  AnalysisStore store(n);
  store.ObjectCount = n;
  for (std::int32_t i = 1; i <= n; ++i) {
    store.ObjectNames(i) = (i % 7 == 0 ? "long label " : "o") + std::to_string(i);
  }
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) {
      const Real scale = (i + j) % 5 == 0 ? 1e-9L : (i + j) % 5 == 1 ? 1e12L : 1;
      store.DistMatrix(i, j) = ((i * 31 + j * 17) % 1000 - 300) * scale / 7;
    }
  }
  const std::string plain = Echo(store, WriteDistanceEcho);
  // The last line is the label padded to 10 bytes and n - 1 fields of at
  // least 10 bytes.
  ASSERT_GT(plain.size(), static_cast<std::size_t>(n) * (n - 1) / 2 * 10);
  EXPECT_TRUE(Echo(store, WriteDistanceEchoInBulk) == plain);
}

TEST_F(DistanceEchoTest, AFullDiskStopsEitherWriterWithWhatWasWrittenIntact) {
  // A file-size limit of 100,000 bytes stands in for a full disk, hit in
  // the middle of the bulk writer's first block of lines.
  const std::int32_t n = 300;
  AnalysisStore store(n);
  store.ObjectCount = n;
  for (std::int32_t i = 1; i <= n; ++i) store.ObjectNames(i) = "o" + std::to_string(i);
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = static_cast<Real>(i * 1000 + j) / 8;
  }
  const std::string whole = Echo(store);
  ASSERT_GT(whole.size(), 400000u);

  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100000;
  for (const Writer write : {Writer{WriteDistanceEcho}, Writer{WriteDistanceEchoInBulk}}) {
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TextFile file;
    file.BindName(path_);
    file.OpenForWriting();
    CheckIo();
    int code = 0;
    try {
      write(file, store);
    } catch (const EInOutError& e) {
      code = e.ErrorCode();
    }
    file.CloseTextFile();
    IoErrorCode() = 0;
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(code, 101);
    const std::string written = FileBytes(path_);
    EXPECT_GT(written.size(), 0u);
    EXPECT_LE(written.size(), 100000u);
    EXPECT_TRUE(whole.compare(0, written.size(), written) == 0) << "what stands is the echo's beginning";
  }
  signal(SIGXFSZ, oldHandler);
}

TEST_F(DistanceEchoTest, AWriteFailureRaisesAtItsStatement) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  AnalysisStore store(10);
  FillStore(store, {"A", "B"}, {{1.0L}});
  for (const Writer write : {Writer{WriteDistanceEcho}, Writer{WriteDistanceEchoInBulk}}) {
    TextFile file;
    file.BindName("/dev/full");
    file.OpenForWriting();
    CheckIo();
    try {
      write(file, store);
      ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 112);  // nothing was accepted: the system's "no space"
    }
    file.CloseTextFile();
    IoErrorCode() = 0;
  }
}

}  // namespace
}  // namespace cluster
