#include "datafiles/observation_table.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <unordered_map>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/real_text.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "datafiles/object_limit.h"
#include "datafiles/table_fields.h"
#include "engine/squared_distance.h"

namespace cluster {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void Refuse(std::int64_t line, std::int64_t column, const std::string& what) {
  throw EObservationTable("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
}

}  // namespace

std::vector<std::string> ObservationTable::Cp932Labels() const { return Cp932Texts(labels, utf8); }

std::vector<std::string> ObservationTable::Utf8Labels() const { return Utf8Texts(labels, utf8); }

namespace {

// The table's values, grown by half again when full; each growth is
// weighed first, so that a table too large for the memory is refused
// before it takes it.
class ValueStore {
 public:
  ValueStore(std::vector<Real>& values, const std::function<void(std::uint64_t)>& beforeGrowing)
      : values_(values), beforeGrowing_(beforeGrowing) {}
  void Add(Real value) {
    if (values_.size() == values_.capacity()) Grow(values_.capacity() + values_.capacity() / 2);
    values_.push_back(value);
  }
  // Room for `count` values at once, as estimated once the first row is
  // read: a table whose rows are alike then never moves its values, which
  // would hold them twice for a moment.
  void Expect(std::size_t count) {
    if (count > values_.capacity()) Grow(count);
  }

