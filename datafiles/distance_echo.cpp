#include "datafiles/distance_echo.h"

#include <string>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/helper_thread.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "common/triangle_blocks.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

namespace {

constexpr std::size_t kFieldWidth = 10;

// The bulk writer formats blocks of about this many values, two at a time,
// and writes each block at once.
constexpr std::size_t kBlockValues = 64 * 1024;

std::string FormatValue(Real value) { return RealToText(value, RealFormat::General, 7, 1); }

void WriteHeader(TextFile& outputFile) {
  static const std::string header = Cp932FromUtf8("読み込まれた距離...");
  outputFile.WriteLineEnd();
  CheckIo();
  outputFile.WriteTextItem(header);
  outputFile.WriteLineEnd();
  CheckIo();
}

void AppendField(std::string& text, std::string_view field) {
  text += field;
  if (field.size() < kFieldWidth) text.append(kFieldWidth - field.size(), ' ');
}

// The echo lines of `rows`, each ending with `lineEnd`.
void FormatRows(const EchoSource& source, RowRange rows, std::string_view lineEnd, std::string& text) {
  text.clear();
  for (std::int32_t i = rows.First; i < rows.End; ++i) {
    AppendField(text, source.label(i));
    for (std::int32_t j = 1; j < i; ++j) AppendField(text, FormatValue(source.dissimilarity(i, j)));
    text += lineEnd;
  }
}

void WriteBlock(TextFile& outputFile, const std::string& text) {
  outputFile.WriteTextItem(text);
  outputFile.EndWrite();
  CheckIo();
}

}  // namespace

void WriteDistanceEcho(TextFile& outputFile, const AnalysisStore& store) {
  WriteHeader(outputFile);
  const std::int32_t n = store.ObjectCount;
  for (std::int32_t i = 1; i <= n; ++i) {
    outputFile.WriteTextItem(PadRight(store.ObjectNames(i), kFieldWidth));
    outputFile.EndWrite();
    CheckIo();
    for (std::int32_t j = 1; j < i; ++j) {
      outputFile.WriteTextItem(
          PadRight(FormatValue(store.Dissimilarity(i, j)), kFieldWidth));
      outputFile.EndWrite();
      CheckIo();
    }
    outputFile.WriteLineEnd();
    CheckIo();
  }
}

EchoSource EchoSourceOf(const AnalysisStore& store) {
  EchoSource source;
  source.objects = store.ObjectCount;
  source.label = [&store](std::int32_t i) -> const std::string& { return store.ObjectNames(i); };
  source.dissimilarity = [&store](std::int32_t i, std::int32_t j) { return store.Dissimilarity(i, j); };
  return source;
}

void WriteDistanceEchoInBulk(TextFile& outputFile, const AnalysisStore& store) {
  WriteDistanceEchoInBulk(outputFile, EchoSourceOf(store));
}

void WriteDistanceEchoInBulk(TextFile& outputFile, const EchoSource& source) {
  WriteHeader(outputFile);
  const std::int32_t n = source.objects;
  std::string first;
  std::string second;
  for (std::int32_t row = 1; row <= n;) {
    const RowRange own = TriangleBlockFrom(row, n, kBlockValues);
    const RowRange next = TriangleBlockFrom(own.End, n, kBlockValues);
    if (next.End == next.First) {  // the last block alone
      FormatRows(source, own, outputFile.LineEnd(), first);
      WriteBlock(outputFile, first);
      break;
    }
    RunSideBySide([&] { FormatRows(source, own, outputFile.LineEnd(), first); },
                  [&] { FormatRows(source, next, outputFile.LineEnd(), second); });
    WriteBlock(outputFile, first);
    WriteBlock(outputFile, second);
    row = next.End;
  }
}

}  // namespace cluster
