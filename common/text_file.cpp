#include "common/text_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"

namespace cluster {

namespace {

thread_local int t_ioErrorCode = 0;

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr char kCtrlZ = 26;
constexpr std::size_t kMaxIntegerToken = 32;

void Fail(int code) { t_ioErrorCode = code; }

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Maps a Linux error of an open, read, write or close to the program's code.
int CodeForErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      // Linux says "no such file" for a missing file and a missing folder
      // alike; the program tells them apart.
      return IsDirectory(ParentOf(path)) ? io_error::kFileNotFound : io_error::kPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return io_error::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return io_error::kAccessDenied;
    case EMFILE:
    case ENFILE:
      return io_error::kTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return io_error::kNoSpace;
    case EWOULDBLOCK:
    case ETXTBSY:
    case EBUSY:
      return io_error::kSharingViolation;
    default:
      return io_error::kSystemErrorBase + error;
  }
}

bool IsNoSpace(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

// Writes every byte, or returns the program's code for what stopped it. A
// disk that fills after taking part of the bytes is code 101; one that takes
// nothing reports the system's own "no space" (112).
int WriteAll(int fd, std::string_view bytes, const std::string& path) {
  bool accepted = false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      if (accepted && IsNoSpace(error)) return io_error::kDiskFull;
      return CodeForErrno(error, path);
    }
    if (written > 0) accepted = true;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

}  // namespace

int& IoErrorCode() noexcept { return t_ioErrorCode; }

ELineTooLong::ELineTooLong()
    : Exception(Cp932FromUtf8("ファイルの行が長すぎます (") + std::to_string(TextFile::kMaxLineBytes) +
                Cp932FromUtf8(" バイトを超えています)")) {}

std::string IoErrorMessage(int code) {
  switch (code) {
    case io_error::kFileNotFound: return Cp932FromUtf8("ファイルが見つかりません");
    case io_error::kPathNotFound: return Cp932FromUtf8("不正なファイル名です");
    case io_error::kTooManyOpenFiles: return Cp932FromUtf8("オープンしたファイルが多すぎます");
    case io_error::kAccessDenied: return Cp932FromUtf8("ファイルへのアクセスが拒否されました");
    case io_error::kReadBeyondEnd: return Cp932FromUtf8("ファイルの末尾以降を読み込みました");
    case io_error::kDiskFull: return Cp932FromUtf8("ディスクがいっぱいです");
    case io_error::kInvalidNumber: return Cp932FromUtf8("入力値が数値ではありません");
    default: return Cp932FromUtf8("I/O エラー (") + IntToText(code) + ")";
  }
}

void CheckIo() {
  const int code = t_ioErrorCode;
  if (code == 0) return;
  t_ioErrorCode = 0;
  throw EInOutError(code, IoErrorMessage(code));
}

void OpenToRead(TextFile& file, const std::string& path) {
  file.BindName(path);
  file.OpenForReading();
  CheckIo();
}

void OpenToWrite(TextFile& file, const std::string& path) {
  file.BindName(path);
  file.OpenForWriting();
  CheckIo();
}

TextFile::TextFile() = default;

TextFile::~TextFile() {
  // A file abandoned by an error keeps what was written, as far as it got.
  if (mode_ == Mode::Writing && device_ == nullptr && fd_ >= 0 && !writeBuffer_.empty()) {
    WriteAll(fd_, writeBuffer_, path_);
  }
  ReleaseDescriptor();
}

void TextFile::BindName(std::string path) {
  path_ = std::move(path);
  device_ = nullptr;
  standardOutput_ = false;
  lineEnd_ = "\r\n";
}

void TextFile::BindStandardOutput() {
  BindName("-");
  standardOutput_ = true;
}

void TextFile::BindDevice(TextDevice& device) {
  path_.clear();
  device_ = &device;
  standardOutput_ = false;
  lineEnd_ = "\n";
}

void TextFile::ReleaseDescriptor() {
  if (fd_ >= 0) ::close(fd_);  // closing also drops the advisory lock
  fd_ = -1;
}

