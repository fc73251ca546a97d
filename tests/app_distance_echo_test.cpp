// The output file's echo of the captured data, byte for byte.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "app/distance_echo.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "engine/analysis_store.h"

namespace cluster {
namespace {

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

  std::string Echo(const AnalysisStore& store) {
    TextFile file;
    file.BindName(path_);
    file.OpenForWriting();
    CheckIo();
    WriteDistanceEcho(file, store);
    file.CloseTextFile();
    CheckIo();
    std::ifstream in(path_, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::string path_;
};

TEST_F(DistanceEchoTest, HeaderBytesAreTheProgramsText) {
  EXPECT_EQ(Cp932FromUtf8("読み込まれた距離..."), kHeader);
}

TEST_F(DistanceEchoTest, TwoObjects) {
  AnalysisStore store(10);
  store.ObjectCount = 2;
  store.ObjectNames(1) = "A";
  store.ObjectNames(2) = "B";
  store.DistMatrix(2, 1) = 1.5L;
  EXPECT_EQ(Echo(store), "\r\n" + kHeader + "\r\nA         \r\nB         1.5       \r\n");
}

TEST_F(DistanceEchoTest, ThreeObjectsOfTheTypicalRun) {
  AnalysisStore store(10);
  store.ObjectCount = 3;
  store.ObjectNames(1) = "A";
  store.ObjectNames(2) = "B";
  store.ObjectNames(3) = "C";
  store.DistMatrix(2, 1) = 2.5L;
  store.DistMatrix(3, 1) = 4.0L;
  store.DistMatrix(3, 2) = 1.25L;
  EXPECT_EQ(Echo(store), "\r\n" + kHeader +
                             "\r\nA         \r\nB         2.5       \r\n"
                             "C         4         1.25      \r\n");
}

TEST_F(DistanceEchoTest, WideFieldsRunOnAndDoubleByteLabelsCountTwo) {
  AnalysisStore store(10);
  store.ObjectCount = 3;
  store.ObjectNames(1) = "0123456789";           // exactly 10 bytes: no blank
  store.ObjectNames(2) = "abcdefghijkl";         // 12 bytes: runs into the value
  store.ObjectNames(3) = Cp932FromUtf8("対象3");  // 5 bytes
  store.DistMatrix(2, 1) = -2.0L;
  store.DistMatrix(3, 1) = 12345678.0L;
  store.DistMatrix(3, 2) = 0.00001L;
  EXPECT_EQ(Echo(store), "\r\n" + kHeader + "\r\n0123456789\r\nabcdefghijkl-2        \r\n" +
                             Cp932FromUtf8("対象3") + "     1.234568E71E-5      \r\n");
}

TEST_F(DistanceEchoTest, NoObjectsGiveTheTwoHeaderLines) {
  AnalysisStore store(10);
  EXPECT_EQ(Echo(store), "\r\n" + kHeader + "\r\n");
}

TEST_F(DistanceEchoTest, AWriteFailureRaisesAtItsStatement) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  AnalysisStore store(10);
  store.ObjectCount = 2;
  store.ObjectNames(1) = "A";
  store.ObjectNames(2) = "B";
  store.DistMatrix(2, 1) = 1.0L;
  TextFile file;
  file.BindName("/dev/full");
  file.OpenForWriting();
  CheckIo();
  try {
    WriteDistanceEcho(file, store);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 101);
  }
  file.CloseTextFile();
  IoErrorCode() = 0;
}

}  // namespace
}  // namespace cluster
