// The comma-separated data file.
//
// Line 1 holds a comma and a label for each object (an empty corner field
// first); line 2 the first label alone; line i + 1 (i = 2..n) the label of
// object i and, after a comma each, the trimmed texts of cells [j, i] for
// j = 1..i - 1. Reading takes the labels from line 1 only, ignores line 2
// and the label field of every later line, and reads the fields with the
// program's comma splitting (SplitCommaText).
//
// A field that would not read back as itself (one holding a blank, a comma,
// a double quote or a control byte) is written between double quotes with
// each quote inside doubled, which the splitting reads back whole. Every
// other field is written exactly as it stands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "datawindow/data_grids.h"
#include "engine/analysis_store.h"

namespace cluster {

// Asking a row for a field it does not have:
// "リストのインデックスが範囲を超えています (index)".
class EListIndexError : public Exception {
 public:
  explicit EListIndexError(std::int32_t index);
};

// The name the CSV save writes under: `name` with ".csv" appended unless its
// last four bytes are exactly ".csv" or ".CSV" and it is longer than that.
std::string EnsureCsvExtension(std::string_view name);

// The field as written to a CSV line (quoted when it would not read back).
std::string CsvField(std::string_view text);

// Splits the header line (a corner field, then one label per object) into
// `fields` and returns the object count. A header of more than `maxObjects`
// labels is refused (ETooManyObjects) without storing them.
std::int32_t SplitCsvHeader(std::string_view header, std::vector<std::string>& fields, std::int32_t maxObjects);

// Field `index` of a split line; EListIndexError when the line has none.
const std::string& CsvFieldAt(const std::vector<std::string>& fields, std::int32_t index);

// Writes the grids to exactly `path` (the caller applies EnsureCsvExtension).
void SaveCsvFile(const DataGrids& grids, const std::string& path);

// Reads `path` into both grids. More labels than `maxObjects` are refused
// (ETooManyObjects) before the grids change. A row short of fields raises
// EListIndexError; the labels, headings and rows read before stay, and the
// mask is then not written.
void LoadCsvFile(DataGrids& grids, const std::string& path,
                 std::int32_t maxObjects = AnalysisStore::kDesktopMaxObjects);

}  // namespace cluster