 private:
  void Grow(std::size_t capacity) {
    capacity = std::max<std::size_t>(1024, capacity);
    if (beforeGrowing_) beforeGrowing_(static_cast<std::uint64_t>(capacity) * sizeof(Real));
    values_.reserve(capacity);
  }
  std::vector<Real>& values_;
  const std::function<void(std::uint64_t)>& beforeGrowing_;
};

// Makes room for the values of a file whose rows are like its first,
// `line`: as many rows as the file holds lines this long, and never more
// values than it holds pairs of bytes (a digit and a separator).
void ExpectRowsLike(const std::string& path, std::string_view line, char separator, std::int32_t maxRows,
                    ValueStore& values) {
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  if (error) return;  // not a plain file: the values grow as they come
  FieldCursor fields(line, separator);
  std::string field;
  std::uintmax_t coordinates = 0;
  for (fields.Next(field); fields.Next(field);) ++coordinates;
  const std::uintmax_t rows = std::min<std::uintmax_t>(bytes / (line.size() + 1) + 1, maxRows);
  values.Expect(static_cast<std::size_t>(std::min<std::uintmax_t>(rows * coordinates, bytes / 2 + 1)));
}

}  // namespace

ObservationTable ReadObservationTable(const std::string& path, char separator, std::int32_t maxRows,
                                      const std::function<void(std::uint64_t)>& beforeGrowing, TableHeader header,
                                      MissingValues missing, NonNumbers nonNumbers, TableLabels labels) {
  ObservationTable table;
  TextFile file;
  // A Ctrl-Z ends a data file of the desktop program, never a table: it is
  // read as the byte it is, and a field holding it is not a number.
  file.SetStopAtCtrlZ(false);
  OpenToRead(file, path);
  ValueStore values(table.values, beforeGrowing);
  std::string line;
  std::string field;
  bool allUtf8 = true;
  bool firstLine = true;
  // Columns are counted from 1 for the label, or for the first coordinate.
  const std::int64_t firstColumn = labels == TableLabels::kFirstColumn ? 2 : 1;
  std::int32_t headerNames = 0;  // the header's names of coordinates
  std::vector<std::unordered_map<std::string, std::int32_t>> textIndex;  // per column: text -> category
  for (std::int64_t lineNumber = 1; !file.AtEnd(); ++lineNumber) {
    file.ReadLineText(line);
    CheckIo();
    file.SkipLine();
    CheckIo();
    if (lineNumber == 1 && line.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) == 0) {
      line.erase(0, kUtf8ByteOrderMark.size());
    }
    if (TrimBlanks(line).empty()) continue;
    if (firstLine) {
      firstLine = false;
      // Column names when no coordinate field is a number: they fix how
      // many coordinates a row has.
      FieldCursor names(line, separator);
      if (labels == TableLabels::kFirstColumn) names.Next(field);
      bool utf8 = IsValidUtf8(field);
      std::int32_t count = 0;
      bool anyNumber = false;
      while ((header == TableHeader::kAlways || !anyNumber) && names.Next(field)) {
        anyNumber = IsNumber(field);
        utf8 = utf8 && IsValidUtf8(field);
        if (count == std::numeric_limits<std::int32_t>::max()) Refuse(lineNumber, 2, "too many columns");
        ++count;
      }
      if (count >= 1 && (!anyNumber || header == TableHeader::kAlways)) {
        // The rows have as many coordinates as the header names after its
        // corner, or one more when it has none (as R writes a table with
        // its row names): the first row tells.
        headerNames = count;
        allUtf8 = utf8;
        FieldCursor all(line, separator);
        if (labels == TableLabels::kFirstColumn && all.Next(field)) table.corner = TrimBlanks(field);
        while (all.Next(field)) table.names.push_back(std::string(TrimBlanks(field)));
        continue;
      }
    }
    if (table.Rows() >= maxRows) CheckDeclaredObjectCount(table.Rows() + 1, maxRows);
    if (table.Rows() == 0) ExpectRowsLike(path, line, separator, maxRows, values);
    FieldCursor fields(line, separator);
    std::string label;
    if (labels == TableLabels::kFirstColumn) {
      fields.Next(label);
    } else {
      label = std::to_string(table.Rows() + 1);
    }
    const bool firstRow = table.columns == 0;
    std::int32_t coordinates = 0;
    while (fields.Next(field)) {
      const std::int64_t column = static_cast<std::int64_t>(coordinates) + firstColumn;
      if (!firstRow && coordinates == table.columns) {
        Refuse(lineNumber, column,
               Shown(field) + " is one coordinate too many (the rows have " + std::to_string(table.columns) + ")");
      }
      if (firstRow && headerNames > 0 && coordinates == headerNames + 1) {
        Refuse(lineNumber, column,
               Shown(field) + " is one coordinate too many (the header names " + std::to_string(headerNames) + ")");
      }
      if (firstRow && coordinates == std::numeric_limits<std::int32_t>::max()) {
        Refuse(lineNumber, column, "too many columns");
      }
      if (IsMissing(field)) {
        if (missing == MissingValues::kKept) {
          values.Add(std::numeric_limits<Real>::quiet_NaN());
          ++coordinates;
          continue;
        }
        Refuse(lineNumber, column,
               (TrimBlanks(field).empty() ? std::string("empty") : Shown(TrimBlanks(field))) +
                   ": a missing value (give --missing pairwise to compute each distance over the coordinates "
                   "both rows hold)");
      }
      try {
        values.Add(TextToReal(field));
      } catch (const EConvertError&) {
        if (nonNumbers == NonNumbers::kRefused) Refuse(lineNumber, column, Shown(field) + " is not a number");
        if (table.texts.size() <= static_cast<std::size_t>(coordinates)) {
          table.texts.resize(coordinates + 1);
          textIndex.resize(coordinates + 1);
        }
        const std::string text(TrimBlanks(field));
        const auto [found, isNew] = textIndex[coordinates].try_emplace(text, table.texts[coordinates].size());
        if (isNew) table.texts[coordinates].push_back(text);
        table.textCells.emplace_back(table.values.size(), found->second);
        allUtf8 = allUtf8 && IsValidUtf8(text);
        values.Add(std::numeric_limits<Real>::quiet_NaN());
      }
      ++coordinates;
    }
    if (firstRow) {
      if (coordinates == 0) {
        Refuse(lineNumber, firstColumn,
               labels == TableLabels::kFirstColumn ? "missing: a row holds a label and at least one coordinate"
                                                   : "missing: a row holds at least one coordinate");
      }
      if (coordinates < headerNames) {
        Refuse(lineNumber, static_cast<std::int64_t>(coordinates) + firstColumn,
               "missing: the header names " + std::to_string(headerNames) + " coordinates");
      }
      table.columns = coordinates;
      // A header without a corner (R's): its first field names the first
      // coordinate.
      if (headerNames > 0 && coordinates == headerNames + 1) {
        table.names.insert(table.names.begin(), table.corner);
        table.corner.clear();
      }
    }
    if (coordinates < table.columns) {
      Refuse(lineNumber, static_cast<std::int64_t>(coordinates) + firstColumn,
             "missing: the rows have " + std::to_string(table.columns) + " coordinates");
    }
    label = TrimBlanks(label);
    allUtf8 = allUtf8 && IsValidUtf8(label);
    table.labels.push_back(std::move(label));
    table.lines.push_back(lineNumber);
  }
  file.CloseTextFile();
  CheckIo();
  table.utf8 = allUtf8;
  return table;
}

