#include "datafiles/csv_format.h"

#include <algorithm>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/texts.h"
#include "datafiles/object_limit.h"

namespace cluster {

EListIndexError::EListIndexError(std::int32_t index)
    : Exception(Cp932FromUtf8("リストのインデックスが範囲を超えています (" + IntToText(index) + ")")) {}

std::string EnsureCsvExtension(std::string_view name) {
  std::string result(name);
  if (name.size() <= 4) return result + ".csv";
  const std::string_view tail = name.substr(name.size() - 4);
  if (tail == ".csv" || tail == ".CSV") return result;
  return result + ".csv";
}

namespace {

// Bytes that end an unquoted field when read back: blanks and control
// bytes (1..32) and the comma; a double quote would start a quoted field or
// be taken literally, so it too needs quoting to come back unchanged. A
// field that ends in a lead byte without its second byte (a UTF-8 text
// typed or loaded as code page 932 often does) is quoted as well: a reader
// that pairs a lead byte with whatever follows would take the comma after
// it for part of the field, so its end is marked by a quote, which the
// splitting never pairs.
bool NeedsQuotes(std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 1 && b <= 32) || c == ',' || c == '"') return true;
  }
  std::size_t last = 0;
  for (std::size_t p = 0; p < text.size(); p += CharLengthAt(text, p)) last = p;
  return !text.empty() && IsLeadByte(static_cast<unsigned char>(text[last])) && last + 1 == text.size();
}

// The object count of a header of `fields` fields (the corner field first),
// as a 32-bit count; a header too long for one is beyond every limit.
std::int32_t ObjectCountOfFields(std::size_t fields) {
  constexpr std::size_t kLargest = 2147483647;
  return fields > kLargest ? static_cast<std::int32_t>(kLargest) : static_cast<std::int32_t>(fields) - 1;
}

}  // namespace

const std::string& CsvFieldAt(const std::vector<std::string>& fields, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) throw EListIndexError(index);
  return fields[static_cast<std::size_t>(index)];
}

std::int32_t SplitCsvHeader(std::string_view header, std::vector<std::string>& fields, std::int32_t maxObjects) {
  // Labels beyond the limit are counted, never stored.
  const std::size_t count = SplitCommaText(header, fields, static_cast<std::size_t>(std::max(maxObjects, 0)) + 1);
  CheckDeclaredObjectCount(ObjectCountOfFields(count), maxObjects);
  return static_cast<std::int32_t>(fields.size()) - 1;
}

std::string CsvField(std::string_view text) {
  if (!NeedsQuotes(text)) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace cluster
