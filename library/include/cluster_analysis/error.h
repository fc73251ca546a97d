// The library's errors: every failure is one of these exceptions, and its
// what() is the program's message in UTF-8.
#pragma once

#include <stdexcept>
#include <string>

namespace cluster_analysis {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message);
  ~Error() override;
};

// Input the library does not take: a value that is not finite, a
// condensed array of the wrong length, fewer than two objects, an unknown
// method, a tree that is not one, a cut into more groups than objects.
class InvalidArgument : public Error {
 public:
  using Error::Error;
  ~InvalidArgument() override;
};

// A run that would not fit the memory the process may take, refused before
// anything large is allocated; the message gives what it needs and what
// there is.
class OutOfMemory : public Error {
 public:
  using Error::Error;
  ~OutOfMemory() override;
};

// A run stopped through RunOptions::cancel. Nothing it made is left.
class Cancelled : public Error {
 public:
  using Error::Error;
  ~Cancelled() override;
};

// A data file that cannot be read, or that is not one.
class FileError : public Error {
 public:
  using Error::Error;
  ~FileError() override;
};

}  // namespace cluster_analysis
