// Line-oriented text files with deferred error reporting.
//
// A TextFile writes and reads code page 932 bytes exactly as given: no
// byte-order mark, no conversion, no line end unless one is written. Disk
// files end lines with CR LF; a file bound to a device (the printer text
// stream) ends them with LF and hands each finished write statement over at
// once. Reading accepts LF and CR LF, drops a CR that ends nothing, and
// stops at the first Ctrl-Z byte (the data files' end-of-file mark), unless
// told to read every byte.
//
// Failures do not throw where they happen: they set the pending
// IoErrorCode(), and the caller calls CheckIo() after every statement, which
// turns a pending code into EInOutError with the program's message.
//
// A line is at most kMaxLineBytes long: no file within the program's limits
// needs more, and a "file" that never ends (a device, a pipe that keeps
// writing) must not take memory or time without bound. Reading a longer
// line throws ELineTooLong.
//
// While open, a disk file holds an advisory lock (flock) that lets other
// readers in but keeps other writers out; this stands in for the share mode
// "readable, not writable by others". Only programs that take such locks
// (other instances of this program) are kept out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"

namespace cluster {

// I/O error codes recorded in IoErrorCode().
namespace io_error {
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kSharingViolation = 32;
constexpr int kReadBeyondEnd = 100;
// A write the system accepted only in part before the disk filled.
constexpr int kDiskFull = 101;
constexpr int kFileNotOpen = 103;
constexpr int kNotOpenForInput = 104;
constexpr int kNotOpenForOutput = 105;
constexpr int kInvalidNumber = 106;
// The system's own "no space left": nothing of the write was accepted.
constexpr int kNoSpace = 112;
// Other operating-system errors are reported as this base plus errno.
constexpr int kSystemErrorBase = 1000;
}  // namespace io_error

// The pending error code of the running thread; 0 when none.
int& IoErrorCode() noexcept;

// The program's message for an I/O error code.
std::string IoErrorMessage(int code);

// Throws EInOutError for a pending error code, and clears it.
void CheckIo();

// A line longer than TextFile::kMaxLineBytes.
class ELineTooLong : public Exception {
 public:
  ELineTooLong();
};

class TextFile;

// Binds `file` to `path` and opens it for reading or for writing, as one
// statement: a failure raises EInOutError at once.
void OpenToRead(TextFile& file, const std::string& path);
void OpenToWrite(TextFile& file, const std::string& path);

// Where a device-bound TextFile's bytes go. The device may throw its own
// errors (for instance the printer's); they pass straight through.
class TextDevice {
 public:
  virtual ~TextDevice() = default;
  virtual void OpenDevice() = 0;
  // A run of written bytes, in order; runs arrive at every finished write
  // statement, whenever the buffer fills, and at close.
  virtual void HandOver(std::string_view bytes) = 0;
  virtual void CloseDevice() = 0;
};

class TextFile {
 public:
  enum class Mode { Closed, Reading, Writing };

  // The write buffer: its bytes go to the file whenever it is full, so a
  // write failure surfaces at the statement that filled it; for a device it
  // also decides where a long statement is handed over in pieces.
  static constexpr std::size_t kBufferSize = 128;
  // The buffer of a disk file written in bulk (see SetBulkWriting).
  static constexpr std::size_t kBulkBufferSize = 64 * 1024;
  // The longest line any reading operation passes over or returns.
  static constexpr std::size_t kMaxLineBytes = std::size_t{256} << 20;

  TextFile();
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Binds a closed file to a path (file-system bytes); CR LF line ends.
  void BindName(std::string path);
  // Binds a closed file to a device; LF line ends.
  void BindDevice(TextDevice& device);
  // Binds a closed file to the process's standard output (file-system
  // bytes, CR LF line ends). Opening neither creates nor empties anything;
  // the file writes through a copy of the descriptor, which closing closes
  // (and checks), leaving the standard output open for the next writer.
  void BindStandardOutput();

  // For a disk file of many megabytes written by a tool rather than a
  // window: a large buffer, so that failures surface up to 64 KiB later.
  // Takes effect at the next OpenForWriting.
  void SetBulkWriting(bool bulk) noexcept { bulkWriting_ = bulk; }

  // Whether reading ends at the first Ctrl-Z byte (the default) or reads
  // it as any other byte, up to the file's last. Takes effect at the next
  // OpenForReading.
  void SetStopAtCtrlZ(bool stop) noexcept { stopAtCtrlZ_ = stop; }

  void OpenForWriting();
  void OpenForReading();

  void WriteTextItem(std::string_view text);
  void WriteIntegerItem(std::int32_t value);
  void WriteCharItem(char byte);
  void EndWrite();
  void WriteLineEnd();
  // What WriteLineEnd writes: CR LF to a disk file, LF to a device.
  std::string_view LineEnd() const noexcept { return lineEnd_; }

  std::string ReadLineText();
  // The same into `line`, reusing its storage (for loops over many lines).
  void ReadLineText(std::string& line);
  void SkipLine();
  std::int32_t ReadIntegerItem();
  // True when a file open for reading has no byte left before its end:
  // every later line reads as the empty text.
  bool AtEnd() { return mode_ == Mode::Reading && PeekByte() < 0; }

  void CloseTextFile();

  Mode CurrentMode() const noexcept { return mode_; }
  const std::string& Name() const noexcept { return path_; }

 private:
  bool CanWrite();
  void Append(std::string_view bytes);
  void FlushBuffer();
  void FinishStatement();
  bool CanRead();
  // Makes at least `count` unread bytes available unless the end comes
  // first; the buffer usually has them already.
  bool FillAtLeast(std::size_t count) { return readBuffer_.size() - readPos_ >= count || ReadMore(count); }
  bool ReadMore(std::size_t count);
  // Throws ELineTooLong once `length` bytes of one line have been passed.
  static void CheckLineLength(std::size_t length);
  int PeekByte(std::size_t offset = 0);
  void ReleaseDescriptor();

  std::string path_;
  TextDevice* device_ = nullptr;
  std::string_view lineEnd_ = "\r\n";
  Mode mode_ = Mode::Closed;
  int fd_ = -1;
  bool standardOutput_ = false;
  bool characterDevice_ = false;

  std::string writeBuffer_;
  std::size_t writeCapacity_ = kBufferSize;
  bool bulkWriting_ = false;
  bool statementFailed_ = false;  // a write of the running statement failed

  std::vector<char> readBuffer_;
  std::size_t readPos_ = 0;
  bool readEnded_ = false;  // the last byte or a Ctrl-Z has been reached
  bool stopAtCtrlZ_ = true;
};

}  // namespace cluster
