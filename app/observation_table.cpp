#include "app/observation_table.h"

#include <cmath>

#include "common/codepage.h"
#include "common/helper_thread.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "datawindow/object_limit.h"

namespace cluster {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A field's text as a message shows it: messages are code page 932.
std::string Shown(const std::string& text) {
  return "'" + (IsValidUtf8(text) ? Cp932FromUtf8(text) : text) + "'";
}

[[noreturn]] void Refuse(std::int32_t line, std::size_t column, const std::string& what) {
  throw EObservationTable("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
}

// Splits a line at `separator`; a field that starts with a double quote
// runs to the next quote that is not doubled, each doubled quote giving one.
void SplitFields(std::string_view line, char separator, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t p = 0;
  for (;;) {
    std::string field;
    if (p < line.size() && line[p] == '"') {
      for (++p; p < line.size(); ++p) {
        if (line[p] == '"') {
          if (p + 1 < line.size() && line[p + 1] == '"') {
            ++p;
          } else {
            ++p;
            break;
          }
        }
        field += line[p];
      }
    }
    const std::size_t end = line.find(separator, p);
    field.append(line.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p));
    fields.push_back(std::move(field));
    if (end == std::string_view::npos) return;
    p = end + 1;
  }
}

bool IsNumber(const std::string& text) {
  try {
    TextToReal(text);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

}  // namespace

std::vector<std::string> ObservationTable::Cp932Labels() const { return Cp932Texts(labels, utf8); }

std::vector<std::string> ObservationTable::Utf8Labels() const { return Utf8Texts(labels, utf8); }

ObservationTable ReadObservationTable(const std::string& path, char separator, std::int32_t maxRows) {
  ObservationTable table;
  TextFile file;
  OpenToRead(file, path);
  std::string line;
  std::vector<std::string> fields;
  bool allUtf8 = true;
  bool firstLine = true;
  for (std::int32_t lineNumber = 1; !file.AtEnd(); ++lineNumber) {
    file.ReadLineText(line);
    CheckIo();
    file.SkipLine();
    CheckIo();
    if (lineNumber == 1 && line.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) == 0) {
      line.erase(0, kUtf8ByteOrderMark.size());
    }
    if (TrimBlanks(line).empty()) continue;
    SplitFields(line, separator, fields);
    const auto coordinates = static_cast<std::int32_t>(fields.size()) - 1;
    if (firstLine) {
      firstLine = false;
      bool anyNumber = false;
      for (std::size_t k = 1; k < fields.size() && !anyNumber; ++k) anyNumber = IsNumber(fields[k]);
      if (coordinates >= 1 && !anyNumber) {
        // Column names: they fix how many coordinates a row has.
        table.columns = coordinates;
        for (const std::string& name : fields) allUtf8 = allUtf8 && IsValidUtf8(name);
        continue;
      }
    }
    if (table.columns == 0) {
      if (coordinates == 0) Refuse(lineNumber, 2, "missing: a row holds a label and at least one coordinate");
      table.columns = coordinates;
    }
    if (coordinates < table.columns) {
      Refuse(lineNumber, fields.size() + 1,
             "missing: the rows have " + std::to_string(table.columns) + " coordinates");
    }
    if (coordinates > table.columns) {
      Refuse(lineNumber, static_cast<std::size_t>(table.columns) + 2,
             Shown(fields[static_cast<std::size_t>(table.columns) + 1]) + " is one coordinate too many (the rows have " +
                 std::to_string(table.columns) + ")");
    }
    if (table.Rows() >= maxRows) CheckDeclaredObjectCount(table.Rows() + 1, maxRows);
    for (std::size_t k = 1; k < fields.size(); ++k) {
      if (TrimBlanks(fields[k]).empty()) Refuse(lineNumber, k + 1, "empty: a coordinate is a number");
      try {
        table.values.push_back(TextToReal(fields[k]));
      } catch (const EConvertError&) {
        Refuse(lineNumber, k + 1, Shown(fields[k]) + " is not a number");
      }
    }
    std::string label = TrimBlanks(fields[0]);
    allUtf8 = allUtf8 && IsValidUtf8(label);
    table.labels.push_back(std::move(label));
  }
  file.CloseTextFile();
  CheckIo();
  table.utf8 = allUtf8;
  return table;
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
    Real sum = 0;
    for (std::int32_t r = 0; r < n; ++r) sum += table.Row(r)[c];
    mean[c] = sum / n;
    Real squares = 0;
    for (std::int32_t r = 0; r < n; ++r) {
      const Real d = table.Row(r)[c] - mean[c];
      squares += d * d;
    }
    deviation[c] = n > 1 ? std::sqrt(squares / (n - 1)) : 0;
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
  return constant;
}

Real SquaredDistance(const ObservationTable& table, std::int32_t a, std::int32_t b) {
  const Real* const xa = table.Row(a);
  const Real* const xb = table.Row(b);
  Real sum = 0;
  for (std::int32_t k = 0; k < table.columns; ++k) {
    const Real d = xa[k] - xb[k];
    sum = sum + d * d;
  }
  return sum;
}

LowerTriangle SquaredDistances(const ObservationTable& table, std::atomic<std::int64_t>* rowsDone) {
  const std::int32_t n = table.Rows();
  LowerTriangle squares(n);
  const std::int32_t columns = table.columns;
  // Rows are independent: the second core takes the later ones, which hold
  // as many pairs as the rows below n / sqrt(2).
  auto fill = [&](std::size_t begin, std::size_t end, HelperThread::Part) {
    for (auto i = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2)); i < static_cast<std::int32_t>(end);
         ++i) {
      const Real* const xi = table.Row(i - 1);
      Real* const out = &squares.At(i, 1);
      for (std::int32_t j = 1; j < i; ++j) {
        const Real* const xj = table.Row(j - 1);
        Real sum = 0;
        for (std::int32_t k = 0; k < columns; ++k) {
          const Real d = xi[k] - xj[k];
          sum = sum + d * d;
        }
        out[j - 1] = sum;
      }
      if (rowsDone != nullptr) rowsDone->fetch_add(1, std::memory_order_relaxed);
    }
  };
  const auto rows = static_cast<std::size_t>(n) + 1;
  if (HelperThread* const helper = n >= 256 ? SharedHelperThread() : nullptr) {
    helper->Run(rows, static_cast<std::size_t>(static_cast<double>(n) * 0.7071), fill);
  } else {
    fill(0, rows, HelperThread::kFirstPart);
  }
  return squares;
}

}  // namespace cluster
