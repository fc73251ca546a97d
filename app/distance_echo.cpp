#include "app/distance_echo.h"

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "engine/analysis_store.h"

namespace cluster {

namespace {
constexpr std::size_t kFieldWidth = 10;
}

void WriteDistanceEcho(TextFile& outputFile, const AnalysisStore& store) {
  static const std::string header = Cp932FromUtf8("読み込まれた距離...");
  outputFile.WriteLineEnd();
  CheckIo();
  outputFile.WriteTextItem(header);
  outputFile.WriteLineEnd();
  CheckIo();
  const std::int32_t n = store.ObjectCount;
  for (std::int32_t i = 1; i <= n; ++i) {
    outputFile.WriteTextItem(PadRight(store.ObjectNames(i), kFieldWidth));
    outputFile.EndWrite();
    CheckIo();
    for (std::int32_t j = 1; j < i; ++j) {
      outputFile.WriteTextItem(
          PadRight(RealToText(store.DistMatrix(i, j), RealFormat::General, 7, 1), kFieldWidth));
      outputFile.EndWrite();
      CheckIo();
    }
    outputFile.WriteLineEnd();
    CheckIo();
  }
}

}  // namespace cluster
