#include "cluster_analysis/data_file.h"

#include <algorithm>

#include "cluster_analysis/error.h"
#include "common/codepage.h"
#include "common/numbers.h"
#include "datafiles/file_capture.h"
#include "engine/matrix/analysis_store.h"
#include "library/translation.h"

namespace cluster_analysis {

namespace {

bool EndsWithCsv(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string tail = path.substr(path.size() - 4);
  return tail == ".csv" || tail == ".CSV";
}

}  // namespace

DataFile LoadDataFile(const std::string& path) {
  cluster::FileCapture capture;
  try {
    cluster::ReloadDecimalSeparator();
    capture = EndsWithCsv(path) ? cluster::CaptureCsvFile(path, cluster::AnalysisStore::kLargestMaxObjects, {},
                                                          cluster::CsvRows::kLowerTriangleOnly)
                                : cluster::CaptureNativeFile(path, cluster::AnalysisStore::kLargestMaxObjects);
  } catch (const cluster::Exception& failure) {
    throw FileError(path + ": " + cluster::Utf8FromCp932(failure.Message()));
  } catch (...) {
    cluster::library::RethrowTranslated();
  }
  if (capture.Failure) throw FileError(path + ": " + cluster::Utf8FromCp932(cluster::CaptureFailureMessage(*capture.Failure)));
  DataFile data;
  // Labels in UTF-8: taken as UTF-8 when every one is valid UTF-8, else as
  // code page 932, as the batch tool takes them.
  const bool utf8 = std::all_of(capture.Labels.begin(), capture.Labels.end(),
                                [](const std::string& label) { return cluster::IsValidUtf8(label); });
  data.labels = cluster::Utf8Texts(capture.Labels, utf8);
  const auto n = static_cast<std::int32_t>(capture.Labels.size());
  data.condensed.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(n - 1, 0)) / 2);
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) data.condensed.push_back(capture.Values.At(j, i));
  }
  return data;
}

}  // namespace cluster_analysis
