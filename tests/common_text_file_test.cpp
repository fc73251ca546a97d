// Text files: exact bytes written, the reading rules, and failures with
// their codes and messages.
#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/text_file.h"
#include "tests/file_bytes.h"

namespace cluster {
namespace {

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/textfile-XXXXXX";
    dir_ = mkdtemp(pattern);
    IoErrorCode() = 0;
  }
  void TearDown() override {
    IoErrorCode() = 0;
    std::string cmd = "chmod -R u+w '" + dir_ + "' && rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void WriteRaw(const std::string& name, const std::string& bytes) const {
    testing::WriteFileBytes(Path(name), bytes);
  }
  std::string ReadRaw(const std::string& name) const { return testing::FileBytes(Path(name)); }
  // Makes the file `name` of these bytes and opens it for reading.
  void OpenForReadingWith(TextFile& file, const std::string& name, const std::string& bytes) const {
    WriteRaw(name, bytes);
    file.BindName(Path(name));
    file.OpenForReading();
  }
  // Expects CheckIo to raise the given code with its message.
  static void ExpectIoError(int code, const std::string& utf8Message) {
    try {
      CheckIo();
      ADD_FAILURE() << "no error, expected " << code;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), code);
      EXPECT_EQ(e.Message(), Cp932FromUtf8(utf8Message));
    }
  }
  std::string dir_;
};

TEST_F(TextFileTest, WritesExactlyTheBytesGiven) {
  TextFile f;
  f.BindName(Path("out.txt"));
  f.OpenForWriting();
  CheckIo();
  const std::string label = Cp932FromUtf8("対象");
  f.WriteTextItem(label);
  f.WriteCharItem(' ');
  f.WriteIntegerItem(-12);
  f.WriteLineEnd();
  f.WriteTextItem("x");
  f.EndWrite();
  std::string longText(300, 'z');  // crosses the buffer several times
  f.WriteTextItem(longText);
  f.CloseTextFile();
  CheckIo();
  EXPECT_EQ(ReadRaw("out.txt"), label + " -12\r\nx" + longText);
}

TEST_F(TextFileTest, OpeningForWritingEmptiesAnExistingFile) {
  WriteRaw("old.txt", "previous contents");
  TextFile f;
  f.BindName(Path("old.txt"));
  f.OpenForWriting();
  f.CloseTextFile();
  CheckIo();
  EXPECT_EQ(ReadRaw("old.txt"), "");
}

TEST_F(TextFileTest, ReadsLinesWithCrLfLfAndLoneCr) {
  TextFile f;
  OpenForReadingWith(f, "in.txt", "one\r\ntwo\nthr\ree\r\n\r\nlast");
  CheckIo();
  std::vector<std::string> lines;
  for (int i = 0; i < 7; ++i) {
    lines.push_back(f.ReadLineText());
    f.SkipLine();
  }
  CheckIo();
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "", "last", "", ""}));
  EXPECT_EQ(f.ReadIntegerItem(), 0);  // past the end: 0, no error
  f.CloseTextFile();
  CheckIo();
}

TEST_F(TextFileTest, ReadLineLeavesTheLineEndUnread) {
  TextFile f;
  OpenForReadingWith(f, "in.txt", "abc\r\ndef");
  EXPECT_EQ(f.ReadLineText(), "abc");
  EXPECT_EQ(f.ReadLineText(), "");  // still at the line end
  f.SkipLine();
  EXPECT_EQ(f.ReadLineText(), "def");
  CheckIo();
}

TEST_F(TextFileTest, LoneCrFileIsOneLine) {
  TextFile f;
  OpenForReadingWith(f, "mac.txt", "a\rb\rc\r");
  EXPECT_EQ(f.ReadLineText(), "abc");
  f.SkipLine();
  EXPECT_EQ(f.ReadLineText(), "");
  CheckIo();
}

TEST_F(TextFileTest, CtrlZEndsTheFileForEveryRead) {
  TextFile f;
  OpenForReadingWith(f, "z.txt", std::string("3\r\nab\x1A" "cd\r\n7\r\n", 13));
  EXPECT_EQ(f.ReadIntegerItem(), 3);
  f.SkipLine();
  EXPECT_EQ(f.ReadLineText(), "ab");
  f.SkipLine();
  EXPECT_EQ(f.ReadIntegerItem(), 0);
  EXPECT_EQ(f.ReadLineText(), "");
  CheckIo();
}

TEST_F(TextFileTest, IntegerItemsSkipBlankLinesAndLeaveTheRestOfTheLine) {
  TextFile f;
  OpenForReadingWith(f, "n.txt", "\r\n\r\n  \t 42 trailing text\r\n-7\r\n$1F\r\n");
  EXPECT_EQ(f.ReadIntegerItem(), 42);
  EXPECT_EQ(f.ReadLineText(), " trailing text");
  f.SkipLine();
  EXPECT_EQ(f.ReadIntegerItem(), -7);
  f.SkipLine();
  EXPECT_EQ(f.ReadIntegerItem(), 31);
  CheckIo();
}

