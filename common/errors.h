// The program's error kinds.
//
// Every failure is a C++ exception derived from `Exception`, carrying the
// message the user will see, as a code page 932 byte string. Nothing below
// the windows catches them; the one error box of the program shows them.
#pragma once

#include <exception>
#include <string>

namespace cluster {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  // The message in code page 932.
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// An index outside its declared range, or a real that does not fit a 32-bit
// integer: "範囲チェックエラー".
class ERangeError : public Exception {
 public:
  ERangeError();
};

// Floating-point failures. Underflow and inexact results are never errors.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};
class EOverflow : public EMathError {
 public:
  EOverflow();
};

// A text that is not a number (see TextToReal).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failed text-file operation, with its numeric I/O error code.
class EInOutError : public Exception {
 public:
  EInOutError(int code, std::string message) : Exception(std::move(message)), code_(code) {}
  int ErrorCode() const noexcept { return code_; }

 private:
  int code_;
};

// Throws ERangeError unless lo <= index <= hi.
inline void CheckRange(long long index, long long lo, long long hi) {
  if (index < lo || index > hi) throw ERangeError();
}

}  // namespace cluster