bool NumbersTakenAsLabels(const ObservationTable& table) {
  if (table.corner.empty() || table.names.size() != static_cast<std::size_t>(table.columns)) return false;
  return std::all_of(table.labels.begin(), table.labels.end(), [](const std::string& label) { return IsNumber(label); });
}

std::vector<bool> CodeCategories(ObservationTable& table, const std::vector<std::string>& named) {
  const std::int32_t columns = table.columns;
  std::vector<bool> categorical(static_cast<std::size_t>(columns), false);
  for (std::size_t c = 0; c < table.texts.size() && c < categorical.size(); ++c) {
    categorical[c] = !table.texts[c].empty();
  }
  for (const std::string& name : named) {
    const auto found = std::find(table.names.begin(), table.names.end(), name);
    std::int64_t column = -1;
    if (found != table.names.end()) {
      column = static_cast<std::int64_t>(found - table.names.begin());
    } else if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
               name.size() < 10) {
      column = std::stoll(name) - 1;
    }
    if (column < 0 || column >= columns) {
      throw EObservationTable("--categorical: '" + name + "' names no coordinate column (give a header name, or a "
                              "number from 1 to " + std::to_string(columns) + ")");
    }
    categorical[static_cast<std::size_t>(column)] = true;
  }
  // Each categorical column's categories: its texts first, then the numbers
  // it holds by their shortest text.
  std::vector<std::unordered_map<std::string, std::int32_t>> categories(static_cast<std::size_t>(columns));
  for (std::size_t c = 0; c < table.texts.size(); ++c) {
    for (std::size_t k = 0; k < table.texts[c].size(); ++k) categories[c].emplace(table.texts[c][k], k);
  }
  std::vector<bool> isText(table.values.size(), false);
  for (const auto& [cell, index] : table.textCells) {
    table.values[cell] = index;
    isText[cell] = true;
  }
  for (std::size_t cell = 0; cell < table.values.size(); ++cell) {
    const auto c = cell % static_cast<std::size_t>(columns);
    if (!categorical[c] || isText[cell] || std::isnan(table.values[cell])) continue;
    std::unordered_map<std::string, std::int32_t>& known = categories[c];
    const auto code = static_cast<std::int32_t>(known.size());
    table.values[cell] = known.try_emplace(ShortestText(table.values[cell]), code).first->second;
  }
  return categorical;
}

std::vector<std::int32_t> Standardize(ObservationTable& table) {
  const std::int32_t n = table.Rows();
  const std::int32_t columns = table.columns;
  std::vector<std::int32_t> constant;
  std::vector<std::int32_t> kept;
  std::vector<Real> mean(static_cast<std::size_t>(columns), 0);
  std::vector<Real> deviation(static_cast<std::size_t>(columns), 0);
  ClearFloatFlags();
  for (std::int32_t c = 0; c < columns; ++c) {
    // Over the values the column holds: a missing one stays missing.
    Real sum = 0;
    std::int32_t present = 0;
    for (std::int32_t r = 0; r < n; ++r) {
      if (std::isnan(table.Row(r)[c])) continue;
      sum += table.Row(r)[c];
      ++present;
    }
    mean[c] = present > 0 ? sum / present : 0;
    Real squares = 0;
    for (std::int32_t r = 0; r < n; ++r) {
      if (std::isnan(table.Row(r)[c])) continue;
      const Real d = table.Row(r)[c] - mean[c];
      squares += d * d;
    }
    deviation[c] = present > 1 ? std::sqrt(squares / (present - 1)) : 0;
    if (deviation[c] > 0) {
      kept.push_back(c);
    } else {
      constant.push_back(c + 1);
    }
  }
  std::vector<Real> scores;
  scores.reserve(static_cast<std::size_t>(n) * kept.size());
  for (std::int32_t r = 0; r < n; ++r) {
    for (const std::int32_t c : kept) scores.push_back((table.Row(r)[c] - mean[c]) / deviation[c]);
  }
  RaiseFloatErrors();
  table.values = std::move(scores);
  table.columns = static_cast<std::int32_t>(kept.size());
  if (!table.names.empty()) {
    std::vector<std::string> names;
    for (const std::int32_t c : kept) names.push_back(table.names.at(static_cast<std::size_t>(c)));
    table.names = std::move(names);
  }
  return constant;
}

LowerTriangle SquaredDistances(const ObservationTable& table, std::atomic<std::int64_t>* rowsDone) {
  return SquaredDistanceTriangle(table.values.data(), table.Rows(), table.columns, rowsDone);
}

}  // namespace cluster