void TextFile::OpenForWriting() {
  if (mode_ != Mode::Closed) CloseTextFile();
  writeBuffer_.clear();
  statementFailed_ = false;
  if (device_ != nullptr) {
    device_->OpenDevice();
    writeCapacity_ = kBufferSize;
    mode_ = Mode::Writing;
    return;
  }
  // Opened without truncation first, so that a file another instance is
  // writing is refused before anything of it is lost.
  // The standard output is written through a descriptor of its own, which
  // closing closes: the process's own stays for whatever writes next.
  const int fd = standardOutput_ ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)
                                 : ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(CodeForErrno(errno, path_));
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  characterDevice_ = known && S_ISCHR(info.st_mode);
  // Only a regular file is locked and emptied: a pipe or a device cannot
  // be truncated, and two programs may well write to one terminal.
  if (known && S_ISREG(info.st_mode) && !standardOutput_) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
      const int error = errno;
      ::close(fd);
      return Fail(CodeForErrno(error, path_));
    }
    ::flock(fd, LOCK_SH | LOCK_NB);  // readers may come in; writers stay out
  }
  fd_ = fd;
  writeCapacity_ = characterDevice_ || !bulkWriting_ ? kBufferSize : kBulkBufferSize;
  mode_ = Mode::Writing;
}

void TextFile::OpenForReading() {
  if (mode_ != Mode::Closed) CloseTextFile();
  readBuffer_.clear();
  readPos_ = 0;
  readEnded_ = false;
  if (device_ != nullptr) {
    // A device has nothing to read: its end comes at once.
    readEnded_ = true;
    mode_ = Mode::Reading;
    return;
  }
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(CodeForErrno(errno, path_));
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return Fail(io_error::kAccessDenied);
  }
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Fail(CodeForErrno(error, path_));
  }
  fd_ = fd;
  mode_ = Mode::Reading;
}

// --- Writing ----------------------------------------------------------------

bool TextFile::CanWrite() {
  if (mode_ == Mode::Writing) return true;
  Fail(mode_ == Mode::Closed ? io_error::kFileNotOpen : io_error::kNotOpenForOutput);
  return false;
}

void TextFile::FlushBuffer() {
  if (writeBuffer_.empty()) return;
  if (device_ != nullptr) {
    // Cleared first: a device error must not hand the same bytes over twice.
    const std::string run = std::move(writeBuffer_);
    writeBuffer_.clear();
    device_->HandOver(run);
    return;
  }
  // After a failed write the rest of the statement is not attempted: its
  // first failure is the one that tells what happened (a disk that filled
  // part way), and what stands in the file stays as it was then.
  if (!statementFailed_) {
    if (const int code = WriteAll(fd_, writeBuffer_, path_); code != 0) {
      Fail(code);
      statementFailed_ = true;
    }
  }
  writeBuffer_.clear();
}

void TextFile::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t room = writeCapacity_ - writeBuffer_.size();
    const std::size_t take = bytes.size() < room ? bytes.size() : room;
    writeBuffer_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (writeBuffer_.size() == writeCapacity_) FlushBuffer();
  }
}

void TextFile::WriteTextItem(std::string_view text) {
  if (CanWrite()) Append(text);
}

void TextFile::WriteIntegerItem(std::int32_t value) {
  if (CanWrite()) Append(IntToText(value));
}

void TextFile::WriteCharItem(char byte) {
  if (CanWrite()) Append(std::string_view(&byte, 1));
}

void TextFile::FinishStatement() {
  if (device_ != nullptr || characterDevice_) FlushBuffer();
  statementFailed_ = false;
}

void TextFile::EndWrite() {
  if (CanWrite()) FinishStatement();
}

void TextFile::WriteLineEnd() {
  if (!CanWrite()) return;
  Append(lineEnd_);
  FinishStatement();
}

// --- Reading ----------------------------------------------------------------

bool TextFile::CanRead() {
  if (mode_ == Mode::Reading) return true;
  Fail(io_error::kNotOpenForInput);
  return false;
}

