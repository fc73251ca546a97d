// Whole files as bytes, for tests that prepare what the program reads or
// compare what it wrote: nothing is translated (line ends, code pages), and
// a file that cannot be read reads as empty.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace cluster::testing {

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Makes or empties the file and writes `bytes` into it.
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace cluster::testing