TEST_F(TextFileTest, NonIntegerTokenGives106) {
  TextFile f;
  OpenForReadingWith(f, "bad.txt", "12.5\r\nabc\r\n");
  f.ReadIntegerItem();
  ExpectIoError(106, "入力値が数値ではありません");
  f.SkipLine();
  f.ReadIntegerItem();
  ExpectIoError(106, "入力値が数値ではありません");
}

TEST_F(TextFileTest, LongLinesHaveNoLimit) {
  std::string line(200000, 'q');
  TextFile f;
  OpenForReadingWith(f, "long.txt", line + "\r\nnext");
  EXPECT_EQ(f.ReadLineText(), line);
  f.SkipLine();
  EXPECT_EQ(f.ReadLineText(), "next");
  CheckIo();
}

TEST_F(TextFileTest, OpenFailuresCarryTheirCodesAndMessages) {
  TextFile f;
  f.BindName(Path("missing.txt"));
  f.OpenForReading();
  ExpectIoError(2, "ファイルが見つかりません");
  EXPECT_EQ(f.CurrentMode(), TextFile::Mode::Closed);

  f.BindName(Path("no-folder/missing.txt"));
  f.OpenForReading();
  ExpectIoError(3, "不正なファイル名です");
  f.OpenForWriting();
  ExpectIoError(3, "不正なファイル名です");

  f.BindName(dir_);
  f.OpenForReading();
  ExpectIoError(5, "ファイルへのアクセスが拒否されました");

  if (geteuid() != 0) {  // root writes anywhere; the check means nothing then
    const std::string locked = Path("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    f.BindName(locked + "/out.txt");
    f.OpenForWriting();
    ExpectIoError(5, "ファイルへのアクセスが拒否されました");
  }
}

TEST_F(TextFileTest, AFileBeingWrittenIsReadableButNotWritableByAnother) {
  TextFile writer;
  writer.BindName(Path("shared.txt"));
  writer.OpenForWriting();
  CheckIo();
  TextFile second;
  second.BindName(Path("shared.txt"));
  second.OpenForWriting();
  ExpectIoError(32, "I/O エラー (32)");
  second.OpenForReading();
  CheckIo();
  second.CloseTextFile();
  writer.CloseTextFile();
  CheckIo();
}

TEST_F(TextFileTest, ModeErrorsAndTheLastFailureWins) {
  TextFile f;
  f.BindName(Path("m.txt"));
  f.WriteTextItem("x");
  ExpectIoError(103, "I/O エラー (103)");
  f.ReadLineText();
  ExpectIoError(104, "I/O エラー (104)");
  f.CloseTextFile();
  ExpectIoError(103, "I/O エラー (103)");
  WriteRaw("m.txt", "1");
  f.OpenForReading();
  f.WriteLineEnd();
  ExpectIoError(105, "I/O エラー (105)");
  f.WriteTextItem("x");    // 105
  f.CloseTextFile();
  f.CloseTextFile();       // 103, the last one
  ExpectIoError(103, "I/O エラー (103)");
  EXPECT_NO_THROW(CheckIo());
}

TEST_F(TextFileTest, NoSpaceIsTheSystemsCodeWhenNothingWasAccepted) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TextFile f;
  f.BindName("/dev/full");
  f.OpenForWriting();
  CheckIo();
  f.WriteTextItem("abc");
  f.WriteLineEnd();  // a character device takes every statement at once
  // The system's "no space" (112); 101 is kept for a write taken in part.
  ExpectIoError(112, "I/O エラー (112)");
  f.CloseTextFile();
}

TEST_F(TextFileTest, AFullDiskFileFailsAtTheStatementThatFillsTheBuffer) {
  // A file-size limit of 300 bytes stands in for a full disk.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 300;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  TextFile f;
  f.BindName(Path("full.txt"));
  f.OpenForWriting();
  CheckIo();
  const std::string line(100, 'x');
  int failedAt = 0;
  for (int statement = 1; statement <= 10 && failedAt == 0; ++statement) {
    f.WriteTextItem(line);
    f.WriteLineEnd();
    try {
      CheckIo();
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 101);
      failedAt = statement;
    }
  }
  f.CloseTextFile();
  IoErrorCode() = 0;
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  // 102 bytes a statement in a 128-byte buffer: the buffer is handed over
  // at bytes 128, 256 and 384, and the third hand-over passes the limit.
  EXPECT_EQ(failedAt, 4);
}

