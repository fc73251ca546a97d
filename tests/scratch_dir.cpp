#include "tests/scratch_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "tests/file_bytes.h"

namespace cluster::testing {

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/scratch-XXXXXX";
  const char* made = mkdtemp(pattern);
  dir_ = made != nullptr ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void ScratchDir::Write(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(Path(name), bytes);
}

std::string ScratchDir::Read(const std::string& name) const { return FileBytes(Path(name)); }

bool ScratchDir::Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }

}  // namespace cluster::testing