// Reads from the file until at least `count` unread bytes are buffered or
// the end is reached. The end is the file's last byte or, unless told
// otherwise, its first Ctrl-Z, whichever is earlier.
bool TextFile::ReadMore(std::size_t count) {
  while (readBuffer_.size() - readPos_ < count && !readEnded_) {
    if (device_ != nullptr || fd_ < 0) {
      readEnded_ = true;
      break;
    }
    readBuffer_.erase(readBuffer_.begin(), readBuffer_.begin() + static_cast<std::ptrdiff_t>(readPos_));
    readPos_ = 0;
    const std::size_t old = readBuffer_.size();
    readBuffer_.resize(old + kReadChunk);
    ssize_t got;
    do {
      got = ::read(fd_, readBuffer_.data() + old, kReadChunk);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      Fail(CodeForErrno(errno, path_));
      got = 0;
    }
    readBuffer_.resize(old + static_cast<std::size_t>(got));
    const void* ctrlZ =
        stopAtCtrlZ_ ? std::memchr(readBuffer_.data() + old, kCtrlZ, static_cast<std::size_t>(got)) : nullptr;
    if (ctrlZ != nullptr) {
      readBuffer_.resize(static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - readBuffer_.data()));
      readEnded_ = true;
    }
    if (got == 0) readEnded_ = true;
  }
  return readBuffer_.size() - readPos_ >= count;
}

int TextFile::PeekByte(std::size_t offset) {
  if (!FillAtLeast(offset + 1)) return -1;
  return static_cast<unsigned char>(readBuffer_[readPos_ + offset]);
}

std::string TextFile::ReadLineText() {
  std::string line;
  ReadLineText(line);
  return line;
}

void TextFile::CheckLineLength(std::size_t length) {
  if (length > kMaxLineBytes) throw ELineTooLong();
}

void TextFile::ReadLineText(std::string& line) {
  line.clear();
  if (!CanRead()) return;
  while (FillAtLeast(1)) {
    // Takes the buffered run up to the next CR or LF at once.
    const char* begin = readBuffer_.data() + readPos_;
    const char* end = readBuffer_.data() + readBuffer_.size();
    const char* stop = begin;
    while (stop < end && *stop != '\n' && *stop != '\r') ++stop;
    CheckLineLength(line.size() + static_cast<std::size_t>(stop - begin));
    line.append(begin, stop);
    readPos_ += static_cast<std::size_t>(stop - begin);
    if (stop == end) continue;
    if (*stop == '\n') break;
    if (PeekByte(1) == '\n') break;  // CR LF ends the line and stays unread
    ++readPos_;                      // a lone CR is left out
  }
}

void TextFile::SkipLine() {
  if (!CanRead()) return;
  std::size_t skipped = 0;
  while (FillAtLeast(1)) {
    const char* begin = readBuffer_.data() + readPos_;
    const auto length = readBuffer_.size() - readPos_;
    const void* lineFeed = std::memchr(begin, '\n', length);
    if (lineFeed != nullptr) {
      readPos_ += static_cast<std::size_t>(static_cast<const char*>(lineFeed) - begin) + 1;
      return;
    }
    readPos_ += length;
    skipped += length;
    CheckLineLength(skipped);
  }
}

std::int32_t TextFile::ReadIntegerItem() {
  if (!CanRead()) return 0;
  // Blank lines before the number are passed over, but not without end.
  int b = PeekByte();
  for (std::size_t skipped = 0; b >= 0 && b <= 32; ++skipped) {
    CheckLineLength(skipped);
    ++readPos_;
    b = PeekByte();
  }
  if (b < 0) return 0;
  std::string token;
  while (b > 32 && token.size() < kMaxIntegerToken) {
    token += static_cast<char>(b);
    ++readPos_;
    b = PeekByte();
  }
  std::int32_t value = 0;
  if (!TryTextToInt(token, value)) Fail(io_error::kInvalidNumber);
  return value;
}

// --- Closing ----------------------------------------------------------------

void TextFile::CloseTextFile() {
  if (mode_ == Mode::Closed) return Fail(io_error::kFileNotOpen);
  const bool writing = mode_ == Mode::Writing;
  // Closed before the last hand-over: a device that fails there leaves the
  // file closed rather than half open.
  mode_ = Mode::Closed;
  readBuffer_.clear();
  readPos_ = 0;
  if (device_ != nullptr) {
    if (writing) {
      FlushBuffer();
      device_->CloseDevice();
    }
    return;
  }
  if (writing) {
    statementFailed_ = false;
    FlushBuffer();
  }
  if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) Fail(CodeForErrno(errno, path_));
  fd_ = -1;
}

}  // namespace cluster
