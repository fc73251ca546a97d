#include "datafiles/native_format.h"

#include "common/text_file.h"
#include "datafiles/object_limit.h"

namespace cluster {

std::int32_t ReadNativeCount(TextFile& file, std::int32_t maxObjects) {
  const std::int32_t n = file.ReadIntegerItem();
  CheckIo();
  file.SkipLine();
  CheckIo();
  CheckDeclaredObjectCount(n, maxObjects);
  return n;
}

}  // namespace cluster