TEST_F(TextFileTest, APipeIsWrittenWithoutEmptyingIt) {
  // A pipe cannot be emptied: only a regular file is.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  TextFile f;
  f.BindName("/proc/self/fd/" + std::to_string(ends[1]));
  f.OpenForWriting();
  CheckIo();
  f.WriteTextItem("abc");
  f.WriteLineEnd();
  f.CloseTextFile();
  CheckIo();
  close(ends[1]);
  char bytes[16] = {};
  EXPECT_EQ(read(ends[0], bytes, sizeof bytes), 5);
  EXPECT_EQ(std::string(bytes), "abc\r\n");
  close(ends[0]);
}

TEST_F(TextFileTest, AFileThatNeverEndsIsRefusedAtTheLineLimit) {
  // /dev/zero has no line end and no end: every reading operation stops at
  // the line limit instead of taking memory or time without bound.
  for (const char* operation : {"line", "skip", "integer"}) {
    SCOPED_TRACE(operation);
    TextFile f;
    f.BindName("/dev/zero");
    f.OpenForReading();
    CheckIo();
    const std::string which = operation;
    EXPECT_THROW(which == "line" ? static_cast<void>(f.ReadLineText())
                 : which == "skip" ? f.SkipLine()
                                   : static_cast<void>(f.ReadIntegerItem()),
                 ELineTooLong);
    f.CloseTextFile();
  }
}

// Uses up every descriptor, then fails to open a file; exits with 0 when
// the failure carries code 4 and `expected` as its message. The message is
// made while no descriptor is left; the descriptors are given back before
// the failure is looked at, since a sanitizer's checks need one.
[[noreturn]] void OpenWithNoDescriptorLeft(const std::string& expected) {
  struct rlimit few {};
  few.rlim_cur = few.rlim_max = 32;
  setrlimit(RLIMIT_NOFILE, &few);
  std::vector<int> taken;
  for (int fd = dup(0); fd >= 0; fd = dup(0)) taken.push_back(fd);
  TextFile f;
  f.BindName("/dev/null");
  f.OpenForReading();
  int code = 0;
  std::string message;
  try {
    CheckIo();
  } catch (const std::exception& e) {
    for (const int fd : taken) close(fd);
    const auto* failure = dynamic_cast<const EInOutError*>(&e);
    if (failure == nullptr) std::exit(2);
    code = failure->ErrorCode();
    message = failure->Message();
  }
  std::exit(code == 4 && message == expected ? 0 : 1);
}

TEST(IoErrorMessageTest, OutOfDescriptorsIsReportedWithItsMessage) {
  // The message of code 4 is made through the code page converter, which
  // must not need a descriptor of its own when none is left. The case runs
  // in a process of its own that has converted nothing before, and the
  // expected message ("オープンしたファイルが多すぎます") is given as its
  // code page 932 bytes, so that nothing but the program converts.
  const std::string expected =
      "\x83\x49\x81\x5b\x83\x76\x83\x93\x82\xb5\x82\xbd\x83\x74\x83\x40"
      "\x83\x43\x83\x8b\x82\xaa\x91\xbd\x82\xb7\x82\xac\x82\xdc\x82\xb7";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OpenWithNoDescriptorLeft(expected), ::testing::ExitedWithCode(0), "");
}

TEST(IoErrorMessageTest, OtherCodesShowTheirNumber) {
  EXPECT_EQ(IoErrorMessage(4), Cp932FromUtf8("オープンしたファイルが多すぎます"));
  EXPECT_EQ(IoErrorMessage(100), Cp932FromUtf8("ファイルの末尾以降を読み込みました"));
  EXPECT_EQ(IoErrorMessage(1013), Cp932FromUtf8("I/O エラー (1013)"));
}

// A device that records each handed-over run.
class RecordingDevice : public TextDevice {
 public:
  void OpenDevice() override { events.push_back("open"); }
  void HandOver(std::string_view bytes) override { events.emplace_back(bytes); }
  void CloseDevice() override { events.push_back("close"); }
  std::vector<std::string> events;
};

TEST(DeviceTextFileTest, HandsOverEachStatementWithLfLineEnds) {
  RecordingDevice device;
  TextFile f;
  f.BindDevice(device);
  f.OpenForWriting();
  f.WriteTextItem("ab");
  f.WriteTextItem("c");
  f.WriteLineEnd();
  f.WriteTextItem("d");
  f.EndWrite();
  f.WriteTextItem(std::string(130, 'x'));  // the buffer fills at 128 bytes
  f.WriteTextItem("y");
  f.CloseTextFile();
  CheckIo();
  EXPECT_EQ(device.events,
            (std::vector<std::string>{"open", "abc\n", "d", std::string(128, 'x'), "xxy", "close"}));
}

TEST(DeviceTextFileTest, ReadingADeviceFindsTheEndAtOnce) {
  RecordingDevice device;
  TextFile f;
  f.BindDevice(device);
  f.OpenForReading();
  EXPECT_EQ(f.ReadLineText(), "");
  EXPECT_EQ(f.ReadIntegerItem(), 0);
  CheckIo();
}

}  // namespace
}  // namespace cluster
