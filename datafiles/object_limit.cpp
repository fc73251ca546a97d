#include "datafiles/object_limit.h"

#include "common/codepage.h"
#include "common/numbers.h"

namespace cluster {

ETooManyObjects::ETooManyObjects(std::int32_t declared, std::int32_t maxObjects)
    : Exception(Cp932FromUtf8("ファイルの対象の数 " + IntToText(declared) + " が上限の " +
                              IntToText(maxObjects) + " を超えているので読み出せません")) {}

void CheckDeclaredObjectCount(std::int32_t declared, std::int32_t maxObjects) {
  if (declared > maxObjects) throw ETooManyObjects(declared, maxObjects);
}

}  // namespace cluster
