// The comma-separated data file.
//
// Line 1 holds a comma and a label for each object (an empty corner field
// first); line 2 the first label alone; line i + 1 (i = 2..n) the label of
// object i and, after a comma each, the texts of its dissimilarities to
// objects j = 1..i - 1. Fields are split by the program's comma splitting
// (SplitCommaText).
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

}  // namespace cluster
